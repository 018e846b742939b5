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

set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
  wineserver -w
}
for dpi in 96 144; do
  set_dpi "$dpi"
  shots="$build/dpi-screenshots/$dpi"
  mkdir -p "$shots"
  (cd "$build/mendit/tests" &&
   wine ./mendit_e2e_test.exe --gtest_filter='*CopyModifyAndDelete*:*WarningsAndErrors*' >/dev/null 2>&1
   cp screenshots/mendit_after_run.png screenshots/mendit_row_kinds.png "$shots/")
  (cd "$build/showdisk/tests" &&
   wine ./showdisk_e2e_test.exe --gtest_filter='*HoverInvertsExactly*' >/dev/null 2>&1
   cp screenshots/highlight.png "$shots/showdisk_highlight.png")
  echo "dpi-screenshots: $shots"
done
set_dpi 96
