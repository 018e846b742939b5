#!/usr/bin/env bash
# Makes a throwaway code-signing certificate in FOLDER for tests that sign programs: a root
# (root.pem, and root.cer in DER) and a signer certificate issued by it for code signing,
# with subject CN "Tarvel Test Signer" (or SIGNER_NAME, UTF-8), whose key and chain are in
# signer.pfx under the password "test". Valid for a day; the keys live only as long as the
# folder.
# Usage: test_signer.sh FOLDER [SIGNER_NAME]
set -euo pipefail
cd "$1"
for tool in openssl osslsigncode; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 2 -subj "/CN=Tarvel Test Root" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -utf8 -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
  -subj "/O=Tarvel/CN=${2:-Tarvel Test Signer}" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
openssl x509 -req -in signer.csr -CA root.pem -CAkey root.key -CAcreateserial -days 1 -extfile signer.ext \
  -out signer.pem 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile root.pem -passout pass:test -out signer.pfx
openssl x509 -in root.pem -outform DER -out root.cer
