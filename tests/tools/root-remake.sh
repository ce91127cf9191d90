#!/usr/bin/env bash
# The Debian roots never take what a run binds into them (in real runs: the host's /dev and the
# developer's checkout): a run killed mid-command leaves this machine's mount table as it was; a
# root is made again only once nothing is mounted below it, however the cache is named; two
# makes at once give one root; and the test command fails, never skips, where the root's 32-bit
# loader fails for any reason but the kernel's. Stand-ins for mmdebstrap and chroot make and
# enter a root in an instant.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "SKIP: binds need root"; exit 77; }
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quenlith-root.XXXXXX")
root=$work/cache/debian12
leftovers() { awk -v w="$work/" 'index($5, w) == 1 { print $5 }' /proc/self/mountinfo | sort -r; }
finish() {
    leftovers | while read -r point; do umount -l "$point"; done
    rm -rf --one-file-system "$work"
}
trap finish EXIT
mkdir "$work/bin" "$work/kept"
echo "keep me" >"$work/kept/file"
cat >"$work/bin/mmdebstrap" <<EOF
#!/bin/bash
target=\${@: -2:1}
echo "\$target" >>"$work/made"
sleep 1 # long enough for a second make to meet this one
mkdir -p "\$target/proc" "\$target/dev" "\$target/etc" "\$target/usr/lib/python3/dist-packages"
touch "\$target/etc/passwd" "\$target/etc/group" "\$target/usr/lib/python3/dist-packages/fusepy.py"
EOF
# The root's commands run here, in the run's own namespace. For the test command, the builds and
# suites pass at once and the 32-bit loader answers what $work/loader says.
cat >"$work/bin/chroot" <<EOF
#!/bin/bash
shift
case "\$*" in
*ld-linux.so.2*) cat "$work/loader" >&2; exit 2 ;;
*-g++-win32*) echo " /usr/include/c++/12"; exit 0 ;;
*" cmake "*|*" ctest "*|*tests/product/*|*/wine/wine*) exit 0 ;;
esac
exec "\$@"
EOF
for tool in cmake ctest clang-format clang++ clang-tidy; do printf '#!/bin/sh\n' >"$work/bin/$tool"; done
chmod +x "$work"/bin/*
export QUENLITH_CACHE=$work/cache PATH=$work/bin:$PATH
fail() { echo "FAIL: $1"; exit 1; }

# Killed outright in the middle of a command.
"$top/tools/root.sh" debian12 true >/dev/null 2>&1
before=$(awk '{ print $5 }' /proc/self/mountinfo)
mkfifo "$work/started"
exec {started}<>"$work/started"
setsid "$top/tools/root.sh" debian12 sh -c "echo >$work/started; exec sleep 60" >/dev/null 2>&1 &
read -r -t 60 -u "$started" || fail "the command did not start"
{ kill -KILL -- "-$!" && wait "$!"; } 2>/dev/null || true
[ "$(awk '{ print $5 }' /proc/self/mountinfo)" = "$before" ] ||
    fail "a killed run left this in the mount table: $(leftovers | head -n 3)"

# A bind left in the root (by hand, or by an older run), a package list changed since, and the
# cache named through a link with a trailing slash.
ln -s cache "$work/link"
mkdir "$root/left"
mount --bind "$work/kept" "$root/left"
echo "an older list" >"$root/quenlith-recipe"
! QUENLITH_CACHE=$work/link/ "$top/tools/root.sh" debian12 true >"$work/said" 2>&1 ||
    fail "the root was made again over a bind"
[ "$(cat "$work/kept/file" 2>/dev/null)" = "keep me" ] || fail "the bound folder lost its file"
grep -q "mounted inside $root: $root/left, seen by process" "$work/said" || fail "it said: $(cat "$work/said")"
umount "$root/left"
QUENLITH_CACHE=$work/link/ "$top/tools/root.sh" debian12 true >/dev/null 2>&1
[ ! -e "$root/left" ] || fail "the root was not made again once nothing was bound in it"

# Two first makes at once.
rm -rf --one-file-system "$work/cache" "$work/made"
"$top/tools/root.sh" debian12 true >/dev/null 2>&1 & first=$!
"$top/tools/root.sh" debian12 true >/dev/null 2>&1 || fail "the second of two makes failed"
wait "$first" || fail "the first of two makes failed"
[ "$(wc -l <"$work/made")" -eq 1 ] || fail "two makes at once made $(wc -l <"$work/made") roots"

# The test command: only the kernel's refusal of the 32-bit loader is a reason not to run.
echo "/bin/sh: 1: exec: /lib/ld-linux.so.2: Exec format error" >"$work/loader"
"$top/tools/test.sh" >"$work/said" 2>&1 || fail "the test command failed: $(tail -n 3 "$work/said")"
grep -q "Built, not run: the i686 suites" "$work/said" || fail "no 'not run' line: $(tail -n 3 "$work/said")"
echo "mount: $root/proc: cannot mount proc read-only." >"$work/loader"
! "$top/tools/test.sh" >"$work/said" 2>&1 || fail "the test command passed: $(tail -n 3 "$work/said")"
grep -q "cannot mount proc" "$work/said" && ! grep -q "not run" "$work/said" ||
    fail "the test command said: $(tail -n 3 "$work/said")"
echo "PASS: no mount left by a killed run, nothing lost under a bind, one root from two makes," \
    "and the test command fails where the root cannot run its loader"
