#!/usr/bin/env bash
# Frames per second of build/modelviewer under Xvfb (Mesa llvmpipe), and the
# time from launch to its first presented frame, for the bundled sample and
# for a generated globe of 65024 faces; apitrace off.
#   bench/frames.sh [SECONDS]     (default 10)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
cmake --build build -j"$(nproc)" --target modelviewer swapcount make_mesh xwindow >/dev/null
out=$PWD/build/frames
rm -rf "$out" && mkdir -p "$out/mesh"
cp assets/monster.bmp "$out/mesh/"
./build/bench/make_mesh sphere "$out/mesh/monster.3ds"
export SWAPCOUNT_LIB=$PWD/build/bench/libswapcount.so
for case in sample mesh; do
  dir=$PWD/assets
  [ $case = mesh ] && dir=$out/mesh
  SWAPCOUNT_OUT=$out/$case.frames VIEWER_WRAPPER="bash $PWD/bench/launch.sh" \
    bash tests/run_viewer.sh "$PWD/build/modelviewer" "$dir" "$out/$case" key "$seconds"
  echo "$case ($(stat -c %s "$dir/monster.3ds") bytes): $(cat "$out/$case.frames")"
done
