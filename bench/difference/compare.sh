#!/usr/bin/env bash
# Our difference record against Debian's bsdiff on the builder's corpus of real release
# pairs (bench/menditwiz/fetch_corpus.sh fetches them and installs bsdiff): bsdiff's patch
# size, time and peak memory beside our record's size compressed by our LZX encoder (as the
# cabinet will hold it) and by bzip2 -9 (what bsdiff itself uses), and our encode time.
# Usage: compare.sh [BUILD_TREE]   a native tree with difference_bench and lzx_bench built,
#                                  default build/release (Release, no sanitizers)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tree=${1:-$root/build/release}
corpus=${MENDITWIZ_CORPUS:-$root/build/bench-corpus/menditwiz}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "| pair | new bytes | bsdiff | bsdiff s | bsdiff MB | record | record LZX | record bzip2 -9 | LZX/bsdiff | encode s | encode MB |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
for pair in "$corpus"/*/; do
  name=$(basename "$pair")
  [ -s "$pair/old" ] && [ -s "$pair/new" ] || continue
  /usr/bin/time -f "%e %M" -o "$work/time" bsdiff "$pair/old" "$pair/new" "$work/bsdiff" || continue
  read -r bs_s bs_kb <"$work/time"
  line=$("$tree/bench/difference/difference_bench" "$pair/old" "$pair/new" "$work/record" | tail -1)
  # | pair | old | new | entries | record | zlib | sa s | encode s | decode s | enc heap | dec heap | peak MB |
  encode_s=$(echo "$line" | awk -F'|' '{gsub(/ /,"",$9); print $9}')
  peak=$(echo "$line" | awk -F'|' '{gsub(/ /,"",$13); print $13}')
  lzx=$("$tree/bench/lzx/lzx_bench" "$work/record" | tail -1 | awk -F'|' '{gsub(/ /,"",$8); print $8}')
  bz=$(bzip2 -9 -c "$work/record" | wc -c)
  bsd=$(stat -c %s "$work/bsdiff")
  printf '| %s | %s | %s | %s | %d | %s | %s | %s | %.2f | %s | %s |\n' "$name" "$(stat -c %s "$pair/new")" \
    "$bsd" "$bs_s" $((bs_kb / 1024)) "$(stat -c %s "$work/record")" "$lzx" "$bz" \
    "$(echo "$lzx / $bsd" | bc -l)" "$encode_s" "$peak"
done
