#!/usr/bin/env bash
# Lays out, from the host, what Windows programs cannot make under Wine: on each drive an
# autorun.inf that is not a plain file of its own. Files that must survive are in outside/,
# a folder of the sandbox that no drive reaches.
#   seed-links.sh lay SANDBOX    d: link to outside/autorun.inf (read-only)
#                                e: link to e:\sub\autorun.inf   f: link to outside/notes.txt (read-only)
#                                i: link to a folder   j: link to nothing   k: hard link of outside/twin.txt
#                                l: link to itself     m: an immutable file n: a read-only mount
#   seed-links.sh clear SANDBOX  undoes what rm -rf cannot (the immutable flag, the mount)
set -euo pipefail
action=$1
sandbox=$2
outside=$sandbox/outside

case "$action" in
lay)
    mkdir -p "$outside" "$sandbox/e/sub" "$sandbox/i/folder"
    echo "keep me" >"$outside/autorun.inf"
    echo "keep me" >"$outside/notes.txt"
    echo "keep me" >"$outside/twin.txt"
    echo "keep me" >"$sandbox/e/sub/autorun.inf"
    echo "keep me" >"$sandbox/i/folder/keep.txt"
    chmod 0444 "$outside/autorun.inf" "$outside/notes.txt"
    ln -s "$outside/autorun.inf" "$sandbox/d/autorun.inf"
    ln -s "$sandbox/e/sub/autorun.inf" "$sandbox/e/autorun.inf"
    ln -s "$outside/notes.txt" "$sandbox/f/autorun.inf"
    ln -s "$sandbox/i/folder" "$sandbox/i/autorun.inf"
    ln -s "$sandbox/nothing" "$sandbox/j/autorun.inf"
    ln "$outside/twin.txt" "$sandbox/k/autorun.inf"
    ln -s autorun.inf "$sandbox/l/autorun.inf"
    # These two need root; the made-* markers tell the test which could be made.
    echo "[autorun]" >"$sandbox/m/autorun.inf"
    if chattr +i "$sandbox/m/autorun.inf" 2>/dev/null; then
        touch "$outside/made-immutable"
    fi
    if mount -t tmpfs -o size=64k quenlith-ro "$sandbox/n" 2>/dev/null; then
        echo "[autorun]" >"$sandbox/n/autorun.inf"
        mount -o remount,ro "$sandbox/n" && touch "$outside/made-mount"
    fi
    ;;
clear)
    chattr -i "$sandbox/m/autorun.inf" 2>/dev/null || true
    ! mountpoint -q "$sandbox/n" || umount "$sandbox/n"
    ;;
esac
