#!/usr/bin/env bash
# Installs what the build needs, checks the format of the C++ sources, builds
# into build/ and runs every test (the memory checks under valgrind among
# them); then builds again with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs every test there too;
# last, a smoke run of the fuzzers (build-fuzz/).
set -euo pipefail
cd "$(dirname "$0")/.."

# Each phase says how long it took as it ends, so that a slow one shows,
# and a phase that fails says so on the way out.
current= started=0
trap '[ -z "$current" ] ||
  echo "== tools/test.sh: $current failed after $((SECONDS - started)) s" >&2' EXIT
phase() {
  current=$1 started=$SECONDS
  "${@:2}"
  echo "== tools/test.sh: $current took $((SECONDS - started)) s" >&2
  current=
}

check_packages() {
  source tools/packages.sh
  # The package lists are fetched only when something is missing.
  dpkg -s "${PACKAGES[@]}" >/dev/null 2>&1 || install_packages
}

# One format for all C++ (the repository's .clang-format).
check_format() {
  git ls-files '*.c' '*.cpp' '*.h' | xargs clang-format-14 --dry-run -Werror
}

jobs=$(nproc)
# Line tables are all the debug information that reports need, and build in
# half the time of full -g; the sanitizer build runs its tests at -O1.
lines="-DNDEBUG -g1"
release=(-DCMAKE_BUILD_TYPE=RelWithDebInfo
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 $lines"
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 $lines")
# Most tests wait on their Xvfb screen, not on a processor: three at a time
# a core. The longest start first (their COST).
tests=$((3 * jobs))

build() {
  cmake -S . -B build "${release[@]}"
  cmake --build build -j"$jobs"
}

build_sanitized() {
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 $lines" \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 $lines" \
    -DMODELVIEWER_SANITIZE=ON -DMODELVIEWER_BENCH=OFF
  # Only what its tests run: the tools and benchmarks were built above.
  cmake --build build-asan -j"$jobs" --target loader_tests program_tests \
    viewer_tests
}

# Both fuzzers, built with clang, for a bounded smoke run: all four runs
# (two fuzzers, small and large inputs) side by side for 30 s.
fuzz() {
  CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz "${release[@]}" \
    -DMODELVIEWER_FUZZ=ON -DMODELVIEWER_FUZZ_SECONDS=30
  cmake --build build-fuzz -j"$jobs"
  ctest --test-dir build-fuzz --output-on-failure -j4
}

phase "the package check" check_packages
phase "the format check" check_format
phase "the build" build
phase "the tests" ctest --test-dir build --output-on-failure -j"$tests"
phase "the sanitizer build" build_sanitized
# The crafted scenes whose time and memory are all they check are not made
# there: the sanitizers stretch both.
phase "the sanitizer tests" ctest --test-dir build-asan --output-on-failure \
  -j"$tests"
phase "the fuzzers" fuzz
