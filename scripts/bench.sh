#!/usr/bin/env bash
# Runs every benchmark program (names ending in _bench) of the native and the Windows
# build and prints their figures. Usage: bench.sh NATIVE_BUILD WINDOWS_BUILD (win32 or win64)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Absolute trees: each benchmark runs from its own folder.
native=$(cd "$1" && pwd) && windows=$(cd "$2" && pwd) || exit 1
status=0
for exe in $(find "$native" -type f -perm -u+x -name '*_bench' | sort); do
  echo "== native $(basename "$exe")"
  (cd "$(dirname "$exe")" && "$exe") || status=1
done
for exe in $(find "$windows" -type f -name '*_bench.exe' | sort); do
  echo "== $(basename "$windows") $(basename "$exe")"
  (cd "$(dirname "$exe")" && "$root/scripts/wine-run" "$exe") || status=1
done
exit $status
