#!/usr/bin/env bash
# `-delta best` against HDiffPatch and bsdiff on whole release pairs: wall time, CPU time and
# peak memory of each whole process, run one after the other on the same pair, and the size
# of what each writes.
#
# Usage: speed.sh MENDITWIZ OLD_FOLDER NEW_FOLDER MAIN_FILE [HDIFFZ]
#   MENDITWIZ   the Linux menditwiz (build/release) or menditwiz.exe (started through
#               scripts/wine-run)
#   MAIN_FILE   the changed file the peers diff (a name inside both folders)
#   HDIFFZ      HDiffPatch's hdiffz, built outside the project (skipped when not given);
#               run as `hdiffz -m-6 -SD -c-lzma2-9-16m`. bsdiff runs when installed.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
wiz=$1 old=$(cd "$2" && pwd) new=$(cd "$3" && pwd) main=$4 hdiffz=${5:-}
export TZ=UTC WINEDEBUG=-all
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() {  # label, output file, command...
  local label=$1 out=$2
  shift 2
  /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >"$work/log" 2>&1 || { echo "$label failed:"; tail -5 "$work/log"; return; }
  read -r wall user sys peak <"$work/time"
  printf '| %s | %s | %.1f | %.1f | %d |\n' "$label" "$(stat -c %s "$out")" "$wall" "$(echo "$user + $sys" | bc)" $((peak / 1024))
}
echo "| tool | bytes | wall s | CPU s | peak MB |"
echo "|---|---:|---:|---:|---:|"
# The Windows build takes Windows paths: the Unix root is drive Z: under Wine.
path() { case $wiz in *.exe) local p="Z:$1"; echo "${p//\//\\}" ;; *) echo "$1" ;; esac; }
case $wiz in
  *.exe) launcher=("$root/scripts/wine-run" "$wiz") ;;
  *) launcher=("$wiz") ;;
esac
run "menditwiz -delta best (LZX cabinet)" "$work/out/PATCH.CAB" "${launcher[@]}" "$(path "$old")" "$(path "$new")" "$main" 'X' \
  "$(path "$work/out")" -delta best -q
[ -n "$hdiffz" ] && run "hdiffz -m-6 -SD -c-lzma2-9-16m" "$work/patch.hdiff" "$hdiffz" -m-6 -SD -c-lzma2-9-16m "$old/$main" "$new/$main" "$work/patch.hdiff"
command -v bsdiff >/dev/null && run "bsdiff" "$work/patch.bsdiff" bsdiff "$old/$main" "$new/$main" "$work/patch.bsdiff"
