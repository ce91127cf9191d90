#!/usr/bin/env bash
# A root is made again over the binds that a killed run left inside it, and what they show stays
# whole (in real runs: the host's /dev and the developer's checkout). Stand-ins for debootstrap
# and chroot make a root in an instant.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "SKIP: binds need root"; exit 77; }
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quenlith-root.XXXXXX")
root=$work/cache/debian12
trap 'umount "$root/left" 2>/dev/null || true; rm -rf --one-file-system "$work"' EXIT
mkdir "$work/bin" "$work/kept"
echo "keep me" >"$work/kept/file"
printf '#!/bin/sh\nmkdir -p "$3/proc" "$3/dev" "$3/etc/apt/apt.conf.d"\ntouch "$3/etc/passwd" "$3/etc/group"\n' \
    >"$work/bin/debootstrap"
printf '#!/bin/sh\n' >"$work/bin/chroot"
chmod +x "$work/bin/debootstrap" "$work/bin/chroot"
export QUENLITH_CACHE=$work/cache PATH=$work/bin:$PATH

"$top/tools/root.sh" debian12 true >/dev/null
# What a run killed inside the root leaves, and a package list changed since the root was made.
mkdir "$root/left"
mount --bind "$work/kept" "$root/left"
echo "an older list" >"$root/quenlith-recipe"
"$top/tools/root.sh" debian12 true >/dev/null

fail() { echo "FAIL: $1"; exit 1; }
[ "$(cat "$work/kept/file" 2>/dev/null)" = "keep me" ] || fail "the bound folder lost its file"
[ ! -e "$root/left" ] || fail "the root was not made again"
! grep -q " $work/" /proc/self/mountinfo || fail "something is still mounted in the cache"
echo "PASS: the root made again, the bound folder whole, nothing left mounted"
