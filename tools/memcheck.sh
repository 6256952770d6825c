#!/usr/bin/env bash
# modelviewer under valgrind's memcheck, on the small model of
# tests/memcheck_model.cpp (textured, smoothing groups that split vertices,
# vertices no face gives a normal): the bundled program shows it until a key
# is pressed (bundled); the viewing mode writes it at 64 x 64 (viewing).
#   tools/memcheck.sh                   builds build/, then checks both
#   tools/memcheck.sh BUILD CASE...     checks CASEs with the programs already
#                                       built in BUILD
# Ends non-zero when a run does not end with status 0 or valgrind reports any
# error (invalid access, uninitialised value, definite leak) other than the
# known system reports in tools/valgrind.supp.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -eq 0 ]; then
  build=$root/build
  cmake --build "$build" -j"$(nproc)" --target modelviewer memcheck_model \
    xwindow keep_loaded >/dev/null
  set -- "$build" bundled viewing
fi
build=$(cd "$1" && pwd)
shift

failed=0
for case in "$@"; do
  dir=$build/memcheck/$case
  rm -rf "$dir" && mkdir -p "$dir/work"
  "$build/tests/memcheck_model" "$dir/work/monster.3ds"
  cp "$root/assets/monster.bmp" "$dir/work/"
  case $case in
    bundled) action=key args=() ;;
    viewing) action=none args=(--screenshot shot.png --size 64x64 monster.3ds) ;;
    *) echo "unknown case $case" >&2; exit 2 ;;
  esac
  # llvmpipe compiles its shaders under valgrind too: minutes on a busy
  # machine.
  VIEWER_LIMIT=240 VIEWER_WRAPPER="valgrind --tool=memcheck --track-origins=yes \
    --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
    --suppressions=$root/tools/valgrind.supp --error-exitcode=99 \
    --log-file=$dir/valgrind.log" \
    bash "$root/tests/run_viewer.sh" "$build/modelviewer" "$dir/work" \
    "$dir/run" $action 0 "${args[@]}"
  status=$(cat "$dir/run/status" 2>/dev/null || cat "$dir/run/harness_error")
  echo "== $case: exit status $status (99: errors found)"
  grep -h "ERROR SUMMARY" "$dir/valgrind.log" || true
  if [ "$status" != 0 ]; then
    failed=1
    # Every report but the summaries, with its stack and origin.
    awk '/== (HEAP|LEAK|ERROR) SUMMARY/ { skip = 1 } /^==[0-9]+== $/ { skip = 0 }
         /^==[0-9]+== [A-Z0-9]/ && !skip && NR > 6 { show = 1 } show { print }
         /^==[0-9]+== $/ { show = 0 }' "$dir/valgrind.log" | head -n 200
  fi
done
exit $failed
