#!/usr/bin/env bash
# Compares the patch builder with xdelta3 and bsdiff on the corpus of fetch_corpus.sh.
#
# Usage: compare.sh [WINDOWS_BUILD] [CORPUS_DIR]
#   WINDOWS_BUILD  the MinGW build tree holding menditwiz.exe, menditcon.exe and
#                  delta_bench.exe (default the Windows tree this host runs)
#
# For each pair, one row:
#   MSZIP, LZX    size of the cabinet menditwiz.exe writes with -compress mszip and with
#                 -compress lzx (the default); one modify record
#   build s       wall time of menditwiz.exe (LZX) under Wine: listing, encoding, the cabinet,
#                 the self-verification (extraction and a full application) and Wine's start
#   peak MB       peak resident memory of that menditwiz.exe process (Wine's own included)
#   encode s      the delta encoder alone (delta_bench.exe, same Windows build, under Wine)
#   apply s       menditcon.exe applying the LZX patch to a copy of the old file under Wine:
#                 extraction through the system cabinet library and patching, the same
#                 installation run as mendit's "Install patch"
#   xdelta3       size and time of xdelta3 -e -9 -S djw, and of xdelta3 -d; bsdiff: size and time
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/$("$root/scripts/wine-host" --notice)}
# Absolute: the programs are started from inside the work folders.
build=$(cd "$build" && pwd) || exit 1
corpus=${2:-$root/build/bench-corpus/menditwiz}
wine="$root/scripts/wine-run"
export TZ=UTC
for tool in xdelta3 bsdiff /usr/bin/time; do
  command -v $tool >/dev/null || { echo "compare.sh: $tool missing; run fetch_corpus.sh"; exit 1; }
done
wiz=$build/menditwiz/menditwiz.exe
con=$build/menditcon/menditcon.exe
bench=$build/bench/delta/delta_bench.exe
[ -x "$wiz" ] && [ -x "$con" ] && [ -f "$bench" ] || {
  echo "compare.sh: build $wiz, $con and $bench first (make win32; cmake --build $build --target delta_bench)"
  exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds() { date +%s.%N; }
winpath() { echo "Z:${1//\//\\}"; }
elapsed() { echo "$2 - $1" | bc -l; }

printf '| pair | old bytes | new bytes | MSZIP cabinet | LZX cabinet | LZX/MSZIP | xdelta3 -9 -S djw | bsdiff | menditwiz.exe s | xdelta3 -e s | bsdiff s | peak MB | encode s | menditcon apply s | xdelta3 -d s |\n'
printf '|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n'
for dir in "$corpus"/*/; do
  name=$(basename "$dir")
  [ -f "$dir/old" ] && [ -f "$dir/new" ] || continue
  rm -rf "$work"/*
  mkdir -p "$work/old" "$work/new" "$work/target"
  # The file is the release's main executable; both get one date/time so that only the
  # content decides the record.
  cp "$dir/old" "$work/old/MAIN.EXE"
  cp "$dir/new" "$work/new/MAIN.EXE"
  touch -d '2020-01-01 12:00' "$work/old/MAIN.EXE"
  touch -d '2020-02-01 12:00' "$work/new/MAIN.EXE"

  failed=""
  for method in mszip lzx; do
    t0=$(seconds)
    /usr/bin/time -f '%M' -o "$work/$method.rss" "$wine" "$wiz" -q -compress $method "$(winpath "$work/old")" \
      "$(winpath "$work/new")" MAIN.EXE '&PROGRAMS&\APP' "$(winpath "$work/out-$method")" >"$work/$method.log" 2>&1
    status=$?
    t1=$(seconds)
    [ $status = 0 ] || failed="menditwiz.exe -compress $method failed with $status: $(tail -2 "$work/$method.log" | tr '\n' ' ')"
  done
  if [ -n "$failed" ]; then
    echo "| $name | $failed |"
    continue
  fi
  build_s=$(elapsed "$t0" "$t1")
  peak=$(tail -1 "$work/lzx.rss")
  mszip=$(stat -c %s "$work/out-mszip/PATCH.CAB")
  lzx=$(stat -c %s "$work/out-lzx/PATCH.CAB")

  # The LZX patch applied by the console applier, as mendit applies it.
  cp -p "$work/old/MAIN.EXE" "$work/target/MAIN.EXE"
  t0=$(seconds)
  (cd "$work/out-lzx" && "$wine" "$con" -target "$(winpath "$work/target/MAIN.EXE")" MENDIT.MNI >"$work/apply.log" 2>&1)
  status=$?
  t1=$(seconds)
  apply_s=$(printf '%.2f' "$(elapsed "$t0" "$t1")")
  if [ $status != 0 ] || ! cmp -s "$work/target/MAIN.EXE" "$work/new/MAIN.EXE"; then
    apply_s="failed ($status)"
  fi

  line=$("$wine" "$bench" "$(winpath "$dir/old")" "$(winpath "$dir/new")" | tr -d '\r')
  encode=$(echo "$line" | sed -n 's/.*encode *\([0-9.]*\) ms.*/\1/p')

  t2=$(seconds)
  xdelta3 -e -9 -S djw -f -s "$dir/old" "$dir/new" "$work/x.vcdiff"
  t3=$(seconds)
  bsdiff "$dir/old" "$dir/new" "$work/b.patch"
  t4=$(seconds)
  xdelta3 -d -f -s "$dir/old" "$work/x.vcdiff" "$work/x.out"
  t5=$(seconds)
  printf '| %s | %d | %d | %d | %d | %.2f | %d | %d | %.1f | %.2f | %.2f | %.0f | %.2f | %s | %.2f |\n' \
    "$name" "$(stat -c %s "$dir/old")" "$(stat -c %s "$dir/new")" "$mszip" "$lzx" \
    "$(echo "$lzx / $mszip" | bc -l)" "$(stat -c %s "$work/x.vcdiff")" "$(stat -c %s "$work/b.patch")" \
    "$build_s" "$(elapsed "$t2" "$t3")" "$(elapsed "$t3" "$t4")" "$(echo "$peak / 1024" | bc -l)" \
    "$(echo "$encode / 1000" | bc -l)" "$apply_s" "$(elapsed "$t4" "$t5")"
done
