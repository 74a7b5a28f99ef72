#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks what a desktop and a
# package manager need: the three programs and their manual pages, a valid
# desktop entry, a valid AppStream file, the icon, and a .deb that lintian
# passes, with Debian's runtime packages as dependencies.
#   check-install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/korvane-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix/usr" >/dev/null
id=org.korvane.Korvane
for file in bin/korvane bin/korvane-info bin/korvane-bench share/applications/$id.desktop \
            share/metainfo/$id.metainfo.xml share/icons/hicolor/scalable/apps/$id.svg \
            share/man/man1/korvane.1.gz share/man/man1/korvane-info.1.gz share/man/man1/korvane-bench.1.gz \
            share/doc/korvane/copyright share/doc/korvane/changelog.gz; do
    [ -s "$prefix/usr/$file" ] || fail "$file was not installed"
done
"$prefix/usr/bin/korvane" --version | grep -q '^korvane [0-9]' || fail "the installed korvane does not run"
desktop-file-validate "$prefix/usr/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$prefix/usr/share/metainfo/$id.metainfo.xml" || fail "AppStream metadata"
grep -q '^Icon='"$id"'$' "$prefix/usr/share/applications/$id.desktop" || fail "the entry names another icon"
grep -q '<svg' "$prefix/usr/share/icons/hicolor/scalable/apps/$id.svg" || fail "the icon is no SVG"
echo "PASS: installed and valid"

(cd "$build" && cpack -G DEB -B "$prefix/package" >/dev/null) || fail "cpack -G DEB"
deb=$(ls "$prefix"/package/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for package in libc6 libqt5opengl5 libglu1-mesa ocl-icd-libopencl1; do
    grep -q "$package" <<<"$depends" || fail "the package does not depend on $package: $depends"
done
grep -q pocl-opencl-icd <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "no OpenCL driver recommended"
grep -q "/usr/bin/korvane-bench$" <<<"$(dpkg-deb -c "$deb")" || fail "the package lacks korvane-bench"
version=$(dpkg-deb -f "$deb" Version)
zcat "$prefix/usr/share/doc/korvane/changelog.gz" | head -1 | grep -q "^korvane ($version)" \
    || fail "the changelog has no entry for $version on top"
# Errors and warnings fail; of the rest, only a binary built without the
# hardening flags does, unless the build is sanitized and goes without them.
lint=$(lintian --fail-on error,warning --display-info "$deb") || fail "lintian: $lint"
if ! grep -q '^KORVANE_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
    grep -q hardening- <<<"$lint" && fail "lintian: $lint"
fi
echo "PASS: $(basename "$deb"), depends on $depends; lintian: ${lint:-nothing to say}"
