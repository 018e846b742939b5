#!/usr/bin/env bash
# What the unattended run's safety costs, on the 64 MB release pair of bench/payload: a 64 MB
# file changed in five places (a modify record) and a new 32 MB file (a copy record). Times
# whole menditcon.exe runs into a fresh copy of the old release (best of three):
#   -force      the plain run: no judgement of the patch before the first change
#   (default)   the judgement (the engine over the files, nothing written), then the run
#   -rollback   the judgement, then the run over the journal (a copy of each changed file)
# Usage: cost.sh WINDOWS_TREE   (menditwiz.exe and menditcon.exe from it, run under Wine)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
windows=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
seconds() { local start=$(date +%s.%N); "$@" </dev/null >/dev/null 2>&1 || true; echo "$(date +%s.%N) - $start" | bc; }
best() { local best=999; for _ in 1 2 3; do best=$(echo "t=$("$@"); if (t < $best) t else $best" | bc); done; printf '%.3f' "$best"; }

cd "$work"
mkdir old new out
head -c $((64 << 20)) /dev/urandom >old/DATA.BIN
cp old/DATA.BIN new/DATA.BIN
for offset in 1 9 17 33 60; do printf 'changed' | dd of=new/DATA.BIN bs=1 seek=$((offset << 20)) conv=notrunc status=none; done
head -c $((32 << 20)) /dev/urandom >new/EXTRA.BIN
"$root/scripts/wine-run" "$windows/menditwiz/menditwiz.exe" -q "$(winpath "$work/old")" "$(winpath "$work/new")" \
  DATA.BIN 'C:\DATA\' "$(winpath "$work/out")" >/dev/null 2>&1
run() {  # run [OPTION...]: one menditcon run into a fresh copy of the old release
  rm -rf target && cp -r old target
  seconds "$root/scripts/wine-run" "$windows/menditcon/menditcon.exe" "$@" -target "$(winpath "$work/target")" \
    "$(winpath "$work/out/MENDIT.MNI")"
}
run -force >/dev/null  # the first start of a prefix is slower for every program
echo "| menditcon run | s |"
echo "|---|---:|"
echo "| -force (no judgement) | $(best run -force) |"
echo "| default (judgement, then the run) | $(best run) |"
echo "| -rollback (judgement, then the run over the journal) | $(best run -rollback) |"
cmp -s target/DATA.BIN new/DATA.BIN && cmp -s target/EXTRA.BIN new/EXTRA.BIN ||
  { echo "cost: the last installation is wrong" >&2; exit 1; }
