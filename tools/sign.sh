#!/usr/bin/env bash
# Signs the release for a maintainer who holds a code-signing certificate: makes the release
# (tools/release.sh), signs its Quenlith.exe with osslsigncode (Authenticode, SHA-256, an RFC 3161
# time stamp), verifies the signature, proves that the signature removed gives back the
# published bytes, and packs dist/Quenlith-VERSION-win32-signed.zip beside the unsigned zip,
# both in dist/SHA256SUMS. The unsigned exe stays the reproducible one.
#   tools/sign.sh --pkcs12 FILE --timestamp URL
#   tools/sign.sh --pkcs11-module MODULE --certs FILE --key URI --timestamp URL
# with, where wanted:
#   --password-file FILE  the PKCS#12 password or the token's PIN (asked for without it)
#   --ca FILE             the certificates the signature is verified against (the system's)
#   --no-timestamp        no time stamp: the signature ends with the certificate (tests only)
# It runs on this machine, where a token and its PKCS#11 module are; osslsigncode comes from the
# machine's Debian (the set-up step installs it), and PKCS#11 also needs libengine-pkcs11-openssl.
# The test command runs it in the Debian 12 root, with Debian 12's own osslsigncode.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -n "${QUENLITH_ROOT:-}" ] || tools/setup.sh # the Debian 12 root has osslsigncode of its own

key=() timestamp=() verify=() password=""
while [ $# -gt 0 ]; do
    case "$1" in
    --pkcs12) key+=(-pkcs12 "$2") ;;
    --pkcs11-module) key+=(-pkcs11module "$2") ;;
    --certs) key+=(-certs "$2") ;;
    --key) key+=(-key "$2") ;;
    --timestamp) timestamp+=(-ts "$2") ;;
    --password-file) password=$2 ;;
    --ca) verify+=(-CAfile "$2") ;;
    --no-timestamp) timestamp=(none) && shift && continue ;;
    *) echo "sign.sh: unknown option $1 (see the head of this script)" >&2 && exit 2 ;;
    esac
    shift 2
done
[ ${#key[@]} -gt 0 ] || { echo "sign.sh: give --pkcs12 FILE, or --pkcs11-module, --certs and --key" >&2; exit 2; }
[ ${#timestamp[@]} -gt 0 ] || { echo "sign.sh: give --timestamp URL (an RFC 3161 time stamp server)" >&2; exit 2; }
[ "${timestamp[0]}" != none ] || timestamp=()

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -z "$password" ]; then
    password=$work/password
    read -rsp "Password or PIN: " secret && echo
    (umask 077 && printf '%s' "$secret" >"$password")
fi

tools/release.sh >/dev/null
unsigned=build/win32/Quenlith.exe
signed=build/signed/Quenlith.exe
mkdir -p build/signed
rm -f "$signed"
osslsigncode sign "${key[@]}" -readpass "$password" -h sha256 "${timestamp[@]}" \
    -in "$unsigned" -out "$signed" >"$work/said" || { cat "$work/said" >&2; exit 1; }
osslsigncode verify "${verify[@]}" -in "$signed" >"$work/said" || { cat "$work/said" >&2; exit 1; }
osslsigncode remove-signature -in "$signed" -out "$work/unsigned.exe" >/dev/null
cmp -s "$unsigned" "$work/unsigned.exe" ||
    { echo "sign.sh: the signed exe without its signature is not the published one" >&2; exit 1; }
tools/release.sh "$signed"
