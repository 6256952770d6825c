#!/usr/bin/env bash
# Installs what the build needs, builds into build/, and runs every test; then
# builds again with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and runs every test there too.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
install_packages

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMODELVIEWER_SANITIZE=ON -DMODELVIEWER_BENCH=OFF
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"
