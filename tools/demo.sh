#!/usr/bin/env bash
# Shows Quenlith at work without any risk to this machine's files: installs what is missing,
# builds the x86_64 program and starts it under wine64 in a throwaway prefix whose drives are
# sandbox folders, d: and e: seeded with hidden autorun.inf files and f: with a folder of that
# name. With a display you work the window yourself; without one (no DISPLAY) the demo runs
# on a private Xvfb display, presses Scan & Remove itself, prints the log and saves a picture.
set -euo pipefail
cd "$(dirname "$0")/.."
# The rest runs in the Debian 12 root (tools/root.sh), with its toolchain and Wine 8.
[ -n "${QUENLITH_ROOT:-}" ] || exec tools/root.sh debian12 tools/demo.sh "$@"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target Quenlith app_driver >/dev/null

# On a person's own display Wine runs as that person (another user may not reach the display)
# and its window manager frames the window.
[ -z "${DISPLAY:-}" ] || export QUENLITH_TESTER=root QUENLITH_USE_DISPLAY=1
work=$(mktemp -d "${TMPDIR:-/tmp}/quenlith-demo.XXXXXX")
trap 'tests/wine/wine-prefix.sh remove "$work/prefix"; rm -rf "$work"' EXIT
echo "Making a throwaway Wine prefix (a few seconds)..."
tests/wine/wine-prefix.sh create "$work/prefix"

export QUENLITH_WINEPREFIX=$work/prefix QUENLITH_EXTRA_FILES=$PWD/build/win64/Quenlith.exe
driver=build/win64/tests/app_driver.exe
if [ -n "${DISPLAY:-}" ]; then
    tests/wine/run-in-sandbox.sh "$driver" --show 'C:\tests\Quenlith.exe'
else
    export QUENLITH_RESULTS=$PWD/build/demo
    tests/wine/run-in-sandbox.sh "$driver" --demo 'C:\tests\Quenlith.exe' \
        'C:\tests\results\quenlith-demo.bmp'
    echo "A picture of the window: $QUENLITH_RESULTS/quenlith-demo.png"
fi
