#!/usr/bin/env bash
# Idempotent machine set-up for building and testing on Debian:
# installs what is missing and prepares the Wine prefix under build/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

# Both cross compilers: the 32-bit product, and the 64-bit build that hosts without 32-bit
# support test instead. wine32 installs on such hosts too; it just cannot start there.
packages=(cmake ninja-build make g++ clang libclang-rt-14-dev
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
          zlib1g-dev libz-mingw-w64-dev libmspack-dev
          wine wine32:i386 wine64 xvfb imagemagick googletest cabextract xdotool x11-utils python3 ccache)
for p in "${packages[@]}"; do have "$p" || need+=("$p"); done

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo_cmd dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# One Wine prefix per build tree; creating it takes a while, later starts are fast. It is made
# by the 64-bit loader, which runs on every x86-64 host: a 64-bit prefix runs 64-bit programs
# and, where the host runs 32-bit processes, 32-bit ones beside them.
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "setup: creating Wine prefix in $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64 wineboot.exe -i >/dev/null 2>&1 || true
  wineserver -w || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "setup: the Wine prefix could not be created in $WINEPREFIX" >&2
    exit 1
  fi
fi
# Which Windows build this host runs (asked once here, kept for the later commands).
rm -f "$root/build/wine-host"
echo "setup: this host runs the $("$root/scripts/wine-host") Windows build"
echo "setup: ready"
