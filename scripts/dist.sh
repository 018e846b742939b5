#!/usr/bin/env bash
# Builds the release zip: the five 32-bit programs, the Linux menditwiz for build servers
# (menditwiz-linux-x86_64), the README, a sample description file and
# SHA256SUMS, as mendit-<version>-win32.zip. The same commit gives the same bytes:
#   - the programs are linked without a time stamp in their PE headers;
#   - the zip's entries are sorted, carry the time of SOURCE_DATE_EPOCH (default: the time of
#     the last commit) and fixed attributes.
# Usage: scripts/dist.sh [BUILD_DIR] [OUT_DIR]   (defaults build/dist and build)
#
# Signing: with SIGN_PFX (a PKCS#12 file holding the code-signing key and its certificate
# chain) and SIGN_PASS (its password) in the environment, each program is signed with
# osslsigncode (Authenticode, SHA-256) before SHA256SUMS is made and the zip written. The
# signing time is SOURCE_DATE_EPOCH, so a signed zip too is the same for the same commit and
# key; with SIGN_TIMESTAMP_URL (an RFC 3161 time-stamp server) each signature is time-stamped
# instead, and the signed programs differ from run to run. Without SIGN_PFX nothing is signed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/dist}
out=${2:-$root/build}
mkdir -p "$build" "$out"
build=$(cd "$build" && pwd)
out=$(cd "$out" && pwd)

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH

# The version of the release is mendit's (its manifest and version resource agree on it).
version=$(sed -n 's/.*<assemblyIdentity type="win32" name="Tarvel.mendit" version="\([0-9.]*\)".*/\1/p' \
  "$root/mendit/mendit.manifest")
[ -n "$version" ] || { echo "dist: no version in mendit/mendit.manifest" >&2; exit 1; }

programs=(mendit showdisk indexwright menditwiz menditcon)
# A tree of its own, compiled as the win32 tree is (Release: no debug information, no
# assertions, so no source paths in the code), linked without a PE time stamp and stripped.
# The Release link flags come on top of the toolchain's (static runtime); setting
# CMAKE_EXE_LINKER_FLAGS itself would replace those and leave the programs needing MinGW DLLs.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_EXE_LINKER_FLAGS_RELEASE="-Wl,--no-insert-timestamp -s" >/dev/null
cmake --build "$build" --target "${programs[@]}" -j "${JOBS:-2}"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
name=mendit-$version-win32
mkdir "$stage/$name"
for p in "${programs[@]}"; do
  exe=$(find "$build" -name "$p.exe" -not -path '*/CMakeFiles/*' | head -1)
  [ -n "$exe" ] || { echo "dist: $p.exe was not built" >&2; exit 1; }
  cp "$exe" "$stage/$name/$p.exe"
done
if [ -n "${SIGN_PFX:-}" ]; then
  command -v osslsigncode >/dev/null || { echo "dist: osslsigncode is missing (scripts/setup.sh installs it)" >&2; exit 1; }
  [ -f "$SIGN_PFX" ] || { echo "dist: SIGN_PFX names no file: $SIGN_PFX" >&2; exit 1; }
  # The password goes through a file only this user reads, not through the command line.
  (umask 077 && printf '%s' "${SIGN_PASS:-}" >"$stage/sign-pass")
  sign_args=(-pkcs12 "$SIGN_PFX" -readpass "$stage/sign-pass" -h sha256 -n "$name")
  if [ -n "${SIGN_TIMESTAMP_URL:-}" ]; then
    sign_args+=(-ts "$SIGN_TIMESTAMP_URL")
  else
    sign_args+=(-time "$SOURCE_DATE_EPOCH")
  fi
  for p in "${programs[@]}"; do
    osslsigncode sign "${sign_args[@]}" -in "$stage/$name/$p.exe" -out "$stage/$p.signed" >"$stage/sign.log" 2>&1 ||
      { echo "dist: signing $p.exe failed:" >&2; cat "$stage/sign.log" >&2; exit 1; }
    mv "$stage/$p.signed" "$stage/$name/$p.exe"
  done
  rm -f "$stage/sign-pass" "$stage/sign.log"
  echo "dist: signed the programs with $SIGN_PFX"
fi
# The Linux menditwiz for build servers, optimised and stripped, from a tree of its own; the
# source folder is mapped away so that two trees give the same bytes.
linux_build="$build-linux"
cmake -S "$root" -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$root=. -ffile-prefix-map=$linux_build=." \
  -DCMAKE_C_FLAGS="-ffile-prefix-map=$root=. -ffile-prefix-map=$linux_build=." \
  -DCMAKE_EXE_LINKER_FLAGS_RELEASE="-s" >/dev/null
cmake --build "$linux_build" --target menditwiz -j "${JOBS:-2}"
cp "$linux_build/menditwiz/menditwiz" "$stage/$name/menditwiz-linux-x86_64"
cp "$root/README.md" "$stage/$name/README.md"
cp "$root/samples/MENDIT.MNI" "$stage/$name/MENDIT.MNI"
# The user guide travels with CR LF line ends, for Notepad.
sed 's/$/\r/' "$root/samples/USER-GUIDE.TXT" >"$stage/$name/USER-GUIDE.TXT"
files=$(cd "$stage/$name" && LC_ALL=C ls)
(cd "$stage/$name" && sha256sum $files > SHA256SUMS)

python3 - "$stage" "$name" "$out/$name.zip" <<'PY'
import os, sys, time, zipfile
stage, name, target = sys.argv[1:]
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
files = sorted(os.listdir(os.path.join(stage, name)))
with zipfile.ZipFile(target + ".tmp", "w") as archive:
    for entry in [name + "/"] + [name + "/" + f for f in files]:
        info = zipfile.ZipInfo(entry, stamp)
        info.create_system = 0
        if entry.endswith("/"):
            info.external_attr = 0x10
            archive.writestr(info, b"")
        else:
            if entry.endswith("-linux-x86_64"):
                info.create_system = 3  # Unix: keep the program's execute bits
                info.external_attr = 0o100755 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(stage, entry), "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)
os.replace(target + ".tmp", target)
PY
echo "dist: $out/$name.zip"
(cd "$stage/$name" && cat SHA256SUMS)
