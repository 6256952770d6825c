#!/usr/bin/env bash
# Processor time and peak memory of --info, --info=json, --screenshot, a
# 256 thumbnail and the window's first frame on the crafted files of
# make_hostile, against the bound: 10 s, and 10 x the file plus 200 MB.
# Several PROGRAMs are measured side by side, each file and mode in turn (a
# build before a change, say, and one after). Builds build/ first unless
# PROGRAMs are given; the windows open on an X server of the script's own.
#   bash bench/hostile.sh [PROGRAM...]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
programs=("$@")
if [ ${#programs[@]} = 0 ]; then
  programs=("$root/build/modelviewer")
  cmake --build "$root/build" --target modelviewer make_hostile >/dev/null
fi
dir=$(mktemp -d)
xvfb=
trap '[ -n "$xvfb" ] && kill $xvfb; rm -rf "$dir"' EXIT
"$root/build/make_hostile" "$dir"
# Ends the window once its first frame is shown.
cc -shared -fPIC -O2 "$root/bench/swapcount.c" -o "$dir/swapcount.so" -ldl
# The server writes the display it took to fd 3.
exec 3>"$dir/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
  >"$dir/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 200); do [ -s "$dir/display" ] && break; sleep 0.05; done
display=:$(head -n 1 "$dir/display")

# One run: processor seconds, peak MB and status.
measure() {
  local program=$1 mode=$2 file=$3 args
  case $mode in
    --screenshot) args=(--screenshot "$dir/shot.png" "$file") ;;
    --thumbnail) args=(--thumbnail 256 --screenshot "$dir/shot.png" "$file") ;;
    window) args=("$file") ;;
    *) args=("$mode" "$file") ;;
  esac
  local run=(/usr/bin/time -f '%U %S %M' -o "$dir/time" timeout 120 "$program")
  if [ $mode = window ]; then
    DISPLAY=$display SDL_VIDEODRIVER=x11 SWAPCOUNT_QUIT=1 \
      LD_PRELOAD="$dir/swapcount.so" "${run[@]}" "${args[@]}" \
      >/dev/null 2>"$dir/err"
  else
    "${run[@]}" "${args[@]}" >/dev/null 2>"$dir/err"
  fi
  local status=$? user=0 system=0 kb=0
  read -r user system kb < <(tail -n 1 "$dir/time") || true
  printf ' %8.2f %8d %6s' "$(awk "BEGIN { print $user + $system }")" \
    $((kb / 1000)) $status
}

printf '%-18s %-12s %8s' file mode "bound MB"
for program in "${programs[@]}"; do printf ' %8s %8s %6s' "cpu s" "peak MB" status; done
echo
for file in "$dir"/*.3ds; do
  size=$(stat -c %s "$file")
  bound=$((size * 10 / 1000000 + 200))
  for mode in --info --info=json --screenshot --thumbnail window; do
    printf '%-18s %-12s %8s' "$(basename "$file" .3ds)" "$mode" $bound
    for program in "${programs[@]}"; do measure "$program" $mode "$file"; done
    echo
  done
done
