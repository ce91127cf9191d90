#!/usr/bin/env bash
# Makes or removes the throwaway Wine prefix that the Windows tests run in.
#   wine-prefix.sh create PREFIX   a fresh prefix with no z: (the host's /) and h: typed as a CD drive
#                                  (and windows left unmanaged unless QUENLITH_USE_DISPLAY=1)
#   wine-prefix.sh remove PREFIX   stops its wineserver and deletes it
set -euo pipefail
action=$1
export WINEPREFIX=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. "$(dirname "$0")/wine-env.sh"

case "$action" in
create)
    [ -d "$WINEPREFIX" ] && { as_tester "$wineserver" -k 2>/dev/null || true; rm -rf "$WINEPREFIX"; }
    mkdir -p "$(dirname "$WINEPREFIX")"
    give_to_tester "$(dirname "$WINEPREFIX")"
    DISPLAY= as_tester "$wine" wineboot -i >/dev/null 2>&1
    # A CD drive that exists but has no medium: typed cdrom, its link left dangling.
    DISPLAY= as_tester "$wine" reg add 'HKLM\Software\Wine\Drives' /v h: /d cdrom /f >/dev/null 2>&1
    # Private Xvfb displays have no window manager: Wine would wait for one at every window
    # that shows or hides (two seconds each under Wine 8).
    [ "${QUENLITH_USE_DISPLAY:-}" = 1 ] ||
        DISPLAY= as_tester "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    as_tester "$wineserver" -w
    rm -f "$WINEPREFIX/dosdevices/z:"
    ;;
remove)
    [ -d "$WINEPREFIX" ] || exit 0
    as_tester "$wineserver" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    ;;
*)
    echo "usage: $0 create|remove PREFIX" >&2
    exit 2
    ;;
esac
