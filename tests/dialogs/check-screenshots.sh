#!/usr/bin/env bash
# Runs tools/screenshots.sh into a scratch folder and checks that it wrote
# every picture at the size of its window.
#   check-screenshots.sh SOURCE_DIR PROGRAM
set -euo pipefail
source_dir=$1
program=$2
out=$(mktemp -d "${TMPDIR:-/tmp}/korvane-shots.XXXXXX")
trap 'rm -rf "$out"' EXIT

KORVANE_SCREENSHOT_DIR="$out" KORVANE_SCREENSHOT_SECONDS=1 "$source_dir/tools/screenshots.sh" "$program"

status=0
check() {
    local file=$1 size=$2 actual
    if [ ! -s "$out/$file" ]; then
        echo "FAIL: $file was not written"
        status=1
        return
    fi
    actual=$(identify -format '%wx%h' "$out/$file")
    if [ "$actual" != "$size" ]; then
        echo "FAIL: $file is $actual, not $size"
        status=1
        return
    fi
    echo "PASS: $file $actual"
}
for view in main-window sine-wave postprocess nbody platforms-dialog; do
    check "$view.png" 768x512
done
check opengl-dialog.png 256x512
exit $status
