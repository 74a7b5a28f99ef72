#!/usr/bin/env bash
# Installs what is missing, builds the programs, and opens the window; without
# a display (X11 or Wayland) it takes screenshots of every view into
# build/screenshots/ instead.
# Arguments go to the program: ./run.sh --tab nbody --start
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    ensure_packages
else
    ensure_packages "${KORVANE_SCREENSHOT_PACKAGES[@]}"
fi
prepare_runtime_dir

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target korvane korvane-info korvane-bench

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/app/korvane "$@"
fi
# Nobody could see a window: take the pictures of every view instead.
shots=build/screenshots
echo "No display found: taking screenshots under Xvfb instead of opening the window."
if [ $# -gt 0 ]; then echo "(The arguments $* are for the window, which is not opened.)"; fi
KORVANE_SCREENSHOT_DIR="$shots" tools/screenshots.sh build/app/korvane
echo "The pictures are in $PWD/$shots/ (main-window.png, sine-wave.png, postprocess.png,"
echo "nbody.png, platforms-dialog.png, opengl-dialog.png)."
