#!/usr/bin/env bash
# Frames per second of build/modelviewer under Xvfb (Mesa llvmpipe), and the
# time from launch to its first presented frame, for the bundled sample and
# for a generated globe of 65024 faces; apitrace off.
#   bench/frames.sh [SECONDS]     (default 10)
# With f3d installed (apt-get install f3d, for this measurement only), also
# the time f3d takes from launch to writing an 800 x 600 picture of each file.
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
  if command -v f3d >/dev/null; then
    # On an X server of its own that is already up, as the viewer's was.
    display=$((100 + RANDOM % 20000))
    Xvfb :$display -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb=$!
    sleep 1
    start=$(date +%s%N)
    DISPLAY=:$display f3d --output="$out/$case-f3d.png" --resolution=800,600 \
      "$dir/monster.3ds" >/dev/null 2>&1 || true
    echo "$case: f3d wrote its picture after $(( ($(date +%s%N) - start) / 1000000 )) ms"
    kill $xvfb; wait $xvfb 2>/dev/null || true
  fi
done
