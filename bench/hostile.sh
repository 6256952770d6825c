#!/usr/bin/env bash
# Time and peak memory of --info, --info=json and --screenshot on the crafted
# files of make_hostile, against the bound: 10 s, and 10 x the file plus 200
# MB. Builds build/ first unless PROGRAM is given.
#   bash bench/hostile.sh [PROGRAM]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/modelviewer}
[ $# -ge 1 ] || cmake --build "$root/build" --target modelviewer make_hostile >/dev/null
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$root/build/make_hostile" "$dir"
printf '%-20s %-14s %8s %10s %10s %s\n' file mode seconds "peak MB" "bound MB" status
for file in "$dir"/*.3ds; do
  size=$(stat -c %s "$file")
  bound=$((size * 10 / 1000000 + 200))
  for mode in --info --info=json --screenshot; do
    args=("$mode" "$file")
    [ $mode = --screenshot ] && args=(--screenshot "$dir/shot.png" "$file")
    # -q: the figures alone, whatever the status; none read shows "?".
    rm -f "$dir/time"
    SDL_VIDEODRIVER=x11 /usr/bin/time -q -f '%e %M' -o "$dir/time" \
      timeout 120 "$program" "${args[@]}" >/dev/null 2>"$dir/err"
    status=$?
    seconds=? mb=?
    read -r seconds kb < "$dir/time" && mb=$((kb / 1000))
    printf '%-20s %-14s %8s %10s %10s %s\n' "$(basename "$file" .3ds)" "$mode" \
      "$seconds" "$mb" $bound $status
  done
done
