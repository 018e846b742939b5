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

packages=(cmake ninja-build make g++ clang libclang-rt-14-dev g++-mingw-w64-i686 mingw-w64-tools
          wine wine32:i386 wine64 xvfb imagemagick googletest cabextract xdotool x11-utils
          zlib1g-dev libz-mingw-w64-dev libmspack-dev)
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

# One Wine prefix per build tree; creating it takes a while, later starts are fast.
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "setup: creating Wine prefix in $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
echo "setup: ready"
