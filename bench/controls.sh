#!/usr/bin/env bash
# What handling a model costs in the viewing mode, under Xvfb (Mesa
# llvmpipe): frames per second and processor use while the model spins,
# while it stands paused and untouched, while it is dragged round without
# pause and while the wheel turns one way and back, for the bundled sample and the rifle.
#   bench/controls.sh [SECONDS]     (default 5; the pause is measured 2x)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}
cmake --build build -j"$(nproc)" --target modelviewer swapcount xwindow \
  keep_loaded >/dev/null
out=$PWD/build/controls
rm -rf "$out" && mkdir -p "$out"
export SWAPCOUNT_LIB=$PWD/build/bench/libswapcount.so
# A drag of 2 pixels every 8 ms, as a mouse reports at 125 Hz, to and fro
# within the window.
drag="xdotool mousedown 1 $(for i in $(seq $((seconds * 125))); do
  printf 'mousemove_relative -- %d 0 sleep 0.008 ' $(( i / 200 % 2 ? -2 : 2 ));
  done) mouseup 1"
steps='
  now() { date +%s%N; }
  cpu() { awk "{ print \$14 + \$15 }" /proc/$viewer/stat; }
  phase() { echo "$1 $2 $3 $4 $5" >> "$outdir/phases"; }
  xdotool mousemove 200 300; sleep 1
  t0=$(now) c0=$(cpu); sleep '$seconds'; phase spinning $t0 $(now) $c0 $(cpu)
  xdotool key space; sleep 1
  t0=$(now) c0=$(cpu); sleep '$((2 * seconds))'; phase paused $t0 $(now) $c0 $(cpu)
  t0=$(now) c0=$(cpu); '"$drag"'; phase dragging $t0 $(now) $c0 $(cpu)
  t0=$(now) c0=$(cpu)
  xdotool click --repeat '$((seconds * 60))' --delay 8 4 \
    click --repeat '$((seconds * 60))' --delay 8 5
  phase zooming $t0 $(now) $c0 $(cpu)
  xdotool mousemove 400 300 key Escape'
for case in sample rifle; do
  file=$PWD/assets/monster.3ds
  [ $case = rifle ] && file=$PWD/tests/data/mar_rifle.3ds
  SWAPCOUNT_TIMES=$out/$case.times SWAPCOUNT_OUT=$out/$case.frames \
    VIEWER_WRAPPER="bash $PWD/bench/launch.sh" VIEWER_STEPS="$steps" \
    bash tests/run_viewer.sh "$PWD/build/modelviewer" "$(dirname "$file")" \
    "$out/$case" steps 0 "$file"
  # Frames presented within each phase, and the processor time it took
  # (clock ticks of 1/100 s) as a share of one core.
  while read -r name start end cpu0 cpu1; do
    awk -v s="$start" -v e="$end" -v c=$((cpu1 - cpu0)) -v n="$case $name" '
      $1 >= s && $1 <= e { frames++ }
      END { t = (e - s) / 1e9
            printf "%-16s %5.1f frames/s, %5.1f %% of a core\n", n, frames / t, c / t }' \
      "$out/$case.times"
  done < "$out/$case/phases"
done
