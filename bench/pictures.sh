#!/usr/bin/env bash
# What pictures without a display cost:
# - one thumbnail: `--thumbnail 256` of the textured rifle, process start to
#   exit, offscreen with no X server, beside an 800 x 600 `--screenshot`
#   through an X window (MODELVIEWER_NO_EGL=1), as every screenshot was
#   drawn before, under a running Xvfb and with xvfb-run starting one, as a
#   machine without a display needed; the median of RUNS runs each
#   (default 11);
# - a folder: 200 files (copies of the test files and generated knots) at
#   256 in one run, beside one process a file; time a file and peak memory;
# - multisampling and transparency: `--thumbnail 256` against
#   `--screenshot --size 256x256` (neither) in a folder of 200, a picture.
#   bench/pictures.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}
cmake --build build -j"$(nproc)" --target modelviewer make_mesh >/dev/null
out=$PWD/build/pictures-bench
rm -rf "$out" && mkdir -p "$out/files"
program=$PWD/build/modelviewer

# Median milliseconds of a command, run `runs` times.
median_ms() {
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || echo "failed: $*" >&2
    echo $((($(date +%s%N) - start) / 1000000))
  done | sort -n | sed -n "$(((runs + 1) / 2))p"
}

cp tests/data/mar_rifle.3ds tests/data/m_rifl.bmp "$out/"
offscreen=$(cd "$out" && unset DISPLAY && median_ms "$program" --thumbnail \
  256 --screenshot thumb.png mar_rifle.3ds)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
  3> "$out/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null' EXIT
for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.05; done
window=$(cd "$out" && DISPLAY=:$(head -n1 "$out/display") SDL_VIDEODRIVER=x11 \
  MODELVIEWER_NO_EGL=1 median_ms "$program" --screenshot shot.png \
  mar_rifle.3ds)
started=$(cd "$out" && unset DISPLAY && SDL_VIDEODRIVER=x11 MODELVIEWER_NO_EGL=1 \
  median_ms xvfb-run -a -s '-screen 0 1024x768x24' "$program" --screenshot \
  shot.png mar_rifle.3ds)
echo "one thumbnail, start to exit: $offscreen ms offscreen; a screenshot through an X window: $window ms under a running Xvfb, $started ms with xvfb-run starting one"

# 200 files: 40 copies of the four test files and 40 knots of 1 000 to
# 20 000 faces.
for i in $(seq 0 39); do
  for f in tests/data/*.3ds tests/data/*.3DS assets/monster.3ds; do
    cp "$f" "$out/files/$i-$(basename "$f")"
  done
done
cp tests/data/*.bmp assets/monster.bmp "$out/files/"
for i in $(seq 1 40); do
  ./build/bench/make_mesh knot "$out/files/knot$i.3ds" $((500 * i))
done
files=("$out/files"/*.3[dD][sS])
timed() {  # seconds and peak MB of a command; "?" where none was read
  rm -f "$out/time"
  /usr/bin/time -q -f '%e %M' -o "$out/time" "$@" >/dev/null 2>&1 || true
  read -r seconds kb < "$out/time" && echo "$seconds $((kb / 1000))" ||
    echo "? ?"
}
unset DISPLAY
read -r batch peak < <(timed "$program" --thumbnail 256 \
  --screenshot "$out/thumbs/" "${files[@]}")
start=$(date +%s%N)
for f in "${files[@]}"; do
  "$program" --thumbnail 256 --screenshot "$out/one.png" "$f" >/dev/null \
    2>&1 || true
done
single=$((($(date +%s%N) - start) / 1000000))
read -r plain plainpeak < <(timed "$program" --size 256x256 \
  --screenshot "$out/plain/" "${files[@]}")
n=${#files[@]}
awk -v n="$n" -v b="$batch" -v s="$single" -v p="$peak" -v q="$plain" \
  -v qp="$plainpeak" 'BEGIN {
  printf "folder of %d at 256: %.1f ms a file in one run (peak %d MB); %.1f ms a file one process each (%.1f x)\n",
    n, 1000 * b / n, p, s / n, (s / n) / (1000 * b / n)
  printf "multisampling and transparency: %.1f ms a picture (%.1f with neither; peak %d MB)\n",
    1000 * b / n, 1000 * q / n, qp }'
