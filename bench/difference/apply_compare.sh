#!/usr/bin/env bash
# One program pair through the whole product: menditwiz (native) builds a block-delta patch
# and a -delta best one (which takes the difference record where it is smaller), each timed
# with its peak memory; menditcon.exe under Wine applies each to a fresh copy of the old file
# (best of N), with the whole process's peak resident memory; every result is compared with
# the new file.
# Usage: apply_compare.sh NATIVE_TREE WINDOWS_TREE OLD.exe NEW.exe [N]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
native=$(cd "$1" && pwd) windows=$(cd "$2" && pwd) runs=${5:-3}
con=$windows/menditcon/menditcon.exe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
export TZ=UTC WINEDEBUG=-all
mkdir "$work/old" "$work/new"
cp "$3" "$work/old/APP.EXE"
cp "$4" "$work/new/APP.EXE"
touch -d '2020-01-01 12:00' "$work/old/APP.EXE"
touch -d '2020-02-01 12:00' "$work/new/APP.EXE"
cd "$work"
for kind in block best; do
  /usr/bin/time -f "%e %M" -o "build.$kind" "$native/menditwiz/menditwiz" -q -delta "$kind" old new APP.EXE 'C:\APP\' "$kind" >/dev/null
done
"$root/scripts/wine-run" "$con" -h </dev/null >/dev/null 2>&1 || true  # the prefix's first start is slower
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores; best of $runs"
echo "| patch | cabinet bytes | build s | build MB | menditcon apply s | apply peak MB |"
echo "|---|---:|---:|---:|---:|---:|"
for kind in block best; do
  best=999 peak=0
  for _ in $(seq "$runs"); do
    rm -rf target && cp -rp old target
    (cd "$kind" && /usr/bin/time -f "%e %M" -o "../apply.time" "$root/scripts/wine-run" "$con" \
      -target "$(winpath "$work/target/APP.EXE")" MENDIT.MNI </dev/null >/dev/null 2>&1) || true
    cmp -s target/APP.EXE new/APP.EXE || echo "apply_compare.sh: the apply of $kind is wrong" >&2
    read -r s kb <apply.time
    best=$(echo "if ($s < $best) $s else $best" | bc)
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  read -r bs bkb <"build.$kind"
  printf '| %s | %s | %s | %d | %.2f | %d |\n' "$kind" "$(stat -c %s "$kind/PATCH.CAB")" "$bs" $((bkb / 1024)) "$best" $((peak / 1024))
done
