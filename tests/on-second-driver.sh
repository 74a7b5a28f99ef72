#!/usr/bin/env bash
# Runs a test on the second OpenCL driver unpacked in FOLDER, or reports
# that it is skipped (exit 77) where it could not be fetched.
#   on-second-driver.sh FOLDER COMMAND...
folder=$1
shift
if [ ! -e "$folder/libRusticlOpenCL.so.1" ]; then
    echo "skipped: no second driver (tools/second-driver.sh fetches it into $folder)"
    exit 77
fi
exec "$(dirname "$0")/run-with-display.sh" "$@"
