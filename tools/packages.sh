#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# when they are missing. Sourced by run.sh and test.sh.

# To build the program and its manual pages, and to run it.
KORVANE_PACKAGES=(
    build-essential cmake
    qtbase5-dev libqt5opengl5-dev
    ocl-icd-opencl-dev opencl-headers pocl-opencl-icd
    libgl-dev libglu1-mesa-dev libgl1-mesa-dri
    libx11-dev
    help2man
)
# To take screenshots without a display.
KORVANE_SCREENSHOT_PACKAGES=(xvfb xauth imagemagick xdotool)
# To test: the above, the fuzzers' compiler, the install checks (lintian), the
# kernel library of the second OpenCL driver (see second-driver.sh), which
# with clang-15 also counts the GPU shape's registers (tst_gpushape), an
# OpenCL reader independent of ours and a Wayland session without a screen.
KORVANE_TEST_PACKAGES=("${KORVANE_SCREENSHOT_PACKAGES[@]}" clang libclang-rt-14-dev clang-15
    desktop-file-utils appstream lintian libclc-15 clinfo weston qtwayland5)

# ensure_packages [PACKAGE...]: the build's packages and the ones named.
ensure_packages() {
    local missing=()
    local package
    for package in "${KORVANE_PACKAGES[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
            sudo="sudo"
        else
            echo "Missing packages. Install them with:" >&2
            echo "  sudo apt-get install -y ${missing[*]}" >&2
            exit 1
        fi
    fi
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Qt complains unless its runtime directory exists and is private.
prepare_runtime_dir() {
    if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "$XDG_RUNTIME_DIR" ]; then
        export XDG_RUNTIME_DIR="${TMPDIR:-/tmp}/korvane-runtime-$(id -u)"
        mkdir -p "$XDG_RUNTIME_DIR"
        chmod 700 "$XDG_RUNTIME_DIR"
    fi
}
