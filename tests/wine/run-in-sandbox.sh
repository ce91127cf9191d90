#!/usr/bin/env bash
# Runs a Windows test program under Wine (wine-env.sh says which) in the throwaway prefix
# $QUENLITH_WINEPREFIX, with fresh sandbox drives so no test ever touches this machine's own files:
#   c:  the prefix's own drive_c          d: e: f:  empty temporary folders
#   g:  a link to nothing (absent)        h:  a CD drive without a medium (not ready)
# It gets a private Xvfb display of its own, stopped by its process id at the end
# (QUENLITH_USE_DISPLAY=1 keeps the current DISPLAY instead, for a person to watch).
# The program is copied to c:\tests and started there; arguments are passed on.
#   QUENLITH_READY_DRIVES the letters of the ready folder drives, "d e f" unless given
#   QUENLITH_EXTRA_FILES  more files to copy beside it (separated by spaces)
#   QUENLITH_SEED         a script run as "SEED lay SANDBOX" once the drives are laid out, and
#                         as "SEED clear SANDBOX" at the end, before the sandbox is removed
#   QUENLITH_DPI          the system's DPI for the run, as one Windows session has one (96 unless given)
#   QUENLITH_FONT_SUBSTITUTES  FACE=SUBSTITUTE,... set in the prefix's FontSubstitutes for the run
#   QUENLITH_RESULTS      a folder that receives what the program left in c:\tests\results,
#                         with every BMP picture turned into a PNG
set -euo pipefail
: "${QUENLITH_WINEPREFIX:?set QUENLITH_WINEPREFIX to the test prefix}"
export WINEPREFIX=$QUENLITH_WINEPREFIX WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
. "$(dirname "$0")/wine-env.sh"

program=$1
shift
sandbox=$(mktemp -d "${TMPDIR:-/tmp}/quenlith-drives.XXXXXX")
give_to_tester "$sandbox"
# The session's DPI, and the prefix's FontSubstitutes, set for the run and undone after it.
set_dpi() {
    as_tester "$wine" reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
substitutes='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
substitute_fonts() {
    local pair pairs
    IFS=, read -ra pairs <<<"${QUENLITH_FONT_SUBSTITUTES:-}"
    for pair in "${pairs[@]}"; do
        if [ "$1" = add ]; then
            as_tester "$wine" reg add "$substitutes" /v "${pair%%=*}" /d "${pair#*=}" /f
        else
            as_tester "$wine" reg delete "$substitutes" /v "${pair%%=*}" /f
        fi >/dev/null 2>&1
    done
}
xvfb_pid=""
finish() {
    [ -z "${QUENLITH_DPI:-}" ] || set_dpi 96
    substitute_fonts delete
    as_tester "$wineserver" -k 2>/dev/null || true
    as_tester "$wineserver" -w 2>/dev/null || true
    [ -z "${QUENLITH_SEED:-}" ] || "$QUENLITH_SEED" clear "$sandbox"
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$sandbox"
}
trap finish EXIT

if [ "${QUENLITH_USE_DISPLAY:-}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
    # Xvfb picks a free display and writes its number once it is ready for clients.
    exec {display_fd}<> <(:)
    Xvfb -displayfd "$display_fd" -screen 0 1024x768x24 -nolisten tcp >"$sandbox/xvfb.log" 2>&1 &
    xvfb_pid=$!
    read -r -t 20 -u "$display_fd" display_number
    exec {display_fd}>&-
    export DISPLAY=:$display_number
fi

# Drives may only change while the prefix's wineserver is down.
as_tester "$wineserver" -k 2>/dev/null || true
as_tester "$wineserver" -w 2>/dev/null || true
devices=$WINEPREFIX/dosdevices
find "$devices" -maxdepth 1 -name '?:' ! -name 'c:' -exec rm -f {} +
for drive in ${QUENLITH_READY_DRIVES:-d e f}; do
    mkdir "$sandbox/$drive"
    give_to_tester "$sandbox/$drive"
    ln -s "$sandbox/$drive" "$devices/$drive:"
done
[ -e "$devices/g:" ] || ln -s "$sandbox/gone" "$devices/g:"
[ -e "$devices/h:" ] || ln -s "$sandbox/no-medium" "$devices/h:"
# What Windows programs cannot make under Wine (symbolic links, say) a seed script can.
[ -z "${QUENLITH_SEED:-}" ] || "$QUENLITH_SEED" lay "$sandbox"
[ -z "${QUENLITH_DPI:-}" ] || set_dpi "$QUENLITH_DPI"
substitute_fonts add
export QUENLITH_SANDBOX=$sandbox

loader=$(loader_for "$program")
tests=$WINEPREFIX/drive_c/tests
rm -rf "$tests"
as_tester mkdir -p "$tests/results"
# shellcheck disable=SC2086 # a list of paths
as_tester cp "$program" ${QUENLITH_EXTRA_FILES:-} "$tests/"
cd "$tests"
status=0
as_tester "$loader" "C:\\tests\\$(basename "$program")" "$@" || status=$?

if [ -n "${QUENLITH_RESULTS:-}" ]; then
    mkdir -p "$QUENLITH_RESULTS"
    for picture in "$tests"/results/*.bmp; do
        [ -e "$picture" ] || continue
        convert "$picture" "$QUENLITH_RESULTS/$(basename "${picture%.bmp}").png"
    done
fi
exit "$status"
