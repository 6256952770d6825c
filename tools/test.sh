#!/usr/bin/env bash
# Installs what the build needs, checks the format of the C++ sources, builds
# into build/ and runs every test (the memory checks under valgrind among
# them); then builds again with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs every test there too;
# last, a smoke run of the fuzzers (build-fuzz/).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
# The package lists are fetched only when something is missing.
dpkg -s "${PACKAGES[@]}" >/dev/null 2>&1 || install_packages

# One format for all C++ (the repository's .clang-format).
git ls-files '*.c' '*.cpp' '*.h' | xargs clang-format-14 --dry-run -Werror

jobs=$(nproc)
# Line tables are all the debug information that reports need, and build in
# half the time of full -g; the sanitizer build runs its tests at -O1.
lines="-DNDEBUG -g1"
release=(-DCMAKE_BUILD_TYPE=RelWithDebInfo
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 $lines"
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 $lines")
# Most tests wait on their Xvfb screen and on sleeps, not on a processor:
# three at a time a core.
tests=$((3 * jobs))
cmake -S . -B build "${release[@]}"
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$tests"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 $lines" \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 $lines" \
  -DMODELVIEWER_SANITIZE=ON -DMODELVIEWER_BENCH=OFF
# Only what its tests run: the tools and benchmarks were built above.
cmake --build build-asan -j"$jobs" --target loader_tests program_tests \
  viewer_tests
ctest --test-dir build-asan --output-on-failure -j"$tests"

# Both fuzzers, built with clang, for a bounded smoke run: all four runs
# (two fuzzers, small and large inputs) side by side for 30 s.
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz "${release[@]}" \
  -DMODELVIEWER_FUZZ=ON -DMODELVIEWER_FUZZ_SECONDS=30
cmake --build build-fuzz -j"$jobs"
ctest --test-dir build-fuzz --output-on-failure -j4
