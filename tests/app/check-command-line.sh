#!/usr/bin/env bash
# The programs' command lines as a script or a desktop shortcut meets them:
# what each answers and the exit status it ends with, Qt's own options and
# the window system included.
#   check-command-line.sh KORVANE KORVANE_INFO KORVANE_BENCH   (DISPLAY names a running X server)
set -uo pipefail
korvane=$1 info=$2 bench=$3
status=0
nowhere=:4242   # no X server there
nocompositor=korvane-none-$$
notes=$(mktemp -u)
gl_driver='dynamically loaded by .*libGLX|_dri\.so'

# refused TEXT COMMAND...: a wrong argument, refused with status 2 before
# any view exists, so before the OpenGL driver is loaded.
refused() {
    local text=$1
    shift
    expect 2 "$text" "$@"
    if grep -qE "$gl_driver" <<<"$loaded"; then
        echo "FAIL: $* loaded the OpenGL driver before refusing"
        status=1
    fi
}

# expect STATUS TEXT COMMAND...: the command ends with STATUS and says TEXT.
# The loader's notes on what it loaded and unloaded stay in $loaded.
expect() {
    local code=$1 text=$2 output actual
    shift 2
    output=$(LD_DEBUG=files LD_DEBUG_OUTPUT=$notes timeout 60 "$@" 2>&1)
    actual=$?
    loaded=$(cat "$notes".* 2>/dev/null)
    rm -f "$notes".*
    if [ "$actual" -ne "$code" ] || ! grep -qF -- "$text" <<<"$output"; then
        echo "FAIL: $* ended with $actual, expected $code and \"$text\":"
        echo "$output"
        status=1
    else
        echo "PASS: $* ($actual)"
    fi
}

# Answered without a display, Qt's options among the arguments.
expect 0 "--tab <name>" env -u DISPLAY "$korvane" --help
expect 0 "--tab <name>" "$korvane" -reverse --help
expect 0 "korvane 0." env -u DISPLAY "$korvane" -stylesheet none.qss --version
expect 0 "korvane-info 0." env -u DISPLAY "$info" --version
expect 0 "korvane-bench 0." env -u DISPLAY "$bench" --version
# Qt's options are listed where Qt can start, and otherwise it says why.
expect 0 "--platform <platformName" "$korvane" --help-all
expect 0 "--platform <platformName" "$info" --help-all
expect 2 "--help-all lists Qt's options, which needs the window system: cannot open" env -u DISPLAY "$bench" --help-all

# X11, Qt's choice unless told otherwise: its display from -display (one
# dash or two) before DISPLAY. A refused tab shows the display was reached.
expect 2 "cannot open an X display (DISPLAY is not set)" env -u DISPLAY "$korvane"
expect 2 "cannot open the X display \"$nowhere\" named by DISPLAY" env DISPLAY=$nowhere "$korvane" --tab nbody --start
expect 2 "cannot open the X display \"$nowhere\" named by -display" "$korvane" -display $nowhere
refused 'there is no tab "sideways"' env DISPLAY=$nowhere "$korvane" -display "$DISPLAY" --tab sideways
refused 'there is no tab "sideways"' env -u DISPLAY "$korvane" --display "$DISPLAY" --tab sideways
expect 2 "named by DISPLAY" env DISPLAY=$nowhere "$korvane" -display="$DISPLAY"
expect 2 "--gui needs a display: cannot open the X display \"$nowhere\"" env DISPLAY=$nowhere "$bench" --gui
refused 'there is no device 9:0' env -u DISPLAY "$bench" --gui -display "$DISPLAY" --device 9:0
expect 0 "OpenGL
  Version: " env DISPLAY=$nowhere "$info" -display "$DISPLAY"
# Loaded to the end: a leak checker then still sees the driver's globals
# as roots, whatever processor Mesa set them up for.
if grep -qE '_dri\.so.*destroying link map' <<<"$loaded" || ! grep -qE "$gl_driver" <<<"$loaded"; then
    echo "FAIL: korvane-info did not keep the OpenGL driver it loaded to the end"
    status=1
fi
expect 0 "no display: cannot open the X display \"$nowhere\" named by DISPLAY" env DISPLAY=$nowhere "$info"

# Any other platform is Qt's to start; where it cannot, one line and 2.
expect 2 'Qt cannot start the platform "bogus" (from -platform)' env -u DISPLAY "$korvane" -platform bogus
expect 2 'Qt cannot start the platform "wayland" (from QT_QPA_PLATFORM)' \
    env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=$nocompositor "$korvane"
expect 2 'korvane-info: Qt cannot start the platform "wayland" (from -platform)' \
    env WAYLAND_DISPLAY=$nocompositor "$info" -platform wayland
expect 2 'Qt cannot start the platform "wayland;xcb" (from XDG_SESSION_TYPE)' \
    env DISPLAY=$nowhere XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=$nocompositor "$korvane"

# Every wrong argument, refused before a window shows.
expect 2 "Unknown option 'bogus'" "$korvane" --bogus
expect 2 'unexpected argument "nbody"' "$korvane" nbody
refused 'there is no tab "sideways"' "$korvane" --tab sideways
refused "--tab was given an empty value" "$korvane" --tab=
refused "--device was given an empty value" "$bench" --device= --quick
refused 'there is no device "9:0"' "$korvane" --device 9:0
refused 'there is no device "0:4294967296"' "$korvane" --device 0:4294967296
refused 'there is no device "zero"' "$korvane" --tab nbody --device zero --start
expect 2 "Unknown option 'style'" env -u DISPLAY "$info" -style fusion
exit $status
