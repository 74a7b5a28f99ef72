#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Xvfb.
#   ./test.sh               the whole suite
#   ./test.sh -R inventory  only the tests whose name matches (ctest -R)
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
ensure_packages
prepare_runtime_dir

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

# One X server for the whole run; each test finds it through DISPLAY.
display=":$((90 + RANDOM % 400))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
export DISPLAY="$display"
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
done

cd build
ctest --output-on-failure "$@"
