#!/usr/bin/env bash
# Takes the README's pictures: starts the program on an Xvfb server of its
# own, once for each tab with that tab's view started from the command line,
# and once for the menu and the dialogs, and writes one PNG per view:
#   main-window.png      the window as it opens, with the "About" menu down
#   sine-wave.png        first tab, started
#   postprocess.png      second tab, started
#   nbody.png            third tab, started
#   platforms-dialog.png "About" > "Platforms", first device unfolded
#   opengl-dialog.png    "About" > "OpenGL "
#
#   tools/screenshots.sh [program]     default: build/app/korvane
#   KORVANE_SCREENSHOT_DIR=dir         write the pictures there (default: docs/)
set -euo pipefail
# Paths the caller gives mean what they mean where the caller stands.
program=build/app/korvane
docs=docs
if [ $# -gt 0 ]; then program=$(realpath -m -- "$1"); fi
if [ -n "${KORVANE_SCREENSHOT_DIR:-}" ]; then docs=$(realpath -m -- "$KORVANE_SCREENSHOT_DIR"); fi
cd "$(dirname "$0")/.."
settle=${KORVANE_SCREENSHOT_SECONDS:-3}   # how long a started view runs before its picture

for tool in Xvfb xdotool import; do
    if ! command -v "$tool" >/dev/null; then
        echo "screenshots: $tool is missing (tools/packages.sh lists the packages)" >&2
        exit 1
    fi
done
if [ ! -x "$program" ]; then
    echo "screenshots: $program is not built yet (./run.sh builds it)" >&2
    exit 1
fi
mkdir -p "$docs"

if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "$XDG_RUNTIME_DIR" ]; then
    export XDG_RUNTIME_DIR="${TMPDIR:-/tmp}/korvane-runtime-$(id -u)"
    mkdir -p "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
fi

unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

log=$(mktemp "${TMPDIR:-/tmp}/korvane-screenshots.XXXXXX")
display_file=$(mktemp "${TMPDIR:-/tmp}/korvane-display.XXXXXX")
xvfb_pid=""
program_pid=""
finish() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -f "$log" "$display_file"
}
trap finish EXIT

# The server picks a display number nobody uses and writes it once it
# answers. -noreset keeps it from resetting when a client disconnects,
# which would drop the next one connecting in the meantime.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
done
[ -s "$display_file" ] || { echo "screenshots: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$display_file")"

fail() {
    echo "screenshots: $*" >&2
    if [ -s "$log" ]; then
        echo "--- program output ---" >&2
        tail -n 20 "$log" >&2
    fi
    exit 1
}

still_running() {
    kill -0 "$program_pid" 2>/dev/null || fail "the program ended early"
}

# The id of the visible window titled exactly $1, waiting up to 30 s.
window_titled() {
    local id
    for _ in $(seq 300); do
        still_running
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    fail "no window titled \"$1\" appeared"
}

# Waits until no visible window is titled $1 any more.
window_gone() {
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "the window \"$1\" did not close"
}

# Writes what the screen shows of a window (OpenGL views included) to a PNG.
shoot() {
    local window=$1 file=$2
    local X Y WIDTH HEIGHT SCREEN WINDOW
    sleep 0.3
    eval "$(xdotool getwindowgeometry --shell "$window")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$docs/$file"
    echo "  $docs/$file (${WIDTH} x ${HEIGHT})"
}

focus() {
    xdotool windowfocus --sync "$1"
    sleep 0.2
}

keys() {
    xdotool key --delay 80 "$@"
    sleep 0.3
}

# Opens "About" and picks its nth entry.
about_entry() {
    focus "$main"
    xdotool mousemove --window "$main" 25 10 click 1
    sleep 0.4
    local downs=()
    for _ in $(seq "$1"); do downs+=(Down); done
    keys "${downs[@]}" Return
}

# Starts the program with the given options and waits for its window.
launch() {
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null || true
        window_gone "OpenCL Korvane"
    fi
    "$program" "$@" >"$log" 2>&1 &
    program_pid=$!
    main=$(window_titled "OpenCL Korvane")
}

echo "Taking screenshots on $DISPLAY with $program:"
for tab in sine postprocess nbody; do
    launch --tab "$tab" --start
    sleep "$settle"
    still_running
    case $tab in
        sine) shoot "$main" sine-wave.png ;;
        *) shoot "$main" "$tab.png" ;;
    esac
done

# The window as it opens, "About" menu down.
launch
sleep 1
focus "$main"
xdotool mousemove --window "$main" 25 10 click 1
sleep 0.5
shoot "$main" main-window.png
keys Escape Escape

about_entry 1
dialog=$(window_titled "Platforms")
focus "$dialog"
# Home on the platform, five rows down to its first device, Right unfolds it.
keys Home Down Down Down Down Down Right
shoot "$dialog" platforms-dialog.png
keys Escape
window_gone "Platforms"

about_entry 2
dialog=$(window_titled "OpenGL")
shoot "$dialog" opengl-dialog.png
focus "$dialog"
keys Escape
window_gone "OpenGL"

still_running
echo "Done: the pictures are in $docs/."
