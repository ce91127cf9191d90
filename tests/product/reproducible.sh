#!/usr/bin/env bash
# The product builds to the same bytes wherever the sources lie: the work tree is copied into
# two folders at different depths, built in each, and both results compared with build/win32.
set -euo pipefail
cd "$(dirname "$0")/../.."
work=$(mktemp -d "${TMPDIR:-/tmp}/quenlith-twice.XXXXXX")
trap 'rm -rf "$work"' EXIT
for copy in "$work/one" "$work/two/deeper"; do
    mkdir -p "$copy"
    git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$copy"
    (cd "$copy" && cmake --preset win32 >/dev/null && cmake --build --preset win32 --target Quenlith >/dev/null)
done
sha256sum build/win32/Quenlith.exe "$work/one/build/win32/Quenlith.exe" \
    "$work/two/deeper/build/win32/Quenlith.exe"
cmp build/win32/Quenlith.exe "$work/one/build/win32/Quenlith.exe"
cmp build/win32/Quenlith.exe "$work/two/deeper/build/win32/Quenlith.exe"
echo "build/win32/Quenlith.exe: the same bytes from three folders"
