#!/usr/bin/env bash
# Installs what is missing, builds, and opens the program.
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
echo "No display found: running under Xvfb (xvfb-run)."
exec xvfb-run -a -s "-screen 0 1280x1024x24" build/app/korvane "$@"
