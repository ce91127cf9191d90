#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, test, demo and release Quenlith.
# Does nothing when everything is already there.
set -euo pipefail
# Installing, making the test user and (for Wine 10) mounting and chroot need root.
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"

packages=(
    cmake make g++ googletest clang-format                     # native core, unit tests, format
    clang clang-tidy                                           # a second compiler, the analyser
    g++-mingw-w64-x86-64-posix                                 # the x86_64 build
    g++-mingw-w64-i686-win32                                   # the product
    g++-mingw-w64-i686-posix                                   # its i686 test programs
    binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    libc6-i386                                                 # whether the kernel runs i686 code
    wine64                                                     # Wine 8 for x86_64 programs
    debootstrap                                                # Wine 10's root
    xvfb imagemagick e2fsprogs python3-fusepy                  # window tests, pictures, chattr, FUSE
    fonts-dejavu-core                                          # wide faces for the window's texts
    dosfstools mtools fusefat exfatprogs exfat-fuse ntfs-3g attr # FAT32, exFAT, NTFS media
    zip                                                        # the release
)
# Wine 8's loader for i686 programs. Without it everything is built and the x86_64 suites run,
# so a mirror that cannot serve it yet costs the i686 suites under Wine 8 alone.
optional=wine32:i386

# The Windows suites run Wine as this ordinary user, as people do (tests/wine/wine-env.sh).
id -u quenlith >/dev/null 2>&1 ||
    useradd --system --user-group --no-create-home --shell /usr/sbin/nologin quenlith

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}
missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
installed "$optional" && optional=""
[ ${#missing[@]} -eq 0 ] && [ -z "$optional" ] && exit 0

apt_says=$(mktemp)
trap 'rm -f "$apt_says"' EXIT
first_error() { grep -m 1 '^E: ' "$apt_says" | cut -c 4-; }

echo "Installing:" "${missing[@]}" $optional
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
# A mirror in the middle of a sync serves an index that does not match its release file, for a
# few minutes as a rule: try again a little later, then go on with the lists apt has.
lists=""
for try in 1 2 3; do
    apt-get update -qq >"$apt_says" 2>&1 && break
    if [ "$try" -lt 3 ]; then
        echo "setup: apt-get update failed ($(first_error)); trying again in 30 s" >&2
        sleep 30
    else
        echo "setup: apt-get update failed three times ($(first_error));" \
            "going on with the package lists apt has" >&2
        lists=" with the package lists it has"
    fi
done
apt_install() {
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"
}
[ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"
if [ -n "$optional" ] && ! apt_install "$optional" >"$apt_says" 2>&1; then
    echo "setup: $optional not installed (apt$lists: $(first_error));" \
        "the i686 suites under Wine 8 need it: try again later" >&2
fi
