#!/usr/bin/env bash
# Installs what the build needs and builds everything into build/.
# The viewer program is not part of the tree yet; this builds the reader, its
# tests and benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
install_packages
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
echo "Built the 3DS reader, its tests and benchmarks in build/ (the viewer is not there yet)."
