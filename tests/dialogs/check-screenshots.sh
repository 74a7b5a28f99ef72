#!/usr/bin/env bash
# Runs tools/screenshots.sh into a scratch folder and checks that it wrote
# every picture at the size of its window, the started views lit.
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
# Started from the command line, a view draws: some of its area is lit. A
# few dozen pixels are enough: how far the N-body cloud has spread, and so
# how many of its one-pixel points overlap, depends on the machine's speed.
for view in sine-wave postprocess nbody; do
    lit=$(convert "$out/$view.png" -crop 700x300+30+45 +repage -colorspace gray -threshold 8% -format '%[fx:mean]' info:)
    if awk -v lit="$lit" 'BEGIN { exit !(lit > 0.0002) }'; then
        echo "PASS: $view.png lit $lit"
    else
        echo "FAIL: $view.png is black where the view is ($lit lit)"
        status=1
    fi
done
check opengl-dialog.png 256x512
exit $status
