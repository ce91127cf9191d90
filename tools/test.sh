#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test. This host's own tools check
# the formatting, build and run the native core, and have clang and clang-tidy read src/; the
# Debian 12 root (tools/root.sh) makes the Windows builds and the release's bytes and runs their
# suites under Wine 8, and Debian unstable's root runs them once more under Wine 10.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
git ls-files -z 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' |
    xargs -0 clang-format --dry-run -Werror
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)"
ctest --preset native

debian12() { tools/root.sh debian12 "$@"; }
for preset in win64 win32 win32-tests; do
    debian12 cmake --preset "$preset" >/dev/null
    debian12 cmake --build --preset "$preset" -j "$(nproc)"
done
tools/clang-check.sh
debian12 tests/product/check-exe.sh build/win32/Quenlith.exe
debian12 tests/product/reproducible.sh
debian12 tests/product/signing.sh

# The i686 suites (their window tests drive the product itself) need a kernel that runs 32-bit
# code: Wine 8 runs them in 32-bit Linux processes, and Wine 10 in 32-bit mode of 64-bit ones.
# Only the kernel's own refusal of the 32-bit loader says it runs none; any other failure is the
# run's. What cannot run here is named at the end, and never counted as passed.
builds=(build/win64)
not_run=()
if answer=$(debian12 /lib/ld-linux.so.2 --version 2>&1); then
    builds+=(build/win32-tests)
elif grep -q 'Exec format error' <<<"$answer"; then
    not_run+=("the i686 suites, as this machine's kernel runs no 32-bit code")
else
    echo "$answer" >&2
    echo "test: the Debian 12 root's 32-bit loader did not answer (above)" >&2
    exit 1
fi
debian12 /usr/lib/wine/wine64 --version
for build in "${builds[@]}"; do
    debian12 ctest --test-dir "$build" --output-on-failure
done
status=0
tools/root.sh wine10 /usr/lib/x86_64-linux-gnu/wine/wine --version || status=$?
if [ "$status" -eq 75 ]; then # the mirror's own refusal, never this machine's
    not_run+=("the suites of ${builds[*]} under Wine 10, as the mirror refuses its root today")
elif [ "$status" -ne 0 ]; then
    exit "$status"
else
    for build in "${builds[@]}"; do
        tools/root.sh wine10 ctest --test-dir "$build" --output-on-failure
    done
fi
for reason in "${not_run[@]}"; do
    echo "Built, not run: $reason."
done
