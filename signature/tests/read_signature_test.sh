#!/usr/bin/env bash
# Prepares the files read_signature_test.exe checks, in a scratch folder: a throwaway root
# and code-signing certificate (tests/support/test_signer.sh), the sample program unsigned,
# signed (osslsigncode), signed with one byte of its signed part changed, and signed by a
# signer whose name is the first one's in full-width letters; osslsigncode itself must accept the signed file and refuse the changed one. Then
# runs the test program under Wine, once without and once with the root trusted.
# Usage: read_signature_test.sh TEST_EXE SAMPLE_EXE
set -euo pipefail
test_exe=$(realpath "$1")
sample=$(realpath "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash "$root/tests/support/test_signer.sh" "$work"
cd "$work"
signer="Tarvel Test Signer"

cp "$sample" unsigned.exe
osslsigncode sign -pkcs12 signer.pfx -pass test -h sha256 -n "signature test" -in unsigned.exe -out signed.exe >/dev/null
osslsigncode verify -CAfile root.pem -in signed.exe >verify.log 2>&1 || { cat verify.log; exit 1; }
# One byte in the middle of the program's own bytes, well inside what the signature covers.
cp signed.exe changed.exe
offset=$(( $(stat -c %s unsigned.exe) / 2 ))
byte=$(od -An -tu1 -j"$offset" -N1 changed.exe | tr -d ' ')
printf "$(printf '\\%03o' $(( byte ^ 0xFF )))" | dd of=changed.exe bs=1 seek="$offset" conv=notrunc status=none
if osslsigncode verify -CAfile root.pem -in changed.exe >verify.log 2>&1; then
  echo "osslsigncode accepts the changed file" >&2
  exit 1
fi

# A look-alike signer: its name in full-width letters (U+FF34 ...), from a root of its own.
mkdir lookalike
bash "$root/tests/support/test_signer.sh" lookalike "$(printf '\357\274\264\357\275\201\357\275\222\357\275\226\357\275\205\357\275\214') Test Signer"
osslsigncode sign -pkcs12 lookalike/signer.pfx -pass test -h sha256 -n "signature test" -in unsigned.exe \
  -out lookalike.exe >/dev/null

export SIGNATURE_TEST_FOLDER="Z:${work//\//\\}"
export SIGNATURE_TEST_SIGNER="$signer"
export SIGNATURE_TEST_ROOT_THUMBPRINT=$(openssl x509 -in root.pem -noout -fingerprint -sha1 | sed "s/.*=//; s/://g")
# Wine reads the trusted roots once per process: one run without the root, one with it.
SIGNATURE_TEST_ROOT=unknown "$root/scripts/wine-run" "$test_exe"
SIGNATURE_TEST_ROOT=trusted "$root/scripts/wine-run" "$test_exe"
