#!/usr/bin/env bash
# Makes the release: dist/Quenlith-VERSION-win32.zip (the product, its read-me for Windows
# users and its licence) and dist/SHA256SUMS. The same sources give the same bytes: the zip's entries carry
# the time of the last commit and no owner or extra fields.
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
cp build/win32/Quenlith.exe "$stage/Quenlith.exe"
sed 's/$/\r/' docs/README-Windows.txt >"$stage/README.txt" # Notepad's line ends
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
chmod 0644 "$stage"/*
touch -d "@$(git log -1 --format=%ct)" "$stage"/*

rm -rf dist
mkdir dist
(cd "$stage" && TZ=UTC zip -q -X -D "$OLDPWD/dist/$name.zip" Quenlith.exe README.txt LICENSE.txt)
(cd dist && sha256sum "$name.zip") >dist/SHA256SUMS
(cd "$stage" && sha256sum Quenlith.exe) >>dist/SHA256SUMS
cat dist/SHA256SUMS
