#!/usr/bin/env bash
# A maintainer's signing step, with a throwaway certificate made here: the signed release
# verifies and is listed in SHA256SUMS, the signature removed gives the published exe's SHA-256,
# and one byte of its code changed after signing fails verification.
set -euo pipefail
cd "$(dirname "$0")/../.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quenlith throwaway signer" \
    -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
printf throwaway >"$work/password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.p12" \
    -passout "file:$work/password"
tools/sign.sh --pkcs12 "$work/signer.p12" --password-file "$work/password" --ca "$work/cert.pem" \
    --no-timestamp >/dev/null

fail() { echo "FAIL: $1"; exit 1; }
grep -q -- '-win32-signed\.zip$' dist/SHA256SUMS || fail "SHA256SUMS lists no signed zip"
(cd dist && sha256sum -c --ignore-missing --quiet SHA256SUMS) || fail "a zip is not as SHA256SUMS says"
signed=build/signed/Quenlith.exe
osslsigncode remove-signature -in "$signed" -out "$work/unsigned.exe" >/dev/null
grep -q "^$(sha256sum <"$work/unsigned.exe" | cut -d ' ' -f 1)  Quenlith.exe$" dist/SHA256SUMS ||
    fail "the signed exe without its signature is not the published one"

# One byte of the code changed.
cp "$signed" "$work/changed.exe"
at=$((0x$(i686-w64-mingw32-objdump -h "$signed" | awk '$2 == ".text" { print $6 }') + 64))
byte=$(od -An -t u1 -j "$at" -N 1 "$signed" | tr -d ' ')
printf "\\$(printf %03o $((byte ^ 0xff)))" | dd of="$work/changed.exe" bs=1 seek="$at" conv=notrunc 2>/dev/null
! osslsigncode verify -CAfile "$work/cert.pem" -in "$work/changed.exe" >/dev/null 2>&1 ||
    fail "a changed byte of code still verifies"
osslsigncode verify -CAfile "$work/cert.pem" -in "$signed" >/dev/null || fail "the signed exe does not verify"
echo "PASS: signed and verified, the published bytes under the signature, a changed byte refused"
