#!/usr/bin/env bash
# modelviewer under valgrind's memcheck: on the bundled sample (sample), on a
# mesh whose vertices 3 to 5 get no normal from any face, 3 and 4 drawn in a
# face without area (sparse), and in the viewing mode on the textured rifle,
# whose smoothing groups split vertices, written with --screenshot (viewing):
#   tools/memcheck.sh                   builds build/, then checks all three
#   tools/memcheck.sh BUILD CASE...     checks CASEs with the programs already
#                                       built in BUILD
# Ends non-zero when a run does not end with status 0 or valgrind reports any
# error (invalid access, uninitialised value, definite leak) other than the
# known system reports in tools/valgrind.supp.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -eq 0 ]; then
  build=$root/build
  cmake --build "$build" -j"$(nproc)" --target modelviewer make_seeds xwindow \
    keep_loaded >/dev/null
  cases=(sample sparse viewing)
else
  build=$(cd "$1" && pwd)
  shift
  cases=("$@")
fi

failed=0
for case in "${cases[@]}"; do
  dir=$build/memcheck/$case
  rm -rf "$dir" && mkdir -p "$dir/work"
  action=key args=()
  case $case in
    sample) cp "$root"/assets/* "$dir/work/" ;;
    sparse) "$build/make_seeds" "$dir/work"
            mv "$dir/work/unused-vertices.3ds" "$dir/work/monster.3ds" ;;
    viewing) cp "$root"/tests/data/{mar_rifle.3ds,m_rifl.bmp} "$dir/work/"
             action=none args=(--screenshot shot.png mar_rifle.3ds) ;;
    *) echo "unknown case $case" >&2; exit 2 ;;
  esac
  VIEWER_WRAPPER="valgrind --tool=memcheck --track-origins=yes \
    --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
    --suppressions=$root/tools/valgrind.supp --error-exitcode=99 \
    --log-file=$dir/valgrind.log" \
    WAIT_FOR_PICTURE=1 bash "$root/tests/run_viewer.sh" "$build/modelviewer" \
    "$dir/work" "$dir/run" $action 1 "${args[@]}"
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
