#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, test, demo and release Quenlith.
# Does nothing when everything is already there.
set -euo pipefail

packages=(
    cmake make g++ googletest clang-format                     # native core, unit tests, format
    g++-mingw-w64-x86-64-posix                                 # the x86_64 build
    g++-mingw-w64-i686-win32                                   # the product
    g++-mingw-w64-i686-posix                                   # its i686 test programs
    binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine64 wine32:i386                                         # Wine 8, both loaders
    debootstrap                                                # Wine 10's root
    xvfb imagemagick e2fsprogs python3-fusepy                  # window tests, pictures, chattr, FUSE
    zip                                                        # the release
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

# The Windows suites run Wine as this ordinary user, as people do (tests/wine/wine-env.sh).
id -u quenlith >/dev/null 2>&1 ||
    $sudo useradd --system --user-group --no-create-home --shell /usr/sbin/nologin quenlith

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
