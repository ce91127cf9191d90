#!/usr/bin/env bash
# A second compiler and a static analyser over src/, for the product's target: this host's clang
# compiles it warning-free against the mingw-w64 headers and the product compiler's C++ library
# (those of the Debian 12 root), and its clang-tidy (.clang-tidy) finds nothing. The product is
# still built by g++ alone.
set -euo pipefail
cd "$(dirname "$0")/.."
target=i686-w64-mingw32
root=${QUENLITH_CACHE:-/var/cache/quenlith}/debian12

# Debian names the C++ library's folder after the thread model (12-win32), which clang does
# not look for: it is given the folders that the product's own compiler searches, in the root.
mapfile -t cxx_folders < <(tools/root.sh debian12 "$target-g++-win32" -E -x c++ - -v </dev/null 2>&1 |
    sed -n 's|^ \(/.*/include/c++.*\)$|\1|p')
if [ ${#cxx_folders[@]} -eq 0 ]; then
    echo "clang-check: the Debian 12 root named no C++ library folders" >&2
    exit 1
fi
flags=(--target="$target" -std=c++20 -DUNICODE -D_UNICODE -D_WIN32_WINNT=0x0601 -Isrc)
for folder in "${cxx_folders[@]}" "/usr/$target/include"; do flags+=(-isystem "$root$folder"); done

mapfile -t sources < <(git ls-files 'src/*.cpp')
status=0
for source in "${sources[@]}"; do
    clang++ "${flags[@]}" -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror \
        -c -o /dev/null "$source" || status=1
done
clang-tidy --quiet "${sources[@]}" -- "${flags[@]}" 2>/dev/null || status=1
[ "$status" -eq 0 ] && echo "clang and clang-tidy: ${#sources[@]} files, nothing found"
exit "$status"
