#!/usr/bin/env bash
# Installs what the build needs, checks the format of the C++ sources, builds
# into build/ and runs every test (the memory checks under valgrind among
# them); then builds again with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs every test there too;
# last, a smoke run of the fuzzers (build-fuzz/).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
install_packages

# One format for all C++ (the repository's .clang-format).
git ls-files '*.c' '*.cpp' '*.h' | xargs clang-format-14 --dry-run -Werror

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMODELVIEWER_SANITIZE=ON -DMODELVIEWER_BENCH=OFF
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

# Both fuzzers, built with clang, for a bounded smoke run side by side.
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMODELVIEWER_FUZZ=ON
cmake --build build-fuzz -j"$jobs"
ctest --test-dir build-fuzz --output-on-failure -j"$jobs"
