#!/usr/bin/env bash
# Installs what is missing, builds the native core and both Windows builds, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
for preset in native win64 win32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
done
ctest --preset native
ctest --preset win64
tests/product/check-exe.sh build/win32/Quenlith.exe
