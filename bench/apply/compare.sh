#!/usr/bin/env bash
# The whole checked apply of a 64 MB pair by menditcon.exe against xdelta3 -d, in the same
# run, and the run split into what can be timed from outside: Wine's start with the
# program's (menditcon.exe -h), the apply of the block delta and of the difference record
# (extraction through the system cabinet library, the directory, the look for files in use,
# the engine with its content checks), and the engine alone (apply_stages_bench.exe, whose
# table splits it further). The pair: 64 MB of random bytes changed in five places, with a
# 4 KB insertion at 40 MB. Best of N (default 5) with a fresh copy of the old file each time.
# Usage: compare.sh NATIVE_TREE WINDOWS_TREE [N]   (menditwiz from the first, menditcon.exe
#        from the second)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
native=$(cd "$1" && pwd) windows=$(cd "$2" && pwd) runs=${3:-5}
con=$windows/menditcon/menditcon.exe
command -v xdelta3 >/dev/null || { echo "compare.sh: xdelta3 missing (apt-get install xdelta3)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
seconds() { local start=$(date +%s.%N); "$@" </dev/null >/dev/null 2>&1 || true; echo "$(date +%s.%N) - $start" | bc; }
best() { local best=999; for _ in $(seq "$runs"); do best=$(echo "t=$("$@"); if (t < $best) t else $best" | bc); done; printf '%.3f' "$best"; }
export TZ=UTC WINEDEBUG=-all

cd "$work"
mkdir old new block best
head -c $((64 << 20)) /dev/urandom >old/DATA.BIN
python3 - <<'PY'
old = open("old/DATA.BIN", "rb").read()
new = bytearray(old)
for mb in (1, 9, 17, 33, 60):
    new[mb << 20:(mb << 20) + 7] = b"changed"
new[40 << 20:40 << 20] = b"\x5a" * 4096
open("new/DATA.BIN", "wb").write(new[:len(old)])
PY
touch -d '2020-01-01 12:00' old/DATA.BIN
touch -d '2020-02-01 12:00' new/DATA.BIN
"$native/menditwiz/menditwiz" -q old new DATA.BIN 'C:\DATA\' block >/dev/null
"$native/menditwiz/menditwiz" -q -delta best old new DATA.BIN 'C:\DATA\' best >/dev/null
"$root/scripts/wine-run" "$con" -h </dev/null >/dev/null 2>&1 || true  # the prefix's first start is slower
xdelta3 -e -9 -f -s old/DATA.BIN new/DATA.BIN x.vcdiff

apply() {  # apply OUTPUT_FOLDER
  rm -rf target && cp -rp old target
  (cd "$1" && seconds "$root/scripts/wine-run" "$con" -target "$(winpath "$work/target/DATA.BIN")" MENDIT.MNI)
  cmp -s target/DATA.BIN new/DATA.BIN || echo "compare.sh: the apply of $1 is wrong" >&2
}
xdelta() { seconds xdelta3 -d -f -s old/DATA.BIN x.vcdiff x.out; }
startup=$(best seconds "$root/scripts/wine-run" "$con" -h)
x1=$(best xdelta)
blockApply=$(best apply block)
bestApply=$(best apply best)
x2=$(best xdelta)
x=$(echo "if ($x1 < $x2) $x1 else $x2" | bc)
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores; best of $runs"
echo "| $(basename "$windows") | s | / xdelta3 -d |"
echo "|---|---:|---:|"
echo "| xdelta3 -d (native) | $x | 1.00 |"
echo "| menditcon.exe -h (Wine's start and the program's) | $startup | $(printf '%.2f' "$(echo "$startup / $x" | bc -l)") |"
echo "| menditcon.exe, block delta, checks | $blockApply | $(printf '%.2f' "$(echo "$blockApply / $x" | bc -l)") |"
echo "| menditcon.exe, -delta best (difference record), checks | $bestApply | $(printf '%.2f' "$(echo "$bestApply / $x" | bc -l)") |"
echo "cabinets: block $(stat -c %s block/PATCH.CAB) bytes, best $(stat -c %s best/PATCH.CAB) bytes; xdelta3 $(stat -c %s x.vcdiff) bytes"
