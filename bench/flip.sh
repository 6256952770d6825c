#!/usr/bin/env bash
# The viewing mode stepping through files, under Xvfb (Mesa llvmpipe):
# - from Page Down to the next file's first frame, for the textured rifle
#   and the 31 460-face shiny knot (make_mesh knot), each FLIPS times
#   (default 6; medians), beside starting the program on each file again
#   (launch to first frame), as a person did before a window showed several;
# - peak memory over 200 flips through a folder of 200 files (copies of the
#   test files and knots of 20 000 down to 500 faces), after 10 flips and
#   after 200.
#   bench/flip.sh [FLIPS]
set -euo pipefail
cd "$(dirname "$0")/.."
flips=${1:-6}
cmake --build build -j"$(nproc)" --target modelviewer swapcount flipclock \
  xwindow keep_loaded make_mesh >/dev/null
out=$PWD/build/flip-bench
rm -rf "$out" && mkdir -p "$out/two" "$out/files"
program=$PWD/build/modelviewer
cp tests/data/mar_rifle.3ds tests/data/m_rifl.bmp "$out/two/"
./build/bench/make_mesh knot "$out/two/knot.3ds"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Rifle and knot by turns: Page Down brings the knot, then the rifle, ...
steps='sleep 2; for i in $(seq '$((2 * flips))'); do xdotool key Next; sleep 2; done
  xdotool key Escape'
FLIPCLOCK_OUT=$out/flips VIEWER_PRELOAD=$PWD/build/bench/libflipclock.so \
  VIEWER_STEPS="$steps" VIEWER_LIMIT=$((10 + 5 * flips)) \
  bash tests/run_viewer.sh "$program" "$out/two" "$out/run" steps 0 \
  mar_rifle.3ds knot.3ds
for name in knot rifle; do
  parity=$([ $name = knot ] && echo 1 || echo 0)
  wall=$(awk -v p=$parity 'NR % 2 == p { print $1 }' "$out/flips" | median)
  cpu=$(awk -v p=$parity 'NR % 2 == p { print $2 }' "$out/flips" | median)
  # Before: the program started on the file again, launch to first frame.
  for _ in $(seq "$flips"); do
    SWAPCOUNT_LIB=$PWD/build/bench/libswapcount.so \
      SWAPCOUNT_OUT=$out/start VIEWER_WRAPPER="bash $PWD/bench/launch.sh" \
      VIEWER_STEPS='sleep 1; xdotool key Escape' \
      bash tests/run_viewer.sh "$program" "$out/two" "$out/start-run" steps 0 \
      $([ $name = knot ] && echo knot.3ds || echo mar_rifle.3ds)
    awk '{ print $4 }' "$out/start"
  done > "$out/starts-$name"
  start=$(median < "$out/starts-$name")
  echo "$name: Page Down to first frame $wall ms (processor $cpu ms), medians of $(awk -v p=$parity 'NR % 2 == p' "$out/flips" | wc -l); started again: $start ms to first frame"
done

# 200 files: 40 groups of the four test files and a knot, the knots from
# 20 000 faces down to 500, so that the first 10 flips have met the largest
# file and what follows could only add what the program keeps.
for i in $(seq 0 39); do
  for f in tests/data/*.3ds tests/data/*.3DS assets/monster.3ds; do
    cp "$f" "$out/files/$i-$(basename "$f")"
  done
  ./build/bench/make_mesh knot "$out/files/$i-knot.3ds" $((500 * (40 - i)))
done
cp tests/data/*.bmp assets/monster.bmp "$out/files/"
peak='sleep 0.5; grep VmHWM /proc/$viewer/status | awk "{ print \$2 }"'
steps='sleep 1; for i in $(seq 10); do xdotool key Next; sleep 0.15; done
  '$peak' > $outdir/peak10
  for i in $(seq 190); do xdotool key Next; sleep 0.15; done
  '$peak' > $outdir/peak200; xdotool key Escape'
VIEWER_STEPS="$steps" VIEWER_LIMIT=120 bash tests/run_viewer.sh "$program" \
  "$out/files" "$out/many" steps 0 "$out/files"
echo "200 flips through $(ls "$out/files"/*.3[dD][sS] | wc -l) files: peak $(($(cat "$out/many/peak10") / 1000)) MB after 10 flips, $(($(cat "$out/many/peak200") / 1000)) MB after 200"
