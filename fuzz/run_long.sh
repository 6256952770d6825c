#!/usr/bin/env bash
# A long fuzzing run of the reader on every core:
#   fuzz/run_long.sh [SECONDS]      (default 1800)
# Builds build-fuzz/ if needed; the corpus grows in build-fuzz/fuzz/corpus,
# and crash inputs land in build-fuzz/fuzz/ as crash-*: copy each into
# fuzz/regressions/ under a name that says what broke, and fix the reader.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1800}
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMODELVIEWER_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
cd build-fuzz/fuzz
./fuzz_loader -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
  -jobs="$(nproc)" -workers="$(nproc)" -dict=../../fuzz/3ds.dict \
  -artifact_prefix="$PWD/crash-" corpus seeds
