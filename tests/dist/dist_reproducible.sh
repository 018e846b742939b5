#!/usr/bin/env bash
# make dist twice, in two build trees, must give the same zip byte for byte; the zip holds
# what a vendor ships, its SHA256SUMS hold, and no program carries a link time stamp. Then,
# on the first tree again, a release signed with a throwaway key: each program's signature
# verifies, and signing twice gives the same zip too.
# Usage: dist_reproducible.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
export SOURCE_DATE_EPOCH=1700000000
bash "$src/scripts/dist.sh" "$work/tree-a" "$work/a" >/dev/null
bash "$src/scripts/dist.sh" "$work/tree-b" "$work/b" >/dev/null
zip=$(cd "$work/a" && ls mendit-*-win32.zip)
cmp "$work/a/$zip" "$work/b/$zip"
echo "same bytes: $zip"

mkdir "$work/unpacked"
python3 - "$work/a/$zip" "$work/unpacked" <<'PY'
import struct, sys, zipfile
archive = zipfile.ZipFile(sys.argv[1])
name = sys.argv[1].rsplit("/", 1)[1][:-4]
want = sorted([name + "/"] + [name + "/" + f for f in
       ["README.md", "MENDIT.MNI", "USER-GUIDE.TXT", "SHA256SUMS", "mendit.exe", "showdisk.exe", "indexwright.exe",
        "menditwiz.exe", "menditcon.exe", "menditwiz-linux-x86_64"]])
got = archive.namelist()
assert got == want, got
for info in archive.infolist():
    assert info.date_time == (2023, 11, 14, 22, 13, 20), (info.filename, info.date_time)
    if info.filename.endswith(".exe"):
        data = archive.read(info)
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe:pe + 4] == b"PE\0\0", info.filename
        assert struct.unpack_from("<I", data, pe + 8)[0] == 0, info.filename + " has a link time stamp"
        # IMAGE_FILE_LARGE_ADDRESS_AWARE: up to 4 GB of address space on 64-bit Windows.
        assert struct.unpack_from("<H", data, pe + 22)[0] & 0x20, info.filename + " is not large-address-aware"
    if info.filename.endswith("-linux-x86_64"):
        assert archive.read(info)[:4] == b"\x7fELF", info.filename
        assert (info.external_attr >> 16) & 0o111, info.filename + " is not executable"
archive.extractall(sys.argv[2])
PY
(cd "$work/unpacked/${zip%.zip}" && sha256sum --quiet -c SHA256SUMS)
# Each program stands on its own: no MinGW runtime DLL (lib*.dll) among its imports.
for exe in "$work/unpacked/${zip%.zip}"/*.exe; do
  if i686-w64-mingw32-objdump -p "$exe" | grep -i "DLL Name: lib"; then
    echo "$exe needs a MinGW runtime DLL" >&2
    exit 1
  fi
done
echo "contents, dates, PE stamps, SHA256SUMS and imports as expected"

mkdir "$work/signer"
bash "$src/tests/support/test_signer.sh" "$work/signer"
for run in c d; do
  SIGN_PFX="$work/signer/signer.pfx" SIGN_PASS=test bash "$src/scripts/dist.sh" "$work/tree-a" "$work/$run" >/dev/null
done
cmp "$work/c/$zip" "$work/d/$zip"
mkdir "$work/signed"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$work/c/$zip" "$work/signed"
(cd "$work/signed/${zip%.zip}" && sha256sum --quiet -c SHA256SUMS)
for exe in "$work/signed/${zip%.zip}"/*.exe; do
  osslsigncode verify -CAfile "$work/signer/root.pem" -in "$exe" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log" >&2; echo "$exe: signature does not verify" >&2; exit 1; }
done
echo "signed release: every program verifies, same bytes twice"
