#!/usr/bin/env bash
# One full run of build/modelviewer under valgrind's memcheck on the bundled
# sample and on a mesh whose unused vertices get no normal; prints the error
# summary and the leaks of each. Needs valgrind (apt-get install valgrind).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j"$(nproc)" --target modelviewer make_seeds xwindow >/dev/null
out=$PWD/build/memcheck
rm -rf "$out" && mkdir -p "$out/sparse"
./build/make_seeds "$out/sparse" && mv "$out/sparse/unused-vertices.3ds" "$out/sparse/monster.3ds"
for case in assets sparse; do
  dir=$PWD/assets
  [ $case = sparse ] && dir=$out/sparse
  VIEWER_WRAPPER="valgrind --tool=memcheck --track-origins=yes --leak-check=full \
    --show-leak-kinds=definite --log-file=$out/$case.log" \
    WAIT_FOR_PICTURE=1 bash tests/run_viewer.sh "$PWD/build/modelviewer" "$dir" \
    "$out/$case" key 2
  echo "== $case: exit status $(cat "$out/$case/status")"
  grep -E "ERROR SUMMARY|definitely lost" "$out/$case.log"
done
