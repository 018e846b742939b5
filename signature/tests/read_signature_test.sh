#!/usr/bin/env bash
# Prepares the files read_signature_test.exe checks, in a scratch folder: a throwaway root
# and code-signing certificate (openssl; the keys live only as long as the folder), the
# sample program unsigned, signed (osslsigncode) and signed with one byte of its signed part
# changed; osslsigncode itself must accept the signed file and refuse the changed one. Then
# runs the test program under Wine, once without and once with the root trusted.
# Usage: read_signature_test.sh TEST_EXE SAMPLE_EXE
set -euo pipefail
test_exe=$(realpath "$1")
sample=$(realpath "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)
for tool in openssl osslsigncode; do
  command -v "$tool" >/dev/null || { echo "read_signature: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

signer="Tarvel Test Signer"
openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 2 -subj "/CN=Tarvel Test Root" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/O=Tarvel/CN=$signer" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
openssl x509 -req -in signer.csr -CA root.pem -CAkey root.key -CAcreateserial -days 1 -extfile signer.ext \
  -out signer.pem 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile root.pem -passout pass:test -out signer.pfx
openssl x509 -in root.pem -outform DER -out root.cer

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

export SIGNATURE_TEST_FOLDER="Z:${work//\//\\}"
export SIGNATURE_TEST_SIGNER="$signer"
export SIGNATURE_TEST_ROOT_THUMBPRINT=$(openssl x509 -in root.pem -noout -fingerprint -sha1 | sed "s/.*=//; s/://g")
# Wine reads the trusted roots once per process: one run without the root, one with it.
SIGNATURE_TEST_ROOT=unknown "$root/scripts/wine-run" "$test_exe"
SIGNATURE_TEST_ROOT=trusted "$root/scripts/wine-run" "$test_exe"
