#!/usr/bin/env bash
# Runs the Windows suites of the given build folders once more, under Wine 10: Debian
# unstable's, whose new WoW64 runs 32-bit Windows programs inside a 64-bit process (no 32-bit
# Linux libraries). Wine 10 lives in a Debian root of its own, made once (about two minutes,
# 2.4 GB) and kept in QUENLITH_CACHE.
#   wine10.sh BUILD_DIR...
set -euo pipefail
cd "$(dirname "$0")/../.."
top=$PWD
cache=${QUENLITH_CACHE:-/var/cache/quenlith}
root=$cache/wine10-sid
packages="wine wine64 xvfb imagemagick fonts-dejavu-core cmake e2fsprogs python3 libfuse2t64 dosfstools mtools fusefat exfatprogs exfat-fuse ntfs-3g attr"

# The Debian mirror that this machine's apt already uses (deb822 sources, else the one-line
# format), so that the root comes from wherever apt works here.
apt_mirror() {
    {
        sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2>/dev/null | tr ' ' '\n'
        awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i !~ /^\[/) { print $i; break } }' \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null
    } | grep -v -e '-security' -e '^$' | head -n 1 || true # a missing list is no mirror
}

# The root is made aside and moved in place only once complete.
make_root() {
    local mirror
    mirror=$(apt_mirror)
    if [ -z "$mirror" ]; then
        echo "wine10.sh: apt's sources name no Debian mirror to make the Wine 10 root from" >&2
        return 1
    fi
    local fresh=$root.new
    rm -rf "$fresh"
    mkdir -p "$cache"
    echo "Making the Wine 10 root in $root (once)..."
    debootstrap --variant=minbase sid "$fresh" "$mirror" >/dev/null
    # A mirror's copy of unstable may be older than its release file's validity; the packages
    # are checked against their signed lists all the same.
    echo 'Acquire::Check-Valid-Until "false";' >"$fresh/etc/apt/apt.conf.d/99quenlith"
    mount -t proc proc "$fresh/proc"
    chroot "$fresh" /bin/sh -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends $packages >/dev/null" || status=$?
    umount "$fresh/proc"
    [ "${status:-0}" -eq 0 ] || return "$status"
    echo "$packages" >"$fresh/quenlith-packages"
    rm -rf "$root"
    mv "$fresh" "$root"
}
[ "$(cat "$root/quenlith-packages" 2>/dev/null)" = "$packages" ] || make_root
# The pass-through FUSE drive's binding: Debian unstable has dropped python3-fusepy, a single
# module over libfuse 2, so the one that setup installed here serves there too.
cp /usr/lib/python3/dist-packages/fusepy.py "$root/usr/lib/python3/dist-packages/"

# The ordinary user the Windows suites run Wine as, by the same ids as on this machine.
for database in passwd group; do
    grep -q '^quenlith:' "$root/etc/$database" || getent "$database" quenlith >>"$root/etc/$database"
done

mounts=()
leave() {
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount -R "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}"
    done
}
trap leave EXIT
mount -t proc proc "$root/proc" && mounts+=("$root/proc")
mount --rbind /dev "$root/dev" && mounts+=("$root/dev")
mount --make-rslave "$root/dev"
mkdir -p "$root$top"
mount --bind "$top" "$root$top" && mounts+=("$root$top")

chroot "$root" /usr/lib/x86_64-linux-gnu/wine/wine --version
status=0
for build in "$@"; do
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
        QUENLITH_WINE_DIR=/usr/lib/x86_64-linux-gnu/wine \
        ctest --test-dir "$top/$build" --output-on-failure ${QUENLITH_CTEST_ARGS:-} || status=1
done
exit "$status"
