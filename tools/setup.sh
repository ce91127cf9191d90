#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, test and demo Quenlith.
# Does nothing when everything is already there.
set -euo pipefail

packages=(
    cmake make g++ googletest                                  # native core and unit tests
    g++-mingw-w64-x86-64-posix                                  # the tested Windows build
    g++-mingw-w64-i686-win32                                    # the product
    binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine64                                                      # runs the x86_64 build
    xvfb imagemagick                                            # window tests and screenshots
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
