# Sourced by the Wine scripts: which Wine runs the tests. QUENLITH_WINE_DIR names a Wine's
# folder of loaders; Debian 12's Wine 8 by default. Wine 8 keeps a 64-bit loader (wine64) and
# a 32-bit one (wine) apart; a new-WoW64 Wine (10) has one loader for both kinds of program.
wine_dir=${QUENLITH_WINE_DIR:-/usr/lib/wine}
wineserver=$wine_dir/wineserver
if [ -x "$wine_dir/wine64" ]; then
    wine=$wine_dir/wine64
else
    wine=$wine_dir/wine
fi

# The loader for a Windows program: Wine 8's 32-bit one for an i386 program.
loader_for() {
    local header
    header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    if [ "$(od -An -tx2 -j$((header + 4)) -N2 "$1" | tr -d ' ')" = 014c ]; then
        echo "$wine_dir/wine"
    else
        echo "$wine"
    fi
}

# Wine runs as an ordinary user, as people run it: root passes permission checks that users
# meet. Started as root, every Wine command runs as the user the setup step made, with the
# prefix and sandboxes made over to it; QUENLITH_TESTER=root keeps root (a person's display).
tester=${QUENLITH_TESTER:-quenlith}
if [ "$(id -u)" -ne 0 ] || [ "$tester" = root ]; then
    tester=""
elif ! setpriv --reuid="$tester" --regid="$tester" --init-groups \
    test -x "$(dirname "$(dirname "$WINEPREFIX")")" 2>/dev/null; then
    echo "NOTE: user $tester is missing or cannot reach $WINEPREFIX; Wine runs as root." >&2
    tester=""
fi
drops_root() {
    [ -n "$tester" ]
}
as_tester() {
    if drops_root; then
        setpriv --reuid="$tester" --regid="$tester" --init-groups \
            env HOME="$(dirname "$WINEPREFIX")" USER="$tester" "$@"
    else
        "$@"
    fi
}
give_to_tester() {
    if drops_root; then chown "$tester:" "$@"; fi
}
