#!/usr/bin/env bash
# Installs what a fresh Debian 12 or 13 host lacks: the tools of the native core, of the
# analysis and of signing, and mmdebstrap for the Debian roots that hold the Windows side
# (tools/root.sh makes those itself). Prints nothing and waits for nothing when everything is
# there.
set -euo pipefail
# Installing, making the test user and entering the roots need root.
if [ "$(id -u)" -ne 0 ]; then
    keep=$(env | sed -n 's/^\(QUENLITH_[A-Z_0-9]*\|CI\)=.*/\1/p' | paste -sd, -)
    exec sudo ${keep:+"--preserve-env=$keep"} "$0" "$@"
fi

packages=(
    cmake make g++ googletest git          # native core, unit tests
    clang clang-tidy clang-format          # a second compiler, the analyser, the format
    mmdebstrap                             # the Debian roots of the Windows side
    osslsigncode openssl                   # a maintainer's signing step (tools/sign.sh)
)

# The Windows suites run Wine as this ordinary user, as people do (tests/wine/wine-env.sh); the
# roots take it over by the same ids.
id -u quenlith >/dev/null 2>&1 ||
    useradd --system --user-group --no-create-home --shell /usr/sbin/nologin quenlith

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing:" "${missing[@]}"
apt_says=$(mktemp)
trap 'rm -f "$apt_says"' EXIT
# A mirror in the middle of a sync serves an index that does not match its release file, for a
# few minutes as a rule: try again a little later, then go on with the package lists apt has.
for try in 1 2 3; do
    apt-get update -qq >"$apt_says" 2>&1 && break
    reason=$(grep -m 1 '^E: ' "$apt_says" | cut -c 4-)
    if [ "$try" -lt 3 ]; then
        echo "setup: apt-get update failed ($reason); trying again in 30 s" >&2
        sleep 30
    else
        echo "setup: apt-get update failed three times ($reason);" \
            "going on with the package lists apt has" >&2
    fi
done
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
