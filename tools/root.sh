#!/usr/bin/env bash
# Makes, keeps and enters the Debian roots that the Windows side runs in, so that every host,
# Debian 12 or 13, builds the same bytes and runs the same Wines:
#   debian12  Debian 12, main only (no security list to skew it), amd64 and i386: mingw-w64,
#             cmake, Wine 8 (wine64 and wine32), Xvfb, the media and FUSE tools, zip
#   wine10    Debian unstable: Wine 10, whose new WoW64 runs 32-bit programs inside a 64-bit
#             process, as Windows does, and what its suites use
# Each is made once (a few minutes, 2.5 to 4 GB) in QUENLITH_CACHE (/var/cache/quenlith), made
# aside and moved in place when complete, and made again when its package list changes.
#   root.sh NAME [COMMAND [ARG...]]   runs COMMAND (a shell without one) in the root, from the
#                                     same folder as here: the checkout is bound at its own path
# Where a root cannot be made, it says why in one line (apt's reason) and exits 75.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"
here=$PWD
cd "$(dirname "$0")/.."
top=$PWD
tools/setup.sh # debootstrap, and the test user
name=${1:?usage: root.sh debian12|wine10 [COMMAND [ARG...]]}
shift
cache=${QUENLITH_CACHE:-/var/cache/quenlith}
root=$cache/$name

case "$name" in
debian12)
    suite=bookworm foreign=i386 wine_dir=/usr/lib/wine
    packages="cmake make git googletest zip
        g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-win32 g++-mingw-w64-i686-posix
        binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64 wine32:i386
        xvfb imagemagick fonts-dejavu-core e2fsprogs python3-fusepy
        dosfstools mtools fusefat exfatprogs exfat-fuse ntfs-3g attr"
    ;;
wine10)
    suite=sid foreign="" wine_dir=/usr/lib/x86_64-linux-gnu/wine
    packages="wine wine64 cmake xvfb imagemagick fonts-dejavu-core e2fsprogs python3 libfuse2t64
        dosfstools mtools fusefat exfatprogs exfat-fuse ntfs-3g attr"
    ;;
*)
    echo "root.sh: no root named $name (debian12 or wine10)" >&2
    exit 2
    ;;
esac
recipe=$(echo "$suite" "$foreign" $packages)

cannot() {
    echo "root.sh: the $name root (Debian $suite) cannot be made today: $1" >&2
    exit 75
}

# A killed run leaves its binds behind: a root is removed only once nothing is mounted in it,
# or the host's /dev and the checkout bound there would go with it.
mounted_inside() {
    awk -v dir="$1" '$5 == dir || index($5, dir "/") == 1 { print $5 }' /proc/self/mountinfo | sort -r
}
unmount_inside() {
    local point
    mounted_inside "$1" | while read -r point; do umount -R "$point" 2>/dev/null || true; done
    point=$(mounted_inside "$1" | head -n 1)
    if [ -n "$point" ]; then
        echo "root.sh: $point is still mounted; unmount it, then run this again" >&2
        exit 1
    fi
}
remove() {
    [ -e "$1" ] || return 0
    unmount_inside "$1"
    rm -rf --one-file-system "$1"
}

# The Debian mirror that this machine's apt already uses (deb822 sources, else the one-line
# format), so that the roots come from wherever apt works here.
apt_mirror() {
    {
        sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2>/dev/null | tr ' ' '\n'
        awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i !~ /^\[/) { print $i; break } }' \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null
    } | grep -v -e '-security' -e '^$' | grep -m 1 debian || true # a missing list is no mirror
}

make_root() {
    local mirror fresh=$root.new log status=0
    mirror=$(apt_mirror)
    [ -n "$mirror" ] || cannot "apt's sources name no Debian mirror"
    remove "$fresh"
    mkdir -p "$cache"
    log=$cache/$name.log # what the last making said, kept for a person to read
    echo "Making the $name root in $root (once, a few minutes)..." >&2
    debootstrap --variant=minbase "$suite" "$fresh" "$mirror" >"$log" 2>&1 ||
        cannot "debootstrap: $(grep -m 1 '^E: ' "$log" || tail -n 1 "$log")"
    # A mirror's copy may be older than its release file's validity; the packages are checked
    # against their signed lists all the same.
    echo 'Acquire::Check-Valid-Until "false";' >"$fresh/etc/apt/apt.conf.d/99quenlith"
    [ -z "$foreign" ] || chroot "$fresh" dpkg --add-architecture "$foreign"
    mount -t proc proc "$fresh/proc"
    mount --rbind /dev "$fresh/dev"
    mount --make-rslave "$fresh/dev"
    # A mirror in the middle of a sync serves an index that does not match its release file,
    # for a few minutes as a rule: try again a little later.
    for try in 1 2 3; do
        status=0
        chroot "$fresh" apt-get update -qq >"$log" 2>&1 || status=$?
        [ "$status" -ne 0 ] && [ "$try" -lt 3 ] || break
        sleep 30
    done
    # shellcheck disable=SC2086 # a list of packages
    [ "$status" -ne 0 ] || chroot "$fresh" /usr/bin/env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends $packages >"$log" 2>&1 || status=$?
    umount -R "$fresh/dev"
    umount "$fresh/proc"
    [ "$status" -eq 0 ] || cannot "apt: $(grep -m 1 '^E: ' "$log" | cut -c 4- || tail -n 1 "$log")"
    echo "$recipe" >"$fresh/quenlith-recipe"
    remove "$root"
    mv "$fresh" "$root"
}
[ "$(cat "$root/quenlith-recipe" 2>/dev/null)" = "$recipe" ] || make_root

# The ordinary user the Windows suites run Wine as, by the same ids as on this machine (where
# the set-up has made it; without it, Wine runs as root and says so).
for database in passwd group; do
    grep -q '^quenlith:' "$root/etc/$database" ||
        getent "$database" quenlith >>"$root/etc/$database" || true
done
# Debian unstable has dropped python3-fusepy, a single module over libfuse 2: the pass-through
# FUSE drive's binding comes from Debian 12's root.
fusepy=$cache/debian12/usr/lib/python3/dist-packages/fusepy.py
if [ "$name" = wine10 ] && [ -e "$fusepy" ]; then
    cp "$fusepy" "$root/usr/lib/python3/dist-packages/"
fi

mounts=()
mount_in() {
    mount "$@"
    mounts+=("${@: -1}")
}
leave() {
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount -R "${mounts[i]}" 2>/dev/null || umount -R -l "${mounts[i]}"
    done
}
trap leave EXIT
mount_in -t proc proc "$root/proc"
mount_in --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"
# The checkout at its own path, which the test user reaches whatever folder holds it here;
# never through a link of the root's own (/var/run leads to this machine's /run).
if [ "$(realpath -m "$root$top")" != "$(realpath "$root")$top" ]; then
    echo "root.sh: $top lies behind a link inside the $name root; clone it elsewhere" >&2
    exit 1
fi
mkdir -p "$root$top"
folder=$top
while [ "$folder" != / ]; do
    folder=$(dirname "$folder")
    chmod a+rx "$root$folder"
done
mount_in --bind "$top" "$root$top"
# A person's display: its sockets, and its cookie where it has one.
if [ -n "${DISPLAY:-}" ] && [ -d /tmp/.X11-unix ]; then
    mkdir -p "$root/tmp/.X11-unix"
    mount_in --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
fi
if [ -f "${XAUTHORITY:-}" ]; then
    mkdir -p "$root$(dirname "$XAUTHORITY")"
    touch "$root$XAUTHORITY"
    mount_in --bind "$XAUTHORITY" "$root$XAUTHORITY"
fi

case "$here/" in "$top"/*) ;; *) here=$top ;; esac
mapfile -t passed < <(env | grep -E '^(QUENLITH_[A-Z_0-9]*|DISPLAY|XAUTHORITY|TERM|CI)=' || true)
[ $# -gt 0 ] || set -- /bin/bash
status=0
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "${passed[@]}" \
    QUENLITH_ROOT="$name" QUENLITH_WINE_DIR="$wine_dir" \
    /bin/sh -c 'cd "$0" && exec "$@"' "$here" "$@" || status=$?
exit "$status"
