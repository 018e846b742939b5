#!/usr/bin/env bash
# Assembles the benchmark corpus of the patch builder: pairs of real released versions of the
# same file, taken from two versions of a Debian package that the archive offers side by side
# (a release and its security or point update). Nothing of it is committed.
#
# Usage: fetch_corpus.sh [CORPUS_DIR]   (default: build/bench-corpus/menditwiz in the repo)
# Also installs the tools the comparison needs: xdelta3, bsdiff.
#
# Each pair becomes CORPUS_DIR/NAME/{old,new} plus CORPUS_DIR/NAME/about.txt naming the
# package, both versions and the file. A package whose two versions are not both on offer
# is reported and left out: different builds of one version, or other architectures, are not
# release pairs.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
corpus=${1:-$root/build/bench-corpus/menditwiz}
mkdir -p "$corpus"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! command -v xdelta3 >/dev/null || ! command -v bsdiff >/dev/null; then
  apt-get update -qq >/dev/null 2>&1
  apt-get install -y -qq --no-install-recommends xdelta3 bsdiff >/dev/null
fi

# name | package | file inside the package (a path suffix)
pairs=(
  "grubx64.efi|grub-efi-amd64-signed|/grubx64.efi.signed"
  "systemd-bootx64.efi|systemd-boot-efi|/systemd-bootx64.efi"
  "linuxx64.efi.stub|systemd-boot-efi|/linuxx64.efi.stub"
  "OVMF_CODE_4M.fd|ovmf|/OVMF_CODE_4M.fd"
  "libjvm.so|openjdk-17-jre-headless|/server/libjvm.so"
  "libswlo.so|libreoffice-writer|/program/libswlo.so"
)

for entry in "${pairs[@]}"; do
  IFS='|' read -r name package suffix <<<"$entry"
  if [ -s "$corpus/$name/old" ] && [ -s "$corpus/$name/new" ]; then
    echo "have $name"
    continue
  fi
  mapfile -t versions < <(apt-cache madison "$package" | awk -F'|' '$3 ~ /amd64|all/ {gsub(/ /, "", $2); print $2}' | sort -u | sort -V)
  if [ "${#versions[@]}" -lt 2 ]; then
    echo "skip $name: only one version of $package is on offer (${versions[*]:-none})"
    continue
  fi
  old=${versions[-2]}
  new=${versions[-1]}
  ok=1
  for side in old new; do
    version=${!side}
    dir="$work/$name-$side"
    mkdir -p "$dir"
    (cd "$dir" && apt-get download -qq "$package=$version" >/dev/null 2>&1) || { ok=0; break; }
    dpkg-deb -x "$dir"/*.deb "$dir/x" || { ok=0; break; }
    file=$(find "$dir/x" -type f -path "*$suffix" | head -1)
    [ -n "$file" ] || { ok=0; break; }
    mkdir -p "$corpus/$name"
    cp "$file" "$corpus/$name/$side"
  done
  if [ $ok = 1 ]; then
    printf '%s\n%s %s -> %s\n%s\n' "$name" "$package" "$old" "$new" "$suffix" >"$corpus/$name/about.txt"
    echo "got $name: $package $old -> $new"
  else
    echo "skip $name: could not fetch $package $old and $new"
    rm -rf "${corpus:?}/$name"
  fi
  rm -rf "$work"/*
done
