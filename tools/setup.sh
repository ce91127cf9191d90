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
    wine64 wine32:i386                                         # Wine 8, both loaders
    debootstrap                                                # Wine 10's root
    xvfb imagemagick e2fsprogs python3-fusepy                  # window tests, pictures, chattr, FUSE
    fonts-dejavu-core                                          # wide faces for the window's texts
    dosfstools mtools fusefat exfatprogs exfat-fuse ntfs-3g attr # FAT32, exFAT, NTFS media
    zip                                                        # the release
)

# The Windows suites run Wine as this ordinary user, as people do (tests/wine/wine-env.sh).
id -u quenlith >/dev/null 2>&1 ||
    useradd --system --user-group --no-create-home --shell /usr/sbin/nologin quenlith

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
