#!/usr/bin/env bash
# The programs as a desktop finds them once installed, in a staged prefix
# (DESTDIR) with nothing installed on the machine:
#   desktop_test.sh BUILD CASE
# CASE: stage      install into BUILD/desktop-stage (the others need it)
#       files      every file the desktop reads is there
#       thumbnailer the installed .thumbnailer's command, in the sandbox that
#                  GNOME's file manager runs thumbnailers in, on a textured
#                  model, on the sample and on crafted files; bad files
#                  give no picture
#       entry      the .desktop file is valid, and its command opens a file
#                  in a window that Esc closes
#       mime       the desktop knows a 3DS file as the type the thumbnailer
#                  and the entry name
#       man        the manual page names every long option of --help and
#                  renders without warnings
#       package    the Debian package builds, holds every file, passes
#                  lintian without errors, and runs where it is unpacked
# A case whose tool is missing (bubblewrap, dpkg-deb, lintian) says so and
# is skipped (status 77).
set -uo pipefail
build=$(cd "$1" && pwd) case=$2
root=$(cd "$(dirname "$0")/.." && pwd)
stage=$build/desktop-stage
usr=$stage/usr
data=$root/tests/data
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }
need() { command -v "$1" >/dev/null || skip "$1 is not installed"; }

installed=(bin/modelviewer bin/modelviewer-quiet
  share/thumbnailers/modelviewer.thumbnailer
  share/applications/modelviewer.desktop
  share/icons/hicolor/48x48/apps/modelviewer.png
  share/icons/hicolor/128x128/apps/modelviewer.png
  share/icons/hicolor/256x256/apps/modelviewer.png
  share/man/man1/modelviewer.1.gz share/man/man1/modelviewer-quiet.1.gz
  share/doc/modelviewer/README.md share/doc/modelviewer/LICENSE
  share/doc/modelviewer/copyright share/doc/modelviewer/changelog.gz)

# The thumbnailer's command for `model`, as the file manager runs it: %s,
# %i and %o expanded, in GNOME's sandbox with the staged usr/ over
# /usr/local. Writes into the folder `out`.
thumbnail() {
  local model=$1 out=$2 size=${3:-128}
  local exec
  exec=$(sed -n 's/^Exec=//p' "$usr/share/thumbnailers/modelviewer.thumbnailer")
  exec=${exec//%s/$size}
  exec=${exec//%i//tmp/gnome-desktop-file-to-thumbnail.3ds}
  exec=${exec//%o//tmp/out.png}
  mkdir -p "$out"
  # shellcheck disable=SC2086
  timeout 60 bwrap --ro-bind /usr /usr --ro-bind /etc/ld.so.cache /etc/ld.so.cache \
    --symlink usr/bin /bin --symlink usr/lib /lib --symlink usr/lib64 /lib64 \
    --symlink usr/sbin /sbin --proc /proc --dev /dev --chdir / --unshare-all \
    --die-with-parent --bind "$out" /tmp \
    --ro-bind "$model" /tmp/gnome-desktop-file-to-thumbnail.3ds \
    --ro-bind "$usr" /usr/local --setenv DISPLAY :99 \
    --setenv PATH /usr/local/bin:/usr/bin $exec 2>/dev/null
}

# How many pixels of a PNG are opaque, and its sides.
opaque() { convert "$1" -alpha extract -threshold 99% -format '%[fx:mean*w*h]' info:; }

case $case in
stage)
  rm -rf "$stage"
  DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null ||
    fail "cmake --install"
  ;;
files)
  for f in "${installed[@]}"; do [ -f "$usr/$f" ] || fail "$f is not installed"; done
  ;;
thumbnailer)
  need bwrap
  bwrap --unshare-all --ro-bind / / true 2>/dev/null ||
    skip "bubblewrap cannot make a sandbox here"
  work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
  cp "$data/mar_rifle.3ds" "$data/m_rifl.bmp" "$work/"
  "$build/make_hostile" "$work" || fail "make_hostile"
  for model in mar_rifle.3ds "$root/assets/monster.3ds" shared-names.3ds \
               instances-10000.3ds faces-65535.3ds maps-16.3ds; do
    [ -f "$model" ] || model=$work/$model
    # The sandbox shows the thumbnailer the model alone; the 16 large maps
    # are put beside it, where its names find them.
    mkdir -p "$work/out"
    [[ $model == */maps-16.3ds ]] && cp "$work"/map*.png "$work/out/"
    # Within the bounds of --screenshot: 10 s of the processor's time.
    TIMEFORMAT=%U+%S
    cpu=$( { time thumbnail "$model" "$work/out"; } 2>&1 >/dev/null) ||
      fail "no thumbnail of $model"
    awk -v t="$cpu" 'BEGIN { split(t, p, "+"); exit !(p[1] + p[2] <= 10) }' ||
      fail "$model took $cpu s"
    size=$(identify -format '%w %h' "$work/out/out.png")
    [ "$size" = "128 128" ] || fail "$model: a $size thumbnail"
    # The crafted files draw rows of slivers; the real ones fill the square.
    [[ $model == *.3ds && $model != *-* ]] &&
      { [ "$(opaque "$work/out/out.png")" -gt 500 ] || fail "$model: nothing drawn"; }
    rm -rf "$work/out"
  done
  # A file that is not a 3DS file, an empty one, cut ones (the second with
  # most of its mesh): no picture.
  cp "$root/desktop/icons/modelviewer-48.png" "$work/png.3ds"
  : > "$work/empty.3ds"
  head -c 5000 "$root/assets/monster.3ds" > "$work/cut.3ds"
  head -c 12000 "$data/mar_rifle.3ds" > "$work/cut2.3ds"
  for bad in png empty cut cut2; do
    thumbnail "$work/$bad.3ds" "$work/out" && fail "$bad.3ds gave status 0"
    [ ! -e "$work/out/out.png" ] || fail "$bad.3ds left a picture"
    rm -rf "$work/out"
  done
  ;;
entry)
  desktop=$usr/share/applications/modelviewer.desktop
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
  exec=$(sed -n 's/^Exec=//p' "$desktop")
  [ "${exec%% *}" = modelviewer ] || fail "Exec runs ${exec%% *}"
  work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
  cp "$data/mar_rifle.3ds" "$data/m_rifl.bmp" "$work/"
  args=${exec#* }
  # Esc once the window is up; without a window nothing would end the run.
  XWINDOW=$build/tests/xwindow \
    VIEWER_STEPS='xdotool key --window $window Escape' \
    bash "$root/tests/run_viewer.sh" "$usr/bin/modelviewer" "$work" \
    "$work/run" steps 0.5 ${args//%[fF]/mar_rifle.3ds} >/dev/null
  [ "$(cat "$work/run/status")" = 0 ] || fail "status $(cat "$work/run/status")"
  ! grep -q . "$work/run/stderr" || fail "said: $(cat "$work/run/stderr")"
  ;;
mime)
  need gio
  type=$(gio info -a standard::content-type "$data/mar_rifle.3ds" |
    sed -n 's/.*standard::content-type: //p')
  [ "$type" = image/x-3ds ] || fail "a 3DS file is $type"
  for f in share/thumbnailers/modelviewer.thumbnailer \
           share/applications/modelviewer.desktop; do
    grep -qx 'MimeType=image/x-3ds;' "$usr/$f" || fail "$f names another type"
  done
  ;;
man)
  page=$usr/share/man/man1/modelviewer.1.gz
  text=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
  for option in $("$usr/bin/modelviewer" --help | grep -o -- '--[a-z]*' | sort -u); do
    grep -q -- "$option" <<<"$text" || fail "the page leaves out $option"
  done
  grep -q "modelviewer $("$usr/bin/modelviewer" --version | grep -o '[0-9.]*$')" \
    <<<"$text" || fail "the page does not give the program's version"
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns: $warnings"
  cmp -s <(zcat "$page") <(zcat "$usr/share/man/man1/modelviewer-quiet.1.gz") ||
    fail "modelviewer-quiet's page is not the same page"
  ;;
package)
  need dpkg-deb
  need lintian
  work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
  (cd "$build" && cpack -G DEB -B "$work" >/dev/null) || fail "cpack"
  deb=$(ls "$work"/modelviewer_*_amd64.deb) || fail "no modelviewer_*_amd64.deb"
  listing=$(dpkg-deb -c "$deb")
  for f in "${installed[@]}"; do
    grep -q " ./usr/$f\$" <<<"$listing" || fail "the package leaves out /usr/$f"
  done
  errors=$(lintian "$deb" 2>/dev/null | grep '^E:')
  [ -z "$errors" ] || fail "lintian: $errors"
  dpkg-deb -x "$deb" "$work/x" || fail "dpkg-deb -x"
  "$work/x/usr/bin/modelviewer" --version | grep -q '^modelviewer ' ||
    fail "--version"
  (cd "$work" && cp "$data/mar_rifle.3ds" . &&
    env -u DISPLAY x/usr/bin/modelviewer --thumbnail 64 --screenshot t.png \
      mar_rifle.3ds 2>/dev/null) || fail "--thumbnail"
  [ "$(identify -format '%w' "$work/t.png")" = 64 ] || fail "no thumbnail"
  ;;
*)
  echo "unknown case $case" >&2
  exit 2
  ;;
esac
echo "ok: $case"
