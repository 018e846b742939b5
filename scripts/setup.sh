#!/usr/bin/env bash
# Idempotent machine set-up for building and testing on Debian: installs what is missing and
# prepares the Wine prefix under build/. scripts/README.md tells the whole story.
#
# The 64-bit set (compilers, Wine's 64-bit part, Xvfb, libraries, tools) comes first and must
# install. The 32-bit Wine part is installed in a step of its own, and only where the kernel
# runs 32-bit processes. Where its plain install fails because 64-bit libraries stand at
# versions no i386 list carries, both architectures are aligned to a version both lists carry
# (MENDIT_ALIGN_I386=0|1 forbids or forces it); where that cannot be done quietly, one line
# says why and which build this host runs. The prefix follows the host: one made before the
# 32-bit part, or one that cannot start a 32-bit program, is made anew once.
# MENDIT_SKIP_WIN32=1 skips the 32-bit part on any host.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/setup-decide.sh

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
update_log=$(mktemp)
trap 'rm -f "$log" "$update_log"' EXIT

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }
missing_of() { local p; for p in "$@"; do have "$p" || echo "$p"; done; }

# One `apt-get update` that may fail part-way (one list out of sync with its release file):
# tried a few times, then set-up goes on with the lists it has.
updated=0
update_warned=0
update_lists() {
  [ "$updated" = 1 ] && return 0
  updated=1
  if ! retry 3 5 sh -c "$sudo_cmd apt-get update -qq >'$update_log' 2>&1" && [ "$update_warned" = 0 ]; then
    update_warned=1
    echo "setup: apt-get update failed ($(apt_reason "$update_log")); going on with the package lists at hand"
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

# The 64-bit twins of the libraries the 32-bit Wine part pulls in that stand at a version no
# i386 list carries, as blocking_pairs lines.
i386_blocking_pairs() {
  local arch
  arch=$(dpkg --print-architecture)
  apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
      --no-replaces --no-enhances wine32:i386 2>/dev/null |
    awk '/^[^ ].*:i386$/ { sub(/:i386$/, ""); print }' | sort -u >"$work/closure"
  dpkg-query -W -f='${Package} ${Architecture} ${Multi-Arch} ${db:Status-Abbrev}\n' |
    awk -v arch="$arch" '$2 == arch && $3 == "same" && $4 ~ /^ii/ { print $1 }' | sort -u >"$work/same"
  comm -12 "$work/closure" "$work/same" | awk '{ print $1; print $1 ":i386" }' |
    xargs -r apt-cache policy >"$work/policy" 2>/dev/null
  blocking_pairs "$work/policy"
}

# What `apt-get install ARGS` would remove (names), from a simulation.
would_remove() {
  apt-get -s install -y --no-install-recommends "$@" 2>/dev/null | awk '/^Remv / { print $2 }'
}

# After a failed plain install of the 32-bit part: aligns the blocking pairs (see
# scripts/README.md) and installs. Prints what it moves, or what it would move and why not.
align_i386() {
  local decision removed args
  work=$(mktemp -d)
  local plain_log="$work/plain.log"
  cp "$log" "$plain_log"
  i386_blocking_pairs >"$work/pairs"
  : >"$work/carried"
  mapfile -t args < <(align_install_args "$work/pairs")
  if [ -s "$work/pairs" ]; then
    would_remove "${args[@]}" | xargs -r dpkg-query -W -f='${Package} ${Version}\n' >"$work/removed" 2>/dev/null
    carried_along "$work/pairs" "$work/removed" >"$work/carried"
    mapfile -t args < <(align_install_args "$work/pairs" "$work/carried")
  fi
  apt-mark showmanual >"$work/manual" 2>/dev/null
  cat "$work/pairs" "$work/carried" >"$work/moves"
  decision=$(align_decision "$work/moves" "$work/manual" "${MENDIT_ALIGN_I386:-}")
  if [ "$decision" = align ]; then
    removed=$(would_remove "${args[@]}" | tr '\n' ' ' | sed 's/ $//')
    [ -n "$removed" ] && decision=removes
  fi
  align_lines "$decision" "$work/pairs" "$work/carried" "$(align_reason "$update_log")" "${removed:-}"
  if [ "$decision" = align ] && install_packages 1 "${args[@]}"; then
    rm -rf "$work"
    return 0
  fi
  # The reason win32_part_line gives: ours where we declined, else apt's.
  local why
  why=$(align_failure "$decision")
  if [ -n "$why" ]; then echo "setup: $why" >"$log"; elif [ "$decision" = none ]; then cp "$plain_log" "$log"; fi
  rm -rf "$work"
  return 1
}

# The 32-bit Wine part, only where the kernel can run it.
runs_i386=$(host_runs_i386)
win32_part=skipped
if [ "$runs_i386" = yes ] && [ "${MENDIT_SKIP_WIN32:-0}" != 1 ]; then
  # A failed try is remembered for a few hours, so that each make command does not wait on a
  # package list that is out of sync again.
  failed_mark="$root/build/setup-win32-failed"
  if have wine32:i386; then
    win32_part=ok
  elif [ "${MENDIT_ALIGN_I386:-}" != 1 ] && [ -n "$(find "$failed_mark" -mmin -360 2>/dev/null)" ]; then
    win32_part=failed
    cp "$failed_mark" "$log"
  else
    echo "setup: installing wine32:i386"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      $sudo_cmd dpkg --add-architecture i386
      updated=0
    fi
    update_lists
    if install_packages 2 wine32:i386 || align_i386; then
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

# Which Windows build this host runs (asked once here, kept for the later commands).
rm -f "$root/build/wine-host"
build=$("$root/scripts/wine-host")

# One Wine prefix per build tree; creating it takes a while, later starts are fast. It is made
# by the 64-bit loader, which runs on every x86-64 host: a 64-bit prefix runs 64-bit programs
# and, where the host runs 32-bit processes, 32-bit ones beside them. The prefix follows the
# host: one made before the 32-bit Wine part was installed has no 32-bit system files, and no
# 32-bit program starts in it (wineboot -u does not add them); it is made anew, once.
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
stamp="$WINEPREFIX/.mendit-starts-32bit"
make_prefix() {
  mkdir -p "$WINEPREFIX"
  WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64 wineboot.exe -i >/dev/null 2>&1 || true
  wineserver -w || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "setup: the Wine prefix could not be created in $WINEPREFIX" >&2
    exit 1
  fi
}
remake_prefix() {
  echo "setup: the Wine prefix in $WINEPREFIX $1; making it anew"
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  rm -rf "$WINEPREFIX"
  make_prefix
}
# Starts a 32-bit program in the prefix (cmd.exe from syswow64, which exits with 7).
starts_32bit() {
  /usr/lib/wine/wine cmd.exe /c exit 7 >/dev/null 2>&1 </dev/null
  local status=$?
  wineserver -w 2>/dev/null
  [ "$status" = 7 ]
}
case "$(prefix_state "$WINEPREFIX" "$build")" in
  missing)
    echo "setup: creating Wine prefix in $WINEPREFIX"
    make_prefix ;;
  stale)
    remake_prefix "was made before the 32-bit Wine part was installed (its syswow64 is empty)" ;;
  unproven)
    if starts_32bit; then touch "$stamp"; else remake_prefix "cannot start a 32-bit program"; fi ;;
esac
if [ "$build" = win32 ] && [ ! -f "$stamp" ]; then
  if starts_32bit; then
    touch "$stamp"
  else
    # Even a new prefix cannot: the 64-bit build is what this host can test.
    echo "win64|a new Wine prefix cannot start a 32-bit program" >"$root/build/wine-host"
    build=win64
  fi
fi
echo "setup: this host runs the $build Windows build"
echo "setup: ready"
