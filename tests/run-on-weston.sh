#!/usr/bin/env bash
# Runs a program on a Wayland session of its own: Weston without a screen
# (its headless backend), started for the run and stopped after it. No X
# display is named, so that nothing falls back to X11.
#   run-on-weston.sh PROGRAM [ARGUMENT...]
set -uo pipefail
runtime=$(mktemp -d "${TMPDIR:-/tmp}/korvane-wayland.XXXXXX")   # 0700, as Wayland wants it
socket=korvane-test-$$
XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --socket="$socket" --idle-time=0 \
    >"$runtime/weston.log" 2>&1 &
weston=$!
trap 'kill $weston 2>/dev/null; wait $weston 2>/dev/null; rm -rf "$runtime"' EXIT
for _ in $(seq 100); do
    [ -S "$runtime/$socket" ] && break
    sleep 0.1
done
[ -S "$runtime/$socket" ] || { echo "Weston did not start:"; cat "$runtime/weston.log"; exit 1; }
env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland "$@"
