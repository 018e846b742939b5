#!/usr/bin/env bash
# Shows showdisk over a sample disc: builds the disc tree in BUILD/launcher-demo-disc and
# starts SHOWDISK.EXE from it under Wine. With DISPLAY set the launcher appears there and
# the script waits until it is closed ("Wyjście z programu" or Esc); without one it runs
# on a private virtual screen, takes a screenshot and ends it.
#
#   scripts/demo-launcher.sh [BUILD]     (BUILD: a Windows build tree, default the one this host runs)
#
# The installers on the sample disc are stand-ins that say in a message box that they
# were started; the Wirescope demo and the Internet shortcut are missing and the
# presentation has no viewer, so those items show the launcher's own error messages.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/$("$root/scripts/wine-host" --notice)}" && pwd)
launcher="$build/showdisk/showdisk.exe"
target="$build/showdisk/tests/disc_target.exe"
for f in "$launcher" "$target"; do
  [ -f "$f" ] || { echo "demo-launcher: $f is missing; build the Windows tree first (make windows)" >&2; exit 1; }
done

disc="$build/launcher-demo-disc"
rm -rf "$disc"
mkdir -p "$disc/VORNAX" "$disc/MENDIT" "$disc/WIN95/EN/PACKAGES" "$disc/PPV"
cp "$launcher" "$disc/SHOWDISK.EXE"
for t in VORNAX/SETUP.EXE MENDIT/SETUP.EXE WIN95/EN/PACKAGES/IE4SETUP.EXE PPV/PPView97.EXE; do
  cp "$target" "$disc/$t"
done
echo "VORNAX presentation (sample)" >"$disc/VORNAX.PPT"
echo "demo-launcher: sample disc in $disc"

export SHOWDISK_DEMO_TARGET=1
if [ -n "${DISPLAY:-}" ] && [ -z "${DEMO_VIRTUAL:-}" ]; then
  echo "demo-launcher: showdisk on $DISPLAY; close it with its exit item or Esc"
  cd "$disc" && exec "$root/scripts/wine-run" "$disc/SHOWDISK.EXE"
fi

# Snapshot mode: on the virtual display the caller already runs (DEMO_VIRTUAL, so that every
# Wine program of the session sees one display), or on a private one.
snapshot() {
  cd "$1"
  "$2/scripts/wine-run" "$1/SHOWDISK.EXE" 2>/dev/null &
  pid=$!
  for _ in $(seq 40); do
    xwininfo -root -tree 2>/dev/null | grep -q "Tarvel DEMO PACK" && break
    sleep 0.5
  done
  sleep 1
  import -window root "$3"
  # A Wine program does not end on SIGTERM; close its window with Esc, then make sure.
  xdotool search --name "Tarvel DEMO PACK" key Escape 2>/dev/null || true
  for _ in $(seq 10); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  true
}
shot="$build/launcher-demo.png"
if [ -n "${DISPLAY:-}" ]; then
  (snapshot "$disc" "$root" "$shot")
else
  export -f snapshot
  "$root/scripts/with-xvfb" bash -c 'snapshot "$@"' _ "$disc" "$root" "$shot"
fi
echo "demo-launcher: screenshot of the launcher in $shot"
