#!/usr/bin/env bash
# Installs what is missing, builds, and opens the program; without a display
# it takes screenshots of every view into docs/ instead.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
ensure_packages
prepare_runtime_dir

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

if [ -n "${DISPLAY:-}" ]; then
    exec build/app/korvane "$@"
fi
# Nobody could see a window: take the pictures of every view instead.
echo "No display found: taking screenshots under Xvfb instead of opening the window."
tools/screenshots.sh build/app/korvane
echo "The pictures are in $PWD/docs/ (main-window.png, sine-wave.png, postprocess.png,"
echo "nbody.png, platforms-dialog.png, opengl-dialog.png)."
