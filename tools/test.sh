#!/usr/bin/env bash
# Installs what is missing, builds the native core and the Windows builds, runs every test:
# the core natively, the Windows suites under Wine 8 and under Wine 10, and the product's
# headers, reproducibility and formatting; clang and clang-tidy read the sources too.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
git ls-files -z 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' |
    xargs -0 clang-format --dry-run -Werror
for preset in native win64 win32 win32-tests; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
done
ctest --preset native
tools/clang-check.sh
tests/product/check-exe.sh build/win32/Quenlith.exe
tests/product/reproducible.sh

# The i686 suites (their window tests drive the product itself) need a kernel that runs 32-bit
# code: Wine 8 runs them in 32-bit Linux processes, with its own 32-bit loader, and Wine 10 in
# 32-bit mode of 64-bit ones. What cannot run here is named at the end.
wine8=(build/win64)
wine10=(build/win64)
not_run=()
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    wine10+=(build/win32-tests)
    if [ -x /usr/lib/wine/wine ]; then
        wine8+=(build/win32-tests)
    else
        not_run+=("the i686 suites under Wine 8, as wine32:i386 is not installed (the set-up said why)")
    fi
else
    not_run+=("the i686 suites, as this machine's kernel runs no 32-bit code")
fi
for build in "${wine8[@]}"; do
    ctest --test-dir "$build" --output-on-failure # Wine 8
done
tests/wine/wine10.sh "${wine10[@]}"
for reason in "${not_run[@]}"; do
    echo "Built, not run: $reason."
done
