#!/usr/bin/env bash
# Makes the release: dist/Quenlith-VERSION-win32.zip (the product, its read-me for Windows
# users and its licence) and dist/SHA256SUMS. The same sources give the same bytes: the zip's entries carry
# the time of the last commit and no owner or extra fields. Given a signed Quenlith.exe (by
# tools/sign.sh), it packs it likewise as Quenlith-VERSION-win32-signed.zip, beside the other.
set -euo pipefail
cd "$(dirname "$0")/.."
# The rest runs in the Debian 12 root (tools/root.sh), whose toolchain gives the published
# bytes on any host.
[ -n "${QUENLITH_ROOT:-}" ] || exec tools/root.sh debian12 tools/release.sh "$@"
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target Quenlith >/dev/null
tests/product/check-exe.sh build/win32/Quenlith.exe >/dev/null

version=$(sed -n 's/^project(Quenlith VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=Quenlith-$version-win32
stage=$(mktemp -d "${TMPDIR:-/tmp}/quenlith-release.XXXXXX")
trap 'rm -rf "$stage"' EXIT
sed 's/$/\r/' docs/README-Windows.txt >"$stage/README.txt" # Notepad's line ends
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
pack() { # EXE ZIP
    cp "$1" "$stage/Quenlith.exe"
    chmod 0644 "$stage"/*
    touch -d "@$(git log -1 --format=%ct)" "$stage"/*
    (cd "$stage" && TZ=UTC zip -q -X -D "$OLDPWD/dist/$2" Quenlith.exe README.txt LICENSE.txt)
}

rm -rf dist
mkdir dist
pack build/win32/Quenlith.exe "$name.zip"
[ $# -eq 0 ] || pack "$1" "$name-signed.zip"
(cd dist && sha256sum -- *.zip) >dist/SHA256SUMS
(cd build/win32 && sha256sum Quenlith.exe) >>dist/SHA256SUMS
cat dist/SHA256SUMS
