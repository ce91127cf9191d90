#!/usr/bin/env bash
# The product is a 32-bit Windows GUI executable within 202 KiB that imports nothing but
# Windows' own DLLs, with image version 1.0, no time stamp, aware of terminal servers, and with
# the exploit mitigations a 32-bit image can have: a randomised base (which needs the
# relocations too), DEP, no structured exception handler (NO_SEH, kept true by code that never
# touches the handler chain's head at %fs:0) and stack cookies (whose runtime alone has the
# fast fail, int 0x29, and is linked only where guarded code calls it).
set -euo pipefail
exe=$1
budget=206848
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
(( 0x$characteristics & 0x0400 )) || { echo "FAIL: $exe does not say it has no SEH handler (NO_SEH)"; exit 1; }
code=$(i686-w64-mingw32-objdump -d "$exe")
! grep -Eq '%fs:0x0([^0-9a-fx]|$)' <<<"$code" || { echo "FAIL: $exe touches the SEH chain at %fs:0"; exit 1; }
grep -Eq 'int +\$0x29$' <<<"$code" || { echo "FAIL: $exe has no stack cookies"; exit 1; }
size=$(stat -c %s "$exe")
(( size <= budget )) || { echo "FAIL: $exe is $size bytes, over $budget"; exit 1; }
bad=0
while read -r dll; do
    if ! grep -Eiq "$allowed" <<<"$dll"; then
        echo "FAIL: $exe imports $dll"
        bad=1
    fi
done < <(awk '/DLL Name:/ {print $3}' <<<"$headers")
[ "$bad" -eq 0 ] || exit 1
echo "$exe: 32-bit GUI, ASLR, DEP, NO_SEH and stack cookies, $size bytes, imports $(awk '/DLL Name:/ {printf "%s ", $3}' <<<"$headers")"
