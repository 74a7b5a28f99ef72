#!/usr/bin/env bash
# The program's command line as a script or a desktop shortcut meets it:
# what each option answers and the exit status it ends with.
#   check-command-line.sh PROGRAM      (DISPLAY names a running X server)
set -uo pipefail
program=$1
status=0

# expect STATUS TEXT COMMAND...: the command ends with STATUS and says TEXT.
expect() {
    local code=$1 text=$2 output actual
    shift 2
    output=$(timeout 60 "$@" 2>&1)
    actual=$?
    if [ "$actual" -ne "$code" ] || ! grep -qF -- "$text" <<<"$output"; then
        echo "FAIL: $* ended with $actual, expected $code and \"$text\":"
        echo "$output"
        status=1
    else
        echo "PASS: $* ($actual)"
    fi
}

expect 0 "--tab <name>" "$program" --help
expect 0 "korvane 0." "$program" --version
expect 0 "korvane 0." env -u DISPLAY "$program" --version
expect 2 "set DISPLAY" env -u DISPLAY "$program"
expect 2 "set DISPLAY" env DISPLAY=:4242 "$program" --tab nbody --start
expect 2 "Unknown option 'bogus'" "$program" --bogus
expect 2 'unexpected argument "nbody"' "$program" nbody
expect 2 'there is no tab "sideways"' "$program" --tab sideways
expect 2 'there is no device "9:0"' "$program" --device 9:0
expect 2 'there is no device "0:4294967296"' "$program" --device 0:4294967296
expect 2 'there is no device "zero"' "$program" --tab nbody --device zero --start
exit $status
