#!/usr/bin/env bash
# Installs what the build needs, builds into build/, and shows a model:
#   bash tools/run.sh               the bundled monster (run in assets/)
#   bash tools/run.sh FILE.3ds      FILE, framed and in its own materials
# Further arguments go to build/modelviewer as they stand; a relative FILE is
# taken from where the command is run. Without a display (DISPLAY unset), the
# first frame is drawn offscreen and written to build/headless-run/screen.png.
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."
root=$PWD
source tools/packages.sh
install_packages
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

if [ $# -eq 0 ]; then cd "$root/assets"; else cd "$caller"; fi
if [ -n "${DISPLAY:-}" ]; then
  exec "$root/build/modelviewer" "$@"
fi

out=$root/build/headless-run
mkdir -p "$out"
status=0
"$root/build/modelviewer" --screenshot "$out/screen.png" "$@" || status=$?
if [ $status = 0 ]; then
  echo "No display is set: modelviewer drew its first frame offscreen into $out/screen.png"
fi
exit $status
