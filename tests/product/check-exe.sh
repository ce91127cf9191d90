#!/usr/bin/env bash
# The product is a 32-bit Windows GUI executable that imports nothing but Windows' own DLLs,
# with image version 1.0, no time stamp, aware of terminal servers, and with the exploit
# mitigations of its era: a randomised base (which needs the relocations too) and DEP.
set -euo pipefail
exe=$1
allowed='^(kernel32|user32|gdi32|comctl32|ole32|oleaut32|advapi32|shell32|msvcrt)\.dll$'

headers=$(i686-w64-mingw32-objdump -f -p "$exe")
grep -q 'file format pei-i386' <<<"$headers" || { echo "FAIL: $exe is not a 32-bit PE"; exit 1; }
grep -Eq '^Subsystem\s+0*2\s' <<<"$headers" || { echo "FAIL: $exe is not a GUI program"; exit 1; }
grep -Eq '^MajorImageVersion\s+1$' <<<"$headers" && grep -Eq '^MinorImageVersion\s+0$' <<<"$headers" ||
    { echo "FAIL: $exe is not image version 1.0"; exit 1; }
grep -Eq '^Time/Date\s+Thu Jan  1 00:00:00 1970$' <<<"$headers" || { echo "FAIL: $exe has a time stamp"; exit 1; }
characteristics=$(awk '/^DllCharacteristics/ {print $2}' <<<"$headers")
(( 0x$characteristics & 0x8000 )) || { echo "FAIL: $exe is not terminal-server aware"; exit 1; }
relocations=$(awk '/^Entry 5 / {print $3}' <<<"$headers")
(( 0x$characteristics & 0x0040 && 0x${relocations:-0} > 0 )) ||
    { echo "FAIL: $exe has no randomised base (DYNAMIC_BASE with relocations)"; exit 1; }
(( 0x$characteristics & 0x0100 )) || { echo "FAIL: $exe is not DEP-compatible (NX_COMPAT)"; exit 1; }
bad=0
while read -r dll; do
    if ! grep -Eiq "$allowed" <<<"$dll"; then
        echo "FAIL: $exe imports $dll"
        bad=1
    fi
done < <(awk '/DLL Name:/ {print $3}' <<<"$headers")
[ "$bad" -eq 0 ] || exit 1
echo "$exe: 32-bit GUI, ASLR and DEP, $(stat -c %s "$exe") bytes, imports $(awk '/DLL Name:/ {printf "%s ", $3}' <<<"$headers")"
