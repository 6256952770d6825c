#!/usr/bin/env bash
# Installs what the build needs, builds into build/, and shows the bundled
# monster in build/modelviewer, run from assets/. Without a display (DISPLAY
# unset) it runs the viewer under Xvfb instead, saves a screenshot after a
# second, presses a key and says where the picture is.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
install_packages
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

if [ -n "${DISPLAY:-}" ]; then
  cd assets
  exec ../build/modelviewer
fi

out=$PWD/build/headless-run
WAIT_FOR_PICTURE=1 bash tests/run_viewer.sh "$PWD/build/modelviewer" \
  "$PWD/assets" "$out" key 1
echo "modelviewer ran under Xvfb (no DISPLAY set) and printed: $(tr '\n' ' ' < "$out/stdout")"
cat "$out/stderr"
echo "Its picture after one second: $out/screen.png"
echo "A key press ended it with exit status $(cat "$out/status")."
exit "$(cat "$out/status")"
