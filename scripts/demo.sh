#!/usr/bin/env bash
# The main job: patch the sample application "Tarvel Notes" from release 1.0 to 1.1 with mendit.
#
#   1. sample_patch_maker writes release 1.0 (as a user has it installed) and release 1.1 of
#      the sample application, and the patch between them: a cabinet made with the cabinet
#      binding's building side and a description file for mendit.
#   2. mendit.exe starts under Wine with that description file: on your display when DISPLAY
#      is set (press "Install patch", "Yes" when it asks about the changed NOTES.INI, then
#      "Quit"); otherwise on a virtual display, where demo_driver presses "Install patch" and
#      "Yes", prints the log and saves a screenshot.
#   3. sample_patch_maker compares the installed copy with release 1.1.
#   4. showdisk, the disc launcher, over a sample disc (scripts/demo-launcher.sh).
#
# Usage: scripts/demo.sh BUILD_TREE (the Windows tree this host runs; make demo passes it)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: demo.sh BUILD_TREE}" && pwd)
mendit=$build/mendit/mendit.exe
maker=$build/samples/sample_patch_maker.exe
driver=$build/samples/demo_driver.exe
demo=$build/demo

for program in "$mendit" "$maker" "$driver"; do
  if [ ! -f "$program" ]; then
    echo "demo: $program was not built (is every library of mendit in the tree yet?)" >&2
    exit 1
  fi
done

# Without a display, the whole demo runs on a virtual one: every Wine program of a session
# must see the same display, or the first one started decides for the rest.
if [ -z "${DISPLAY:-}" ] && [ -z "${DEMO_VIRTUAL:-}" ]; then
  echo "demo: no DISPLAY; running mendit on a virtual display"
  DEMO_VIRTUAL=1 exec "$root/scripts/with-xvfb" bash "$0" "$build"
fi

# Wine sees the Unix root as drive Z:.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
wine_run() { "$root/scripts/wine-run" "$@"; }

rm -rf "$demo"
mkdir -p "$demo"
echo "demo: making the sample application and its patch in $demo"
wine_run "$maker" make "$(winpath "$demo")"
description="$(winpath "$demo")\\PATCH\\NOTES.MNI"

if [ -z "${DEMO_VIRTUAL:-}" ]; then
  echo "demo: starting mendit on your display ($DISPLAY)."
  echo "demo: press \"Install patch\", watch the log, then press \"Quit\"."
  wine_run "$mendit" "$description" || true
else
  shot=$demo/mendit-demo.png
  wine_run "$driver" "$(winpath "$mendit")" "$description" \
    "$(winpath "$shot")"
  echo "demo: screenshot of the window after the run: $shot"
fi

echo "demo: checking $demo/INSTALLED against release 1.1"
wine_run "$maker" verify "$(winpath "$demo")"
echo "demo: backups of modified files (*.\$\$\$) are beside them in $demo/INSTALLED"

# The disc launcher over a sample disc: interactive on your display (after mendit is closed),
# a screenshot on the virtual one.
bash "$root/scripts/demo-launcher.sh" "$build"
