#!/usr/bin/env bash
# A long fuzzing run of both fuzzers side by side, one core each:
#   fuzz/run_long.sh [SECONDS]      (default 1800)
# Builds build-fuzz/ if needed; the corpora grow in build-fuzz/fuzz/corpus-*,
# and crash inputs land in build-fuzz/fuzz/ as crash-*: copy each into
# fuzz/regressions/ under a name that says what broke, and fix the code.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1800}
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMODELVIEWER_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
cd build-fuzz/fuzz
for fuzzer in fuzz_loader fuzz_scene; do
  mkdir -p "corpus-$fuzzer"
  ./$fuzzer -max_total_time="$seconds" -timeout=10 -max_len=20000 \
    -print_final_stats=1 -dict=../../fuzz/3ds.dict \
    -artifact_prefix="$PWD/crash-$fuzzer-" "corpus-$fuzzer" seeds \
    > "$fuzzer.log" 2>&1 &
done
wait
for fuzzer in fuzz_loader fuzz_scene; do
  echo "== $fuzzer"
  grep -E "^(#[0-9]+.*DONE|stat::)" "$fuzzer.log" || tail -n 20 "$fuzzer.log"
done
