#!/usr/bin/env bash
# Time from process start to exit of `modelviewer --screenshot OUT.png FILE`
# under Xvfb, on a generated 31 000-face file and on the textured monster; the
# median of RUNS runs each (default 11).
#   bench/screenshot.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}
cmake --build build -j"$(nproc)" --target modelviewer make_mesh >/dev/null
out=$PWD/build/screenshot-bench
rm -rf "$out" && mkdir -p "$out"
./build/bench/make_mesh 31000 14000 "$out/mesh31k.3ds"
files=("$out/mesh31k.3ds" "$PWD/assets/monster.3ds")

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
  3> "$out/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null' EXIT
for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n1 "$out/display") SDL_VIDEODRIVER=x11

# Median milliseconds of a command, run `runs` times.
median_ms() {
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || echo "failed: $*" >&2
    echo $((($(date +%s%N) - start) / 1000000))
  done | sort -n | sed -n "$(((runs + 1) / 2))p"
}

printf '%-14s %10s %8s\n' file bytes viewer
for file in "${files[@]}"; do
  ours=$(median_ms ./build/modelviewer --screenshot "$out/ours.png" "$file")
  printf '%-14s %10s %6s ms\n' "$(basename "$file")" "$(stat -c %s "$file")" \
    "$ours"
done
