#!/usr/bin/env bash
# Makes, keeps and enters the Debian roots that the Windows side runs in, so that every host,
# Debian 12 or 13, builds the same bytes and runs the same Wines:
#   debian12  Debian 12, main only (no security list to skew it), amd64 and i386: mingw-w64,
#             cmake, Wine 8 (wine64 and wine32), Xvfb, the media and FUSE tools, zip,
#             osslsigncode
#   wine10    Debian unstable: Wine 10, whose new WoW64 runs 32-bit programs inside a 64-bit
#             process, as Windows does, and what its suites use
# Each is made once by mmdebstrap (a few minutes, 2 to 3 GB) in QUENLITH_CACHE
# (/var/cache/quenlith), made aside and moved in place when complete, and made again when its
# package list changes.
#   root.sh NAME [COMMAND [ARG...]]   runs COMMAND (a shell without one) in the root, from the
#                                     same folder as here: the checkout is bound at its own path
#   root.sh --remove                  removes the roots once no run is in them
# Every mount a run makes lives in a mount namespace of its own and goes with its last process,
# however it ends: none reaches this machine's own table. A lock per root lets runs share it and
# lets one make it alone. Where the mirror refuses a root today, it says why in one line and
# exits 75; any other failure exits with its own message.
set -euo pipefail
# What a run keeps of its caller's environment, through sudo and into the root.
kept='QUENLITH_[A-Z_0-9]*|DISPLAY|XAUTHORITY|TERM|CI'
if [ "$(id -u)" -ne 0 ]; then
    keep=$(env | grep -E -o "^($kept)=" | tr -d = | paste -sd, -)
    exec sudo ${keep:+"--preserve-env=$keep"} "$0" "$@"
fi
# The marker holds the id of the namespace made for this run, so no inherited value passes.
if [ "${QUENLITH_MOUNT_NAMESPACE:-}" != "$(readlink /proc/self/ns/mnt)" ]; then
    # Its mounts are made private from / down, which must be a mount point (in a chroot: bind
    # the root folder onto itself before entering it).
    mountpoint -q / ||
        { echo "root.sh: / is not a mount point, so no run could keep its mounts to itself" >&2; exit 1; }
    exec unshare --mount --propagation private -- /bin/sh -c \
        'QUENLITH_MOUNT_NAMESPACE=$(readlink /proc/self/ns/mnt) exec "$0" "$@"' "$0" "$@"
fi
here=$PWD
cd "$(dirname "$0")/.."
top=$(pwd -P)
tools/setup.sh # mmdebstrap, and the test user
name=${1:?usage: root.sh debian12|wine10 [COMMAND [ARG...]], or root.sh --remove}
shift
mkdir -p "${QUENLITH_CACHE:-/var/cache/quenlith}"
cache=$(realpath "${QUENLITH_CACHE:-/var/cache/quenlith}")

fail() {
    echo "root.sh: $1" >&2
    exit 1
}

# Where anything is mounted at or below a folder, in every mount table this process can see:
# each process's, its mount points read from its own root and decoded as findmnt decodes them.
mounted_below() {
    local table pid process_root
    for table in /proc/[0-9]*/mountinfo; do
        pid=${table#/proc/}
        pid=${pid%/mountinfo}
        process_root=$(readlink "/proc/$pid/root" 2>/dev/null) || continue
        awk -v dir="$1" -v prefix="${process_root%/}" -v pid="$pid" '
            function decode(s,   out, i) {
                out = ""
                while ((i = index(s, "\\")) > 0) {
                    out = out substr(s, 1, i - 1) sprintf("%c", substr(s, i + 1, 1) * 64 + \
                        substr(s, i + 2, 1) * 8 + substr(s, i + 3, 1))
                    s = substr(s, i + 4)
                }
                return out s
            }
            { point = prefix decode($5) }
            point == dir || index(point, dir "/") == 1 { print point ", seen by process " pid }
        ' "$table" 2>/dev/null || true
    done
}
# rm does not stop at a bind of a folder on the same file system: a root goes only once nothing
# is mounted below it anywhere.
remove() {
    local point
    [ -e "$1" ] || return 0
    point=$(mounted_below "$1")
    point=${point%%$'\n'*}
    [ -z "$point" ] ||
        fail "something is mounted inside $1: $point; unmount it, or end that process, then run this again"
    rm -rf --one-file-system "$1"
}

# A lock per root: shared while a command runs in it, exclusive to make, replace or remove it.
lock() {
    exec 9>>"$cache/$1.lock"
    flock "-$2" -n 9 && return 0
    case "$2" in
    s) echo "root.sh: waiting while another run makes or removes the $1 root..." >&2 ;;
    x) echo "root.sh: waiting for the runs in the $1 root to end..." >&2 ;;
    esac
    flock "-$2" 9
}

if [ "$name" = --remove ]; then
    for name in debian12 wine10; do
        lock "$name" x
        remove "$cache/$name.new"
        remove "$cache/$name"
        rm -f "$cache/$name.log"
    done
    echo "root.sh: removed the roots in $cache"
    exit 0
fi

root=$cache/$name
case "$name" in
debian12)
    suite=bookworm architectures=amd64,i386 wine_dir=/usr/lib/wine
    packages="cmake make git googletest zip osslsigncode openssl
        g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-win32 g++-mingw-w64-i686-posix
        binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64 wine32:i386
        xvfb imagemagick fonts-dejavu-core e2fsprogs python3-fusepy
        dosfstools mtools fusefat exfatprogs exfat-fuse ntfs-3g attr"
    ;;
wine10)
    suite=sid architectures=amd64 wine_dir=/usr/lib/x86_64-linux-gnu/wine
    packages="wine wine64 cmake xvfb imagemagick fonts-dejavu-core e2fsprogs python3 libfuse2t64
        dosfstools mtools fusefat exfatprogs exfat-fuse ntfs-3g attr"
    ;;
*) fail "no root named $name (debian12 or wine10)" ;;
esac
recipe=$(echo mmdebstrap "$suite" "$architectures" $packages)

# The mirror refused the root today (a sync under way, a transition in unstable): exit 75, which
# the test command may count as "not run". Anything else is a failure of this machine's.
cannot() {
    echo "root.sh: the $name root (Debian $suite) cannot be made today: $1" >&2
    exit 75
}
refused='Failed to fetch|Hash Sum mismatch|unexpected size|Mirror sync|Some index files failed|unmet dependencies|held broken packages|Temporary failure resolving|Could not connect|Could not resolve'

make_root() {
    local fresh=$root.new log=$cache/$name.log mirror started=$SECONDS reason database
    # The Debian mirror that this machine's apt already uses, as apt itself names it.
    mirror=$(apt-get indextargets --format '$(REPO_URI)' 'Identifier: Packages' 'Label: Debian' |
        head -n 1)
    [ -n "$mirror" ] || fail "apt's sources name no Debian mirror (apt-get indextargets, Label: Debian)"
    remove "$fresh"
    echo "Making the $name root in $root (once, a few minutes)..." >&2
    # Documentation, manual pages and translations are left out, and mmdebstrap keeps no package
    # cache. A mirror's copy may be older than its release file's validity; the packages are
    # checked against their signed lists all the same.
    if ! mmdebstrap --variant=minbase --architectures="$architectures" \
        --include="$(echo $packages | tr ' ' ,)" \
        --aptopt='Acquire::Check-Valid-Until "false"' --aptopt='Acquire::Retries "3"' \
        --dpkgopt='path-exclude=/usr/share/doc/*' --dpkgopt='path-exclude=/usr/share/man/*' \
        --dpkgopt='path-exclude=/usr/share/locale/*' --dpkgopt='path-exclude=/usr/share/info/*' \
        "$suite" "$fresh" "$mirror" >"$log" 2>&1; then
        reason=$(grep -m 1 -E '^E: ' "$log" | cut -c 4- || true)
        reason=${reason:-$(tail -n 1 "$log")}
        ! grep -q -E "$refused" "$log" || cannot "$reason"
        fail "making the $name root failed: $reason (all of it in $log)"
    fi
    # The ordinary user the Windows suites run Wine as, by the same ids as on this machine.
    for database in passwd group; do
        getent "$database" quenlith >>"$fresh/etc/$database"
    done
    # Debian unstable has dropped python3-fusepy, a single module over libfuse 2: the pass-through
    # FUSE drive's binding comes from Debian 12's root.
    if [ "$name" = wine10 ]; then
        cp "$cache/debian12/usr/lib/python3/dist-packages/fusepy.py" \
            "$fresh/usr/lib/python3/dist-packages/" ||
            fail "the wine10 root takes fusepy from the debian12 root: make that first"
    fi
    echo "$recipe" >"$fresh/quenlith-recipe"
    remove "$root"
    mv "$fresh" "$root"
    echo "Made the $name root: $(du -sh --one-file-system "$root" | cut -f 1) in $((SECONDS - started)) s" >&2
}
lock "$name" s
if [ "$(cat "$root/quenlith-recipe" 2>/dev/null)" != "$recipe" ]; then
    lock "$name" x
    [ "$(cat "$root/quenlith-recipe" 2>/dev/null)" = "$recipe" ] || make_root # made meanwhile?
    flock -s 9
fi

# A host path bound into the root at its own path, never through a link of the root's own:
# Debian's /var/run leads to /run, which would be this machine's.
bind_in() {
    local path
    path=$(realpath "$1")
    [ "$(realpath -m "$root$path")" = "$root$path" ] ||
        fail "$path lies behind a link inside the $name root; move it elsewhere"
    if [ -d "$path" ]; then
        mkdir -p "$root$path"
    else
        mkdir -p "$root$(dirname "$path")"
        touch "$root$path"
    fi
    mount --bind "$path" "$root$path"
}
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
# The checkout, which the test user reaches whatever folder holds it here.
bind_in "$top"
folder=$top
while [ "$folder" != / ]; do
    folder=$(dirname "$folder")
    chmod a+rx "$root$folder"
done
# A person's display: its sockets, and its cookie where it has one.
if [ -n "${DISPLAY:-}" ] && [ -d /tmp/.X11-unix ]; then
    bind_in /tmp/.X11-unix
fi
if [ -f "${XAUTHORITY:-}" ]; then
    bind_in "$XAUTHORITY"
    XAUTHORITY=$(realpath "$XAUTHORITY")
fi

case "$here/" in "$top"/*) ;; *) here=$top ;; esac
mapfile -t passed < <(env | grep -E "^($kept)=" || true)
[ $# -gt 0 ] || set -- /bin/bash
status=0
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "${passed[@]}" \
    QUENLITH_ROOT="$name" QUENLITH_WINE_DIR="$wine_dir" \
    /bin/sh -c 'cd "$0" && exec "$@"' "$here" "$@" || status=$?
# What the run wrote into a person's checkout is theirs, as if they had built it themselves.
owner=$(stat -c %u:%g "$top")
[ "$owner" = 0:0 ] || find "$top" -xdev ! -user "${owner%:*}" -exec chown -h "$owner" {} +
exit "$status"
