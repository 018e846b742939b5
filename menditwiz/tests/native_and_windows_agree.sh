#!/usr/bin/env bash
# The Linux build of menditwiz and the Windows build (under Wine) given the same command
# line and the same release folders: same exit code, and for a built patch the same cabinet
# and description file, byte for byte.
#
# Usage: native_and_windows_agree.sh NATIVE_MENDITWIZ WINDOWS_MENDITWIZ_EXE
# Exits 77 (skipped) when the native program has not been built.
set -u
native=$(realpath -m "$1")
windows=$(realpath -m "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)
[ -x "$native" ] || { echo "no native menditwiz at $native: skipped"; exit 77; }
export TZ=UTC
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Two releases: a changed program, a changed and a new file in subfolders of other spelling,
# a deleted file, an unchanged one; some content compressible, some not.
mkdir -p old/Bin old/DOCS new/bin new/Data/Lang
head -c 400000 /dev/urandom >old/APP.EXE
{ head -c 150000 old/APP.EXE; printf 'new code'; tail -c +150001 old/APP.EXE; } >new/app.exe
seq 1 40000 >old/Bin/core.dll
{ seq 1 20000; echo changed; seq 20001 40000; } >new/bin/CORE.DLL
seq 5 7 90000 >new/Data/Lang/pl.dat
echo gone >old/DOCS/OLD.TXT
cp -r old/DOCS new/
echo same >old/same.txt && cp old/same.txt new/same.txt
# Names beyond ASCII: the patch carries them in Windows-1252 whichever build wrote it.
printf 'menu\n' >"$(printf 'old/caf\xc3\xa9.txt')" && printf 'menu du jour\n' >"$(printf 'new/CAF\xc3\xa9.TXT')"
printf 'euro\n' >"$(printf 'new/Data/\xe2\x82\xac.dat')"
touch -d '2004-06-07 08:00' old/caf* old/APP.EXE old/Bin/core.dll old/DOCS/OLD.TXT old/same.txt new/same.txt
touch -d '2004-06-08 19:15:20' new/CAF* new/Data/*.dat new/app.exe new/bin/CORE.DLL new/Data/Lang/pl.dat new/DOCS/OLD.TXT
rm new/DOCS/OLD.TXT

failures=0
# run NAME ARGS...: both programs with ARGS, output folders out-NAME-native and out-NAME-windows
# (ARGS name the output folder as OUT).
run() {
  local name=$1
  shift
  local args=("$@") native_args windows_args
  native_args=("${args[@]//OUT/out-$name-native}")
  windows_args=("${args[@]//OUT/out-$name-windows}")
  "$native" -q "${native_args[@]}" >"$name-native.log" 2>&1
  local native_status=$?
  "$root/scripts/wine-run" "$windows" -q "${windows_args[@]}" >"$name-windows.log" 2>&1
  local windows_status=$?
  if [ "$native_status" != "$windows_status" ]; then
    echo "FAIL $name: exit $native_status natively, $windows_status under Wine"
    cat "$name-native.log" "$name-windows.log"
    failures=$((failures + 1))
    return
  fi
  for file in PATCH.CAB MENDIT.MNI SELF.EXE; do
    if [ -e "out-$name-native/$file" ] || [ -e "out-$name-windows/$file" ]; then
      if ! cmp -s "out-$name-native/$file" "out-$name-windows/$file"; then
        echo "FAIL $name: $file differs"
        failures=$((failures + 1))
      fi
    fi
  done
  echo "ok   $name: exit $native_status"
}

run lzx old new APP.EXE '&PROGRAMS&\APP' OUT
run mszip -compress mszip old new APP.EXE '&PROGRAMS&\APP' OUT
run same-releases old old APP.EXE '&PROGRAMS&\APP' OUT
run missing-folder old nowhere APP.EXE '&PROGRAMS&\APP' OUT
run no-main-exe old new MISSING.EXE '&PROGRAMS&\APP' OUT
run usage old new APP.EXE
# A name Windows-1252 cannot hold is refused by both builds, before anything is written.
cp -r new wide && printf 'x\n' >"$(printf 'wide/\xe6\x97\xa5.txt')"
run unheld-name old wide APP.EXE '&PROGRAMS&\APP' OUT
grep -q "cannot hold" unheld-name-native.log || { echo "FAIL unheld-name: no reason given"; cat unheld-name-native.log; failures=$((failures + 1)); }
run bad-compression -compress zip old new APP.EXE '&PROGRAMS&\APP' OUT
# The self-applying program, its version resource written by either build, is the same too.
cp "$(dirname "$windows")/../mendit/mendit.exe" STUB.EXE
run exe old new APP.EXE '&PROGRAMS&\APP' OUT -exe SELF.EXE -stub STUB.EXE -product Tool -version 2.0 -publisher 'Tarvel Ltd'
[ -f out-exe-native/SELF.EXE ] || { echo "FAIL exe: no program was written"; failures=$((failures + 1)); }
[ -f out-lzx-native/PATCH.CAB ] || { echo "FAIL: no patch was built"; failures=$((failures + 1)); }
echo "$(( 9 - failures < 0 ? 0 : 9 - failures )) passed, $failures failed"
[ "$failures" = 0 ]
