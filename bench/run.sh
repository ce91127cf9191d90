#!/usr/bin/env bash
# Prints Quenlith's benchmark figures as one Markdown table: size of the product, scan cost
# over 24 ready drives, start-up and footprint, each beside its yardstick from the same run.
# Runs under Wine 8 (the x86_64 build) in a throwaway prefix with sandbox drives, like the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
# The rest runs in the Debian 12 root (tools/root.sh), with its toolchain and Wine 8.
[ -n "${QUENLITH_ROOT:-}" ] || exec tools/root.sh debian12 bench/run.sh "$@"
repetitions=${1:-30}
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target Quenlith Bench MinimalWindow >/dev/null
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target Quenlith >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/quenlith-bench.XXXXXX")
trap 'tests/wine/wine-prefix.sh remove "$work/prefix"; rm -rf "$work"' EXIT
tests/wine/wine-prefix.sh create "$work/prefix"
export QUENLITH_WINEPREFIX=$work/prefix
sandbox=tests/wine/run-in-sandbox.sh
bench=build/win64/Bench.exe

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
echo "Machine: $cpu, $(nproc) cores, $(/usr/lib/wine/wine64 --version) ($(date -u +%F))"
echo
echo "| what | figure |"
echo "|---|---|"
exe=build/win32/Quenlith.exe
echo "| Size of the i686 Quenlith.exe (icon and version record included) | $(stat -c %s "$exe") bytes ($(( $(stat -c %s "$exe") / 1024 )) KiB) |"
echo "| DLLs it imports | $(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {printf "%s ", $3}')|"

# c: and d: to z: make 24 ready drives.
QUENLITH_READY_DRIVES="$(echo {d..z})" "$sandbox" "$bench" scan "$repetitions"
export QUENLITH_EXTRA_FILES="$PWD/build/win64/Quenlith.exe $PWD/build/win64/MinimalWindow.exe"
"$sandbox" "$bench" startup 'C:\tests\Quenlith.exe' 'C:\tests\MinimalWindow.exe' 10
"$sandbox" "$bench" footprint 'C:\tests\Quenlith.exe'
