#!/usr/bin/env bash
# Compares the patch builder with xdelta3 and bsdiff on the corpus of fetch_corpus.sh.
#
# Usage: compare.sh [WIN32_BUILD] [CORPUS_DIR]
#   WIN32_BUILD  the MinGW build tree holding menditwiz.exe, menditcon.exe and
#                menditwiz_bench.exe (default the Windows tree this host runs)
#
# For each pair, one row:
#   cabinet     size of the cabinet menditwiz.exe writes (one modify or copy record, MSZIP)
#   build s     wall time of menditwiz.exe under Wine: listing, encoding, cabinet, the
#               self-verification (extraction and a full application) and Wine's start
#   encode s    the delta encoder alone (menditwiz_bench.exe, same Windows build, under Wine)
#   peak MB     peak working set of that encoding process
#   apply s     the delta applied in memory by the engine's decoder (same process)
#   xdelta3     size and time of xdelta3 -e -9 -S djw; bsdiff: size and time of bsdiff
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/$("$root/scripts/wine-host" --notice)}
corpus=${2:-$root/build/bench-corpus/menditwiz}
wine="$root/scripts/wine-run"
export TZ=UTC
for tool in xdelta3 bsdiff; do
  command -v $tool >/dev/null || { echo "compare.sh: $tool missing; run fetch_corpus.sh"; exit 1; }
done
wiz=$build/menditwiz/menditwiz.exe
bench=$build/bench/menditwiz/menditwiz_bench.exe
[ -x "$wiz" ] && [ -f "$bench" ] || { echo "compare.sh: build $wiz and $bench first (make windows; cmake --build $build --target menditwiz_bench)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds() { date +%s.%N; }
winpath() { echo "Z:${1//\//\\}"; }

printf '| pair | old bytes | new bytes | our cabinet | xdelta3 -9 -S djw | bsdiff | encode s | xdelta3 s | bsdiff s | menditwiz.exe s | peak MB | apply s |\n'
printf '|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n'
for dir in "$corpus"/*/; do
  name=$(basename "$dir")
  [ -f "$dir/old" ] && [ -f "$dir/new" ] || continue
  rm -rf "$work"/*
  mkdir -p "$work/old" "$work/new" "$work/out"
  # The file is the release's main executable; both get one date/time so that only the
  # content decides the record.
  cp "$dir/old" "$work/old/MAIN.EXE"
  cp "$dir/new" "$work/new/MAIN.EXE"
  touch -d '2020-01-01 12:00' "$work/old/MAIN.EXE"
  touch -d '2020-02-01 12:00' "$work/new/MAIN.EXE"

  t0=$(seconds)
  "$wine" "$wiz" -q "$(winpath "$work/old")" "$(winpath "$work/new")" MAIN.EXE '&PROGRAMS&\APP' "$(winpath "$work/out")" >"$work/wiz.log" 2>&1
  status=$?
  t1=$(seconds)
  if [ $status != 0 ]; then
    echo "| $name | menditwiz.exe failed with $status: $(tail -2 "$work/wiz.log" | tr '\n' ' ') |"
    continue
  fi
  cabinet=$(stat -c %s "$work/out/PATCH.CAB")

  line=$("$wine" "$bench" "$(winpath "$dir/old")" "$(winpath "$dir/new")" | tr -d '\r')
  encode=$(echo "$line" | sed -n 's/.*encode *\([0-9.]*\) ms.*/\1/p')
  peak=$(echo "$line" | sed -n 's/.*peak *\([0-9]*\) KB.*/\1/p')
  apply=$(echo "$line" | sed -n 's/.*apply *\([0-9.]*\) ms.*/\1/p')

  t2=$(seconds)
  xdelta3 -e -9 -S djw -f -s "$dir/old" "$dir/new" "$work/x.vcdiff"
  t3=$(seconds)
  bsdiff "$dir/old" "$dir/new" "$work/b.patch"
  t4=$(seconds)
  printf '| %s | %d | %d | %d | %d | %d | %.2f | %.2f | %.2f | %.1f | %.0f | %.3f |\n' \
    "$name" "$(stat -c %s "$dir/old")" "$(stat -c %s "$dir/new")" "$cabinet" \
    "$(stat -c %s "$work/x.vcdiff")" "$(stat -c %s "$work/b.patch")" \
    "$(echo "$encode / 1000" | bc -l)" "$(echo "$t3 - $t2" | bc -l)" "$(echo "$t4 - $t3" | bc -l)" \
    "$(echo "$t1 - $t0" | bc -l)" "$(echo "$peak / 1024" | bc -l)" "$(echo "$apply / 1000" | bc -l)"
done
