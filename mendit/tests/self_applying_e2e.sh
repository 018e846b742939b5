#!/usr/bin/env bash
# One self-applying patch from build to installation, as a vendor and its users meet it:
#   1. menditwiz -exe builds SELF.EXE from two release folders; Windows reads the version
#      resource that describes the patch (and the checksum), and every other resource is
#      mendit's own;
#   2. it is signed with a throwaway certificate made here, and osslsigncode verifies it; the
#      certificate's root is made a trusted root of the Wine prefix for the test's length;
#   3. the real window installs it (demo_driver presses "Install patch") into a copy of the
#      old release, which must then equal the new one;
#   4. the same file installs silently (/S /D=... -log) with exit code 0;
#   5. a copy cut short installs nothing: exit code 4, one error row, the folder untouched;
#   6. signatures that are there but do not hold (the root not trusted yet; the payload
#      swapped for another valid one after signing) refuse the install silently (exit code
#      4 and the rows) and in the window (a box that can only be dismissed, and the rows).
# Usage: self_applying_e2e.sh MENDITWIZ.EXE MENDIT.EXE DEMO_DRIVER.EXE WORK_FOLDER VERSION_PROBE.EXE
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
wizard=$1 mendit=$2 driver=$3 work=$4 probe=$5
# Wine's helper processes inherit the output they are started with and outlive the test:
# every program's output goes to a file, or the test's own pipe would never close.
run() { "$root/scripts/wine-run" "$@" </dev/null >>"$work/wine.txt" 2>&1; }
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work"/{old,new,out,out2,gui,"silent dir",cut,refused}
cd "$work"
head -c 200000 /dev/urandom >old/TOOL.EXE
cp old/TOOL.EXE new/TOOL.EXE
printf 'new' | dd of=new/TOOL.EXE bs=1 seek=5000 conv=notrunc status=none
echo "read me" >new/README.TXT
echo "old notes" >old/OLD.TXT
for target in gui "silent dir" cut refused; do cp -p old/* "$target"/; done

# The description's DefaultPath is the folder the window offers; the silent run names its own.
identity=(-product "Tarvel Tool" -version 1.1 -from 1.0 -publisher "Tarvel Test Vendor")
run "$wizard" -q old new TOOL.EXE "$(winpath "$work/gui")\\" out -exe SELF.EXE -stub "$(winpath "$mendit")" \
  "${identity[@]}" || { cat wine.txt; fail "menditwiz -exe"; }

# What Windows shows in the file's properties: the patch, not mendit.
"$root/scripts/wine-run" "$probe" "$(winpath "$work/out/SELF.EXE")" "$(winpath "$mendit")" </dev/null \
  2>>wine.txt | tr -d '\r' >probe.txt || { cat wine.txt; fail "version_probe"; }
for line in "ProductName=Tarvel Tool" "ProductVersion=1.1" "CompanyName=Tarvel Test Vendor" "Fixed=1.1.0.0" \
  "FileDescription=Updates Tarvel Tool from 1.0 to 1.1" "FileVersion=1.1" "OriginalFilename=SELF.EXE" \
  "Checksum=valid"; do
  grep -qxF "$line" probe.txt || { cat probe.txt; fail "the program's version resource: no $line"; }
done
grep -qx "Resources=same [0-9]*" probe.txt || { cat probe.txt; fail "mendit's other resources not kept"; }

# Another program as the stub (menditwiz itself) would never apply its patch: refused.
status=0
run "$wizard" -q old new TOOL.EXE 'C:\TOOL\' other -exe SELF.EXE -stub "$(winpath "$wizard")" || status=$?
[ "$status" = 4 ] && grep -q "is not a mendit.exe" wine.txt && [ ! -e other/SELF.EXE ] ||
  { cat wine.txt; fail "a stub that is no mendit: exit code $status"; }

# Another valid patch of the same length (only its Patch value differs), to swap in later.
run "$wizard" -q old new TOOL.EXE "$(winpath "$work/gui")\\" out2 -exe SELF.EXE -stub "$(winpath "$mendit")" \
  -patch XATCH.CAB "${identity[@]}" || { cat wine.txt; fail "menditwiz -exe, second patch"; }

bash "$root/tests/support/test_signer.sh" "$work"
osslsigncode sign -pkcs12 signer.pfx -pass test -h sha256 -n "Tool patch" -in out/SELF.EXE -out SIGNED.EXE >/dev/null \
  || fail "signing"
osslsigncode verify -CAfile root.pem -in SIGNED.EXE >verify.txt 2>&1 || { cat verify.txt; fail "osslsigncode verify"; }

# A signature that does not hold refuses the install: /S ends with exit code 4 and the rows,
# the window shows a box that can only be dismissed and the rows; nothing changes.
refused() {  # FILE REASON RELEASE_IN_GUI (what the window's folder holds)
  local file=$1 reason="Signature not valid: $2" status=0
  run "$work/$file" /S "/D=$(winpath "$work/refused")" -log "$(winpath "$work/refused.log")" || status=$?
  [ "$status" = 4 ] || { cat refused.log; fail "$file /S: exit code $status, not 4"; }
  grep -qF "[ERROR]	$reason" refused.log || { cat refused.log; fail "$file /S: no row '$reason'"; }
  grep -qF "[ERROR]	Cannot install patch: its signature does not hold" refused.log || { cat refused.log; fail "$file /S: no refusal row"; }
  : >wine.txt
  run "$driver" "$(winpath "$work/$file")" "-" "$(winpath "$work/refused.png")" || { cat wine.txt; fail "$file: window"; }
  grep -qF "demo: box \"Signature not valid\": $reason" wine.txt || { cat wine.txt; fail "$file: no box"; }
  grep -qF "ERROR   Cannot install patch: its signature does not hold" wine.txt || { cat wine.txt; fail "$file: no row"; }
  if grep -q "Patching completed" wine.txt; then cat wine.txt; fail "$file: installed"; fi
  diff -r old refused && diff -r "$3" gui || fail "$file changed the folder"
}
refused SIGNED.EXE "the certificate chain ends in a root this system does not trust" old

# The root as Windows stores a trusted one: a property blob (id 32, the certificate's DER) under
# its SHA-1 thumbprint.
thumbprint=$(openssl x509 -in root.pem -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
key="HKLM\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\$thumbprint"
blob=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(); print((struct.pack("<III",32,1,len(d))+d).hex())' root.cer)
trap 'run reg delete "$key" /f || true' EXIT
run reg add "$key" /v Blob /t REG_BINARY /d "$blob" /f || { cat wine.txt; fail "trusting the test root"; }

: >wine.txt
run "$driver" "$(winpath "$work/SIGNED.EXE")" "-" "$(winpath "$work/self-applying.png")" \
  || { cat wine.txt; fail "the window's installation"; }
cat wine.txt
grep -q "Patching completed !" wine.txt || fail "no closing row"
grep -q "Signed by Tarvel Test Signer" wine.txt || fail "no signer row"
rm -f gui/*.\$\$\$
diff -r new gui || fail "the window's installation does not equal the new release"

status=0
# As an installer's caller writes it: /S after another option, /D= last and unquoted.
# shellcheck disable=SC2046
run "$work/SIGNED.EXE" -log "$(winpath "$work/silent.log")" /S /D=$(winpath "$work/silent dir") || status=$?
[ "$status" = 0 ] || { cat silent.log; fail "silent run: exit code $status"; }
# The log: its header (program, patch, folder, command line, date), the signer's row first of
# the run, and the summary with the exit code last.
sed -n 6p silent.log | grep -q "Signed by Tarvel Test Signer" || { cat silent.log; fail "silent run: no signer row first"; }
head -1 silent.log | grep -qi "signed.exe 1.1.0.0 - all-or-nothing installation" || { cat silent.log; fail "silent run: no header"; }
tail -2 silent.log | tr -d '\r' | tr '\n' '|' | grep -q "Result: the application is up to date|	Exit code: 0|" ||
  { cat silent.log; fail "silent run: no summary"; }
rm -f "silent dir"/*.\$\$\$
diff -r new "silent dir" || fail "the silent installation does not equal the new release"
status=0
run "$work/SIGNED.EXE" /S -h -log "$(winpath "$work/help.log")" || status=$?
[ "$status" = 0 ] && grep -q "Install without a window" help.log || fail "/S -h: exit code $status, no help in the log"

# The signed file with its payload swapped for the other valid one (whose own digest is right).
python3 - out/SELF.EXE out2/SELF.EXE SIGNED.EXE SWAPPED.EXE <<'EOF'
import sys
first, second, signed = (open(path, "rb").read() for path in sys.argv[1:4])
assert len(first) == len(second) and first != second
swapped = bytearray(signed)
for i in range(len(first)):
    if first[i] != second[i]:
        swapped[i] = second[i]
open(sys.argv[4], "wb").write(swapped)
EOF
refused SWAPPED.EXE "the file was changed after it was signed" new

head -c $(( $(stat -c %s SIGNED.EXE) - 3000 )) SIGNED.EXE >CUT.EXE
status=0
run "$work/CUT.EXE" /S "/D=$(winpath "$work/cut")" -log "$(winpath "$work/cut.log")" || status=$?
[ "$status" = 4 ] || fail "cut file: exit code $status, not 4"
grep -q "is damaged: the file is cut short" cut.log || { cat cut.log; fail "cut file: no such row"; }
diff -r old cut || fail "the cut file changed the folder"
echo "self-applying patch: built, signed, installed by window and silently; a cut copy and signatures that do not hold refused"
