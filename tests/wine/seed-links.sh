#!/usr/bin/env bash
# Lays out, from the host, what Windows programs cannot make under Wine: on each drive an
# autorun.inf that is not a plain file of its own. Files that must survive are in outside/,
# a folder of the sandbox that no drive reaches.
#   seed-links.sh lay SANDBOX    d: link to outside/autorun.inf (read-only)
#                                e: link to e:\sub\autorun.inf   f: link to outside/notes.txt (read-only)
#                                i: link to a folder   j: link to nothing   k: hard link of outside/twin.txt
#                                l: link to itself     m: an immutable file n: a read-only mount
#                                o: hard link of outside/twin-kept.txt in an immutable root
#                                p: root's read-only file in a sticky root q: in a root not writable
#                                r: a file on a pass-through FUSE mount of outside/fuse
#                                s: t: u: FAT32, v: w: exFAT, x: y: NTFS (lay_media below)
#   seed-links.sh clear SANDBOX  undoes what rm -rf cannot (the immutable flags, the mount)
# Everything belongs to the sandbox's owner, the user Wine runs as, except where said.
set -euo pipefail
action=$1
sandbox=$2
outside=$sandbox/outside

# The media people plug in, made fresh from images in outside/media and mounted by Debian's
# FUSE drivers, since machines like these may have no kernel module for them. Each flagged
# autorun.inf is read-only, hidden and system as its medium keeps them, and read back first:
#   s: FAT32, the entry's own attribute byte (mattrib)    t: FAT32, a folder named autorun.inf
#   u: a FAT32 image mounted read-only, flagged likewise
#   v: exFAT (no tool here writes its attributes)          w: exFAT, a folder
#   x: NTFS, its own attributes (ntfs-3g's ntfs_attrib)    y: NTFS, a folder
lay_media() {
    local media=$outside/media owner
    owner=uid=$(stat -c %u "$sandbox"),gid=$(stat -c %g "$sandbox"),allow_other
    [ -c /dev/fuse ] || return 0
    for tool in mkfs.fat mattrib fusefat mkfs.exfat mount.exfat-fuse mkntfs ntfs-3g setfattr; do
        command -v "$tool" >/dev/null || return 0
    done
    mkdir -p "$media"
    echo "[autorun]" >"$media/autorun.inf"
    for drive in s t u; do
        truncate -s 40M "$media/$drive.img"
        mkfs.fat -F 32 "$media/$drive.img" >/dev/null
    done
    for drive in s u; do
        mcopy -i "$media/$drive.img" "$media/autorun.inf" ::autorun.inf
        mattrib -i "$media/$drive.img" +r +h +s ::autorun.inf
        mattrib -i "$media/$drive.img" ::autorun.inf | grep -q '  SHR ' # as it reads back
    done
    mmd -i "$media/t.img" ::autorun.inf
    fusefat -o "rw+,$owner" "$media/s.img" "$sandbox/s" >/dev/null 2>&1
    fusefat -o "rw+,$owner" "$media/t.img" "$sandbox/t" >/dev/null 2>&1
    fusefat -o "ro,$owner" "$media/u.img" "$sandbox/u" >/dev/null 2>&1
    for drive in v w; do
        truncate -s 8M "$media/$drive.img"
        mkfs.exfat "$media/$drive.img" >/dev/null
        # Run by root, exfat-fuse wants a block device: a loop device, detached by clear.
        losetup -f --show "$media/$drive.img" >"$media/$drive.loop"
        mount.exfat-fuse -o "$owner" "$(cat "$media/$drive.loop")" "$sandbox/$drive" >/dev/null 2>&1
    done
    cp "$media/autorun.inf" "$sandbox/v/"
    mkdir "$sandbox/w/autorun.inf"
    for drive in x y; do
        truncate -s 8M "$media/$drive.img"
        mkntfs -F -f -q "$media/$drive.img" >/dev/null
        ntfs-3g -o "$owner" "$media/$drive.img" "$sandbox/$drive"
    done
    cp "$media/autorun.inf" "$sandbox/x/"
    setfattr -n system.ntfs_attrib_be -v 0x00000007 "$sandbox/x/autorun.inf"
    getfattr -e hex -n system.ntfs_attrib_be "$sandbox/x/autorun.inf" | grep -q '=0x00000007$'
    mkdir "$sandbox/y/autorun.inf"
    touch "$outside/made-media"
}

case "$action" in
lay)
    mkdir -p "$outside/fuse" "$sandbox/e/sub" "$sandbox/i/folder"
    for file in autorun.inf notes.txt twin.txt twin-kept.txt; do echo "keep me" >"$outside/$file"; done
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
    ln "$outside/twin-kept.txt" "$sandbox/o/autorun.inf"
    echo "[autorun]" >"$sandbox/m/autorun.inf"
    echo "[autorun]" >"$sandbox/p/autorun.inf"
    echo "[autorun]" >"$sandbox/q/autorun.inf"
    echo "[autorun]" >"$outside/fuse/autorun.inf"
    chown -R -h --reference="$sandbox" "$outside" "$sandbox"/[a-z]
    # These need root; the made-* markers tell the test which could be made.
    if chattr +i "$sandbox/m/autorun.inf" 2>/dev/null; then
        touch "$outside/made-immutable"
    fi
    if chattr +i "$sandbox/o" 2>/dev/null; then
        touch "$outside/made-immutable-root"
    fi
    if mount -t tmpfs -o size=64k quenlith-ro "$sandbox/n" 2>/dev/null; then
        echo "[autorun]" >"$sandbox/n/autorun.inf"
        mount -o remount,ro "$sandbox/n" && touch "$outside/made-mount"
    fi
    # A pass-through FUSE drive; the machine may have no FUSE device, or no fusepy.
    if [ -c /dev/fuse ] && /usr/bin/python3 -c 'import fusepy' 2>/dev/null; then
        setsid "$(dirname "$0")/passthrough-fs.py" "$outside/fuse" "$sandbox/r" >/dev/null 2>&1 &
        for _ in $(seq 50); do mountpoint -q "$sandbox/r" && break; sleep 0.1; done
        ! mountpoint -q "$sandbox/r" || touch "$outside/made-fuse"
    fi
    lay_media
    # What an ordinary user may not change: root's read-only file in a sticky root, and a file
    # of the user's own in a root the user may not write. Only where Wine runs as such a user.
    if [ "$(stat -c %u "$sandbox")" -ne 0 ] && chown 0:0 "$sandbox/p" "$sandbox/q" 2>/dev/null; then
        chown 0:0 "$sandbox/p/autorun.inf"
        chmod 1777 "$sandbox/p"
        chmod 0444 "$sandbox/p/autorun.inf"
        chmod 0755 "$sandbox/q"
        touch "$outside/made-foreign"
    fi
    ;;
clear)
    chattr -i "$sandbox/m/autorun.inf" "$sandbox/o" 2>/dev/null || true
    for drive in n r s t u v w x y; do
        ! mountpoint -q "$sandbox/$drive" || umount "$sandbox/$drive"
    done
    for loop in "$outside"/media/*.loop; do
        [ ! -e "$loop" ] || losetup -d "$(cat "$loop")"
    done
    ;;
esac
