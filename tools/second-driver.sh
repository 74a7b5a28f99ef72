#!/usr/bin/env bash
# Unpacks Mesa's OpenCL drivers (rusticl, with Clover beside it) into
# FOLDER for the tests that run on a second implementation. Nothing is
# registered: the tests point the loader at FOLDER themselves, and a user's
# drivers are not ours to change. rusticl also reads libclc-15's files,
# which test.sh installs with the other test packages.
#   second-driver.sh FOLDER
# Exits 0 either way; where the packages cannot be fetched it says so, and
# those tests report themselves skipped.
set -uo pipefail
folder=$1
libraries=(libRusticlOpenCL.so.1 libMesaOpenCL.so.1 libLLVMSPIRVLib.so.15)
present() {
    local library
    for library in "${libraries[@]}"; do [ -e "$folder/$library" ] || return 1; done
}
present && exit 0

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if ! (cd "$scratch" && apt-get download mesa-opencl-icd libllvmspirvlib15) >"$scratch/log" 2>&1; then
    echo "No second OpenCL driver: 'apt-get download mesa-opencl-icd libllvmspirvlib15' failed;"
    echo "the tests labelled rusticl will be skipped."
    exit 0
fi
for package in "$scratch"/*.deb; do dpkg-deb -x "$package" "$scratch/root"; done
mkdir -p "$folder"
for library in "${libraries[@]}"; do
    cp -a "$scratch"/root/usr/lib/*/"${library%.so*}".so* "$folder/"
done
present && echo "Second OpenCL driver unpacked into $folder."
