#!/usr/bin/env bash
# Idempotent machine set-up for building and testing on Debian: installs what is missing and
# prepares the Wine prefix under build/.
#
# The 64-bit set (compilers, Wine's 64-bit part, Xvfb, libraries, tools) comes first and must
# install. The 32-bit Wine part is installed in a step of its own, and only where the kernel
# runs 32-bit processes: elsewhere it could not start anyway, and its package lists may not
# even be fetchable. Where that step fails, one line says why and which build this host runs.
# A package registry that answers badly is retried; set-up fails only when something this host
# needs is missing, and then names it. MENDIT_SKIP_WIN32=1 skips the 32-bit part on any host.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/setup-decide.sh

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }
missing_of() { local p; for p in "$@"; do have "$p" || echo "$p"; done; }

# One `apt-get update` that may fail part-way (one list out of sync with its release file):
# tried a few times, then set-up goes on with the lists it has.
updated=0
update_warned=0
update_lists() {
  [ "$updated" = 1 ] && return 0
  updated=1
  if ! retry 3 5 sh -c "$sudo_cmd apt-get update -qq >'$log' 2>&1" && [ "$update_warned" = 0 ]; then
    update_warned=1
    echo "setup: apt-get update failed ($(apt_reason "$log")); going on with the package lists at hand"
  fi
}

# Installs PACKAGES (after TRIES, a number), retrying through a registry that answers badly for
# a while (each retry fetches the lists again). Returns apt's status; its output is in $log.
install_packages() {
  local tries=$1 n=1
  shift
  while :; do
    $sudo_cmd apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1 && return 0
    [ "$n" -ge "$tries" ] && return 1
    n=$((n + 1))
    sleep 10
    updated=0
    update_lists
  done
}

# Both cross compilers: the 32-bit product, and the 64-bit build that hosts without 32-bit
# support run instead.
packages=(cmake ninja-build make g++ clang libclang-rt-14-dev
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
          zlib1g-dev libz-mingw-w64-dev libmspack-dev nettle-dev libdivsufsort-dev bsdiff
          wine wine64 xvfb imagemagick googletest cabextract xdotool x11-utils python3 ccache
          osslsigncode openssl)
mapfile -t need < <(missing_of "${packages[@]}")
if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  update_lists
  if ! install_packages 4 "${need[@]}"; then
    mapfile -t still < <(missing_of "${need[@]}")
    echo "setup: cannot install ${still[*]:-${need[*]}}: $(apt_reason "$log")" >&2
    exit 1
  fi
fi

# The 32-bit Wine part, only where the kernel can run it.
runs_i386=$(host_runs_i386)
win32_part=skipped
if [ "$runs_i386" = yes ] && [ "${MENDIT_SKIP_WIN32:-0}" != 1 ]; then
  # A failed try is remembered for a few hours, so that each make command does not wait on a
  # package list that is out of sync again.
  failed_mark="$root/build/setup-win32-failed"
  if have wine32:i386; then
    win32_part=ok
  elif [ -n "$(find "$failed_mark" -mmin -360 2>/dev/null)" ]; then
    win32_part=failed
    cp "$failed_mark" "$log"
  else
    echo "setup: installing wine32:i386"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      $sudo_cmd dpkg --add-architecture i386
      updated=0
    fi
    update_lists
    if install_packages 2 wine32:i386; then
      win32_part=ok
    else
      win32_part=failed
      mkdir -p "$root/build" && cp "$log" "$failed_mark"
    fi
  fi
fi
line=$(win32_part_line "$runs_i386" "$win32_part" "$(apt_reason "$log")")
[ -n "$line" ] && echo "$line"

# The tools themselves, not just the package database: a package can be installed and broken.
tools=(cmake ninja g++ clang i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix
       i686-w64-mingw32-windres x86_64-w64-mingw32-windres /usr/lib/wine/wine64 wineserver
       Xvfb import convert cabextract xdotool xwininfo python3 osslsigncode openssl)
absent=()
for t in "${tools[@]}"; do command -v "$t" >/dev/null 2>&1 || absent+=("$t"); done
[ -f /usr/src/googletest/CMakeLists.txt ] || absent+=(/usr/src/googletest)
[ -f /usr/include/mspack.h ] || absent+=(/usr/include/mspack.h)
[ -f /usr/include/nettle/sha2.h ] || absent+=(/usr/include/nettle/sha2.h)
if [ ${#absent[@]} -gt 0 ]; then
  echo "setup: installed, but not usable: ${absent[*]}" >&2
  exit 1
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
