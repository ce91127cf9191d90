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
#                                z: a hard link of outside/unsearched.txt in a root the user
#                                   may read but not search
#                                a: b: a notes.txt that the test gives the short name AUTORUN.INF
#   seed-links.sh clear SANDBOX  undoes what rm -rf cannot (the immutable flags, the mount)
# Everything belongs to the sandbox's owner, the user Wine runs as, except where said.
# Some fixtures need more than that user has. Each is made, and outside/made-NAME says so, or
# outside/lacks-NAME says what this machine lacks for it, and its case skips with that line.
# Where the machine has what a fixture needs, a fixture that cannot be made fails the seed,
# and the test with it.
set -euo pipefail
action=$1
sandbox=$2
outside=$sandbox/outside

made() { touch "$outside/made-$1"; }
lacks() { echo "$2" >"$outside/lacks-$1"; }
is_root() { [ "$(id -u)" -eq 0 ]; }
# Mounting takes root with CAP_SYS_ADMIN (bit 21), which a container may withhold.
can_mount() { is_root && (((0x$(awk '/^CapEff/ {print $2}' /proc/self/status) >> 21) & 1)); }
has_fuse() { can_mount && [ -c /dev/fuse ]; }

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
}

case "$action" in
lay)
    mkdir -p "$outside/fuse" "$sandbox/e/sub" "$sandbox/i/folder"
    for file in autorun.inf notes.txt twin.txt twin-kept.txt unsearched.txt; do
        echo "keep me" >"$outside/$file"
    done
    echo "keep me" >"$sandbox/e/sub/autorun.inf"
    echo "keep me" >"$sandbox/i/folder/keep.txt"
    for drive in a b; do echo "keep me" >"$sandbox/$drive/notes.txt"; done
    chmod 0444 "$outside/autorun.inf" "$outside/notes.txt"
    ln -s "$outside/autorun.inf" "$sandbox/d/autorun.inf"
    ln -s "$sandbox/e/sub/autorun.inf" "$sandbox/e/autorun.inf"
    ln -s "$outside/notes.txt" "$sandbox/f/autorun.inf"
    ln -s "$sandbox/i/folder" "$sandbox/i/autorun.inf"
    ln -s "$sandbox/nothing" "$sandbox/j/autorun.inf"
    ln "$outside/twin.txt" "$sandbox/k/autorun.inf"
    ln -s autorun.inf "$sandbox/l/autorun.inf"
    ln "$outside/twin-kept.txt" "$sandbox/o/autorun.inf"
    ln "$outside/unsearched.txt" "$sandbox/z/autorun.inf"
    echo "[autorun]" >"$sandbox/m/autorun.inf"
    echo "[autorun]" >"$sandbox/p/autorun.inf"
    echo "[autorun]" >"$sandbox/q/autorun.inf"
    echo "[autorun]" >"$outside/fuse/autorun.inf"
    chown -R -h --reference="$sandbox" "$outside" "$sandbox"/[a-z]
    # m: and o: keep their files through an immutable flag, which takes root and a file system
    # that keeps it (tried on a scratch file first).
    if ! is_root; then
        lacks immutable "the immutable flag needs root"
    elif ! { touch "$outside/scratch" && chattr +i "$outside/scratch" 2>/dev/null; }; then
        lacks immutable "no immutable flag can be set in the sandbox here"
    else
        chattr -i "$outside/scratch"
        chattr +i "$sandbox/m/autorun.inf" "$sandbox/o"
        made immutable
    fi
    rm -f "$outside/scratch"
    if can_mount; then
        mount -t tmpfs -o size=64k quenlith-ro "$sandbox/n"
        echo "[autorun]" >"$sandbox/n/autorun.inf"
        mount -o remount,ro "$sandbox/n"
        made mount
    else
        lacks mount "mounting needs root allowed to mount"
    fi
    if has_fuse && /usr/bin/python3 -c 'import fusepy' 2>/dev/null; then
        setsid "$(dirname "$0")/passthrough-fs.py" "$outside/fuse" "$sandbox/r" >/dev/null 2>&1 &
        for _ in $(seq 50); do mountpoint -q "$sandbox/r" && break; sleep 0.1; done
        mountpoint -q "$sandbox/r"
        made fuse
    else
        lacks fuse "no FUSE device, no right to mount, or no python3-fusepy"
    fi
    if has_fuse && [ -e /dev/loop-control ]; then
        lay_media
        made media
    else
        lacks media "no FUSE device, no loop devices, or no right to mount"
    fi
    # What an ordinary user may not change: root's read-only file in a sticky root, a file of
    # the user's own in a root the user may not write, and one in a root the user may read but
    # not search. Only where Wine runs as such a user.
    if is_root && [ "$(stat -c %u "$sandbox")" -ne 0 ]; then
        chown 0:0 "$sandbox/p" "$sandbox/q" "$sandbox/z" "$sandbox/p/autorun.inf"
        chmod 1777 "$sandbox/p"
        chmod 0444 "$sandbox/p/autorun.inf"
        chmod 0755 "$sandbox/q"
        chmod 0744 "$sandbox/z"
        made foreign
    else
        lacks foreign "needs root to lay out, and Wine run as an ordinary user"
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
