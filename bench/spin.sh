#!/usr/bin/env bash
# Frames per second and processor use of the viewing mode while the model
# spins in an 800 x 600 window under Xvfb (Mesa llvmpipe), for the 31 460-
# face shiny gold torus knot (make_mesh knot) and the textured rifle.
#   bench/spin.sh [SECONDS]     (default 10)
# LLVMPIPE and other environment settings pass through, so that, say,
# GALLIUM_HUD or LP_NUM_THREADS can show where the time goes.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
cmake --build build -j"$(nproc)" --target modelviewer swapcount xwindow \
  keep_loaded make_mesh >/dev/null
out=$PWD/build/spin
rm -rf "$out" && mkdir -p "$out"
./build/bench/make_mesh knot "$out/knot.3ds"
export SWAPCOUNT_LIB=$PWD/build/bench/libswapcount.so
steps='cpu() { awk "{ print \$14 + \$15 }" /proc/$viewer/stat; }
  sleep 1; c0=$(cpu); t0=$(date +%s%N); sleep '$seconds'
  echo "$t0 $(date +%s%N) $c0 $(cpu)" > "$outdir/phase"; xdotool key Escape'
for file in "$out/knot.3ds" "$PWD/tests/data/mar_rifle.3ds"; do
  name=$(basename "$file" .3ds)
  SWAPCOUNT_TIMES=$out/$name.times SWAPCOUNT_OUT=$out/$name.frames \
    VIEWER_WRAPPER="bash $PWD/bench/launch.sh" VIEWER_STEPS="$steps" \
    bash tests/run_viewer.sh "$PWD/build/modelviewer" "$(dirname "$file")" \
    "$out/$name" steps 0 "$file"
  read -r start end cpu0 cpu1 < "$out/$name/phase"
  awk -v s="$start" -v e="$end" -v c=$((cpu1 - cpu0)) -v n="$name" '
    $1 >= s && $1 <= e { frames++ }
    END { t = (e - s) / 1e9
          printf "%-10s %5.1f frames/s, %5.1f %% of a core\n", n, frames / t, c / t }' \
    "$out/$name.times"
done
