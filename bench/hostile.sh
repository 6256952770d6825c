#!/usr/bin/env bash
# Processor time, peak memory and status of --info, --info=json, the three
# ways of drawing a picture (a 256 thumbnail, an 800 x 600 screenshot, a
# 2048 thumbnail) and the window's first frame on the crafted files of
# make_hostile, against the bound: 10 s of processor time, and 10 x the file
# plus 200 MB. With several PROGRAMs (a build of main and this one, say),
# each run in turn on the same file and shown side by side. Builds build/
# first unless a PROGRAM is given. The windows open on an X server of the
# script's own, and end once their first frame is shown.
#   bash bench/hostile.sh [PROGRAM...]
# HOSTILE_LIMIT: the seconds a run may take before it is stopped (120), and
# killed 5 s later where the stop is not taken. HOSTILE_FILES: the names of
# the files to measure (maps-16 sparse, say); all of them unless given.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
programs=("$@")
if [ $# -eq 0 ]; then
  cmake --build "$root/build" --target modelviewer make_hostile >/dev/null
  programs=("$root/build/modelviewer")
fi
limit=${HOSTILE_LIMIT:-120}
dir=$(mktemp -d)
xvfb=
trap '[ -n "$xvfb" ] && kill $xvfb; rm -rf "$dir"' EXIT
"$root/build/make_hostile" "$dir"
# Sends the window SIGTERM once its first frame is shown.
cc -shared -fPIC -O2 "$root/bench/swapcount.c" -o "$dir/swapcount.so" -ldl
# The server writes the display it took to fd 3.
exec 3>"$dir/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
  >"$dir/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 200); do [ -s "$dir/display" ] && break; sleep 0.05; done
display=:$(head -n 1 "$dir/display")
printf '%-24s %-15s %8s' file mode "bound MB"
for p in "${programs[@]}"; do
  printf ' | %8s %7s %7s %6s' "cpu s" "wall s" "peak MB" status
done
printf '\n'
for file in "$dir"/*.3ds; do
  name=$(basename "$file" .3ds)
  [ -z "${HOSTILE_FILES:-}" ] || [[ " $HOSTILE_FILES " == *" $name "* ]] ||
    continue
  size=$(stat -c %s "$file")
  bound=$((size * 10 / 1000000 + 200))
  for mode in --info --info=json thumbnail-256 screenshot thumbnail-2048 \
    window; do
    preload=() quit=()
    case $mode in
      thumbnail-*) args=(--thumbnail "${mode#thumbnail-}" --screenshot "$dir/shot.png" "$file") ;;
      screenshot) args=(--screenshot "$dir/shot.png" "$file") ;;
      window)
        args=("$file")
        preload=("LD_PRELOAD=$dir/swapcount.so") quit=(SWAPCOUNT_QUIT=1) ;;
      *) args=("$mode" "$file") ;;
    esac
    printf '%-24s %-15s %8s' "$name" "$mode" $bound
    for program in "${programs[@]}"; do
      env DISPLAY="$display" SDL_VIDEODRIVER=x11 "${quit[@]}" "${preload[@]}" \
        /usr/bin/time -f '%e %U %S %M' -o "$dir/time" \
        timeout -k 5 "$limit" "$program" "${args[@]}" >/dev/null 2>"$dir/err"
      status=$?
      wall=? user=0 system=0 kb=0
      read -r wall user system kb < <(tail -n 1 "$dir/time") || true
      printf ' | %8s %7s %7s %6s' "$(awk "BEGIN { print $user + $system }")" \
        "$wall" $((kb / 1000)) $status
    done
    printf '\n'
  done
done
