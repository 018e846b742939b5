#!/usr/bin/env bash
# Screenshots of mendit (log rows of every kind, progress bar) and showdisk (picture with one
# item highlighted) at 96 and 144 DPI, to see how the windows scale. Wine takes the DPI from
# HKCU\Control Panel\Desktop\LogPixels; the prefix is set back to 96 afterwards.
# Run on a display: scripts/with-xvfb scripts/dpi-screenshots.sh [WIN32_BUILD_DIR]
# Pictures: WIN32_BUILD_DIR/dpi-screenshots/<dpi>/.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win32}" && pwd)
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}" WINEDEBUG=-all TZ=UTC
cmake --build "$build" --target mendit_e2e_test showdisk_e2e_test >/dev/null || exit 1

# Every step must work: a registry change that did not take would give two sets of pictures at
# one DPI, and a test that failed would leave last run's pictures to be copied.
fail() { echo "dpi-screenshots: $*" >&2; exit 1; }

set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null ||
    fail "cannot set LogPixels to $1"
  wineserver -w
  wine reg query 'HKCU\Control Panel\Desktop' /v LogPixels 2>/dev/null | tr -d '\r' |
    grep -qiE "LogPixels[[:space:]]+REG_DWORD[[:space:]]+0x0*$(printf '%x' "$1")\b" ||
    fail "LogPixels did not change to $1"
}
trap 'set_dpi 96 >/dev/null 2>&1' EXIT
for dpi in 96 144; do
  set_dpi "$dpi"
  shots="$build/dpi-screenshots/$dpi"
  mkdir -p "$shots"
  (cd "$build/mendit/tests" && rm -f screenshots/mendit_after_run.png screenshots/mendit_row_kinds.png &&
   wine ./mendit_e2e_test.exe --gtest_filter='*CopyModifyAndDelete*:*WarningsAndErrors*' >/dev/null 2>&1 &&
   cp screenshots/mendit_after_run.png screenshots/mendit_row_kinds.png "$shots/") ||
    fail "the mendit pictures at $dpi DPI could not be taken"
  (cd "$build/showdisk/tests" && rm -f screenshots/highlight.png &&
   wine ./showdisk_e2e_test.exe --gtest_filter='*HoverInvertsExactly*' >/dev/null 2>&1 &&
   cp screenshots/highlight.png "$shots/showdisk_highlight.png") ||
    fail "the showdisk picture at $dpi DPI could not be taken"
  echo "dpi-screenshots: $shots"
done
