#!/usr/bin/env bash
# The self-applying program against mendit with loose files, on a 64 MB release pair: a
# 64 MB file changed in a few places (a modify record) and a new 32 MB file of random bytes
# (a copy record that makes the cabinet about 32 MB, so that the payload's own cost shows).
# Prints the size overhead of the program over the cabinet, the start-up time (the program
# started with "/S -h", which reads and checks its payload and stops before any work; a
# plain mendit.exe for comparison) and the apply time of both (/S into a fresh copy of the
# old release; best of three).
# Usage: compare.sh NATIVE_TREE WINDOWS_TREE   (menditwiz from the first, mendit.exe from the second)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
native=$(cd "$1" && pwd) windows=$(cd "$2" && pwd)
mendit=$windows/mendit/mendit.exe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() { "$root/scripts/wine-run" "$@" </dev/null >/dev/null 2>&1; }
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
seconds() { local start=$(date +%s.%N); "$@" || true; echo "$(date +%s.%N) - $start" | bc; }
best() { local best=999; for _ in 1 2 3; do best=$(echo "t=$("$@"); if (t < $best) t else $best" | bc); done; printf '%.3f' "$best"; }

cd "$work"
mkdir old new out loose
head -c $((64 << 20)) /dev/urandom >old/DATA.BIN
cp old/DATA.BIN new/DATA.BIN
for offset in 1 9 17 33 60; do printf 'changed' | dd of=new/DATA.BIN bs=1 seek=$((offset << 20)) conv=notrunc status=none; done
head -c $((32 << 20)) /dev/urandom >new/EXTRA.BIN
"$native/menditwiz/menditwiz" -q old new DATA.BIN 'C:\DATA\' out -exe SELF.EXE -stub "$mendit" >/dev/null
cp "$mendit" loose/mendit.exe
cp out/PATCH.CAB out/MENDIT.MNI loose/
cabinet=$(stat -c %s out/PATCH.CAB) program=$(stat -c %s out/SELF.EXE) stub=$(stat -c %s "$mendit")
run "$work/out/SELF.EXE" /S -h || true  # the first start of a prefix is slower for every program

apply() {  # apply PROGRAM [DESCRIPTION]
  rm -rf target && cp -r old target
  seconds run "$@" /S "/D=$(winpath "$work/target")"
}
apply_loose() {
  rm -rf target && cp -r old target
  # The description's Patch value is found from the current folder, as a user starts mendit.
  (cd loose && seconds run "$work/loose/mendit.exe" /S "/D=$(winpath "$work/target")" "$(winpath "$work/loose/MENDIT.MNI")")
  cmp -s target/EXTRA.BIN new/EXTRA.BIN || echo "compare: the loose installation is wrong" >&2
}
echo "| | bytes | start-up s | apply s |"
echo "|---|---:|---:|---:|"
echo "| loose: mendit.exe + MENDIT.MNI + PATCH.CAB | $((stub + cabinet)) | $(best seconds run "$work/loose/mendit.exe" /S -h) | $(best apply_loose) |"
echo "| self-applying SELF.EXE | $program | $(best seconds run "$work/out/SELF.EXE" /S -h) | $(best apply "$work/out/SELF.EXE") |"
echo "cabinet $cabinet bytes; the program adds $((program - cabinet)) bytes to it (mendit.exe is $stub bytes)"
cmp -s target/EXTRA.BIN new/EXTRA.BIN && cmp -s target/DATA.BIN new/DATA.BIN || { echo "compare: the last installation is wrong" >&2; exit 1; }
