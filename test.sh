#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Xvfb.
#   ./test.sh                  the whole suite
#   ./test.sh -R inventory     only the tests whose name matches (ctest -R)
#   ./test.sh --sanitize       the whole suite built with AddressSanitizer and
#                              UndefinedBehaviorSanitizer, leaks checked, in build-sanitize/
# The plain run ends with the fuzz targets, 60 s each (KORVANE_FUZZ_SECONDS,
# 0 to skip); they run only with the whole suite, not with a selection.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
ensure_packages "${KORVANE_TEST_PACKAGES[@]}"
prepare_runtime_dir

build=build
# Tests on, whatever an earlier configure of the same folder chose.
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON)
fuzz="${KORVANE_FUZZ_SECONDS:-60}"
[ $# -gt 0 ] && fuzz=0
if [ "${1:-}" = "--sanitize" ]; then
    shift
    fuzz=0
    build=build-sanitize
    options+=(-DKORVANE_SANITIZE=ON)
    # Only the drivers' own leaks are suppressed, never the program's.
    export LSAN_OPTIONS="suppressions='$PWD/tests/lsan.supp':print_suppressions=0"
    # LeakSanitizer guesses the layout of glibc's dynamic TLS blocks from
    # their alignment and, for a block a library of the Wayland run loads,
    # guesses wrong: its tracer reads a bogus range and crashes at every exit
    # ("Tracer caught signal 11"). Not tracking __tls_get_addr leaves those
    # blocks unscanned; stacks, static TLS and globals are still roots.
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:intercept_tls_get_addr=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

cmake -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
# The second OpenCL implementation the tests labelled rusticl run on.
tools/second-driver.sh "$build/second-driver"

# One X server for the whole run; each test finds it through DISPLAY. The
# server picks a free display number itself and writes it once it answers,
# so that two runs on one machine never share a server.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true; rm -f "$display_file"' EXIT
for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
done
[ -s "$display_file" ] || { echo "test.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$display_file")"

(cd "$build" && ctest --output-on-failure --no-tests=error -j"$(nproc)" "$@")

if [ "$fuzz" != 0 ]; then
    KORVANE_FUZZ_SECONDS="$fuzz" tools/fuzz.sh
fi
