#!/usr/bin/env bash
# Decisions of scripts/setup.sh that need neither apt nor Wine, kept apart so that they can be
# tested (scripts/tests/setup_decide_test.sh). Sourced; defines functions only.

# Writes a static i386 Linux program of 96 bytes to FILE: it does nothing but exit with
# code 42 (mov eax,1; mov ebx,42; int 0x80). A kernel that runs 32-bit processes starts it;
# one whose IA-32 emulation is off refuses it with "Exec format error".
write_i386_probe() {
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'`
        `'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'`
        `'\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'`
        `'\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08'`
        `'\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00'`
        `'\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$1"
  chmod +x "$1"
}

# Prints "yes" when this kernel runs 32-bit x86 processes, "no" otherwise.
host_runs_i386() {
  case "$(uname -m)" in x86_64|i?86) ;; *) echo no; return ;; esac
  local dir status
  dir=$(mktemp -d)
  write_i386_probe "$dir/probe"
  "$dir/probe" >/dev/null 2>&1
  status=$?
  rm -rf "$dir"
  [ "$status" = 42 ] && echo yes || echo no
}

# The Windows build this host will run, from whether it runs 32-bit processes ("yes"/"no")
# and whether the 32-bit Wine part installed ("ok"/"failed"/"skipped").
windows_build_for() {
  if [ "$1" = yes ] && [ "$2" = ok ]; then echo win32; else echo win64; fi
}

# The one line setup prints about the 32-bit part, or nothing when it installed.
# Arguments: runs-i386 (yes/no), outcome (ok/failed/skipped), apt's reason (may be empty).
win32_part_line() {
  local build
  build=$(windows_build_for "$1" "$2")
  case "$1:$2" in
    yes:ok) ;;
    no:*) echo "setup: this kernel does not run 32-bit processes, so the 32-bit Wine part is not installed; this host runs the $build Windows build" ;;
    *:skipped) echo "setup: the 32-bit Wine part is skipped (MENDIT_SKIP_WIN32=1); this host runs the $build Windows build" ;;
    *) echo "setup: the 32-bit Wine part could not be installed (${3:-apt gave no reason}); this host runs the $build Windows build" ;;
  esac
}

# Runs a command up to TRIES times with PAUSE seconds between tries; returns its last status.
retry() {
  local tries=$1 pause=$2 n=1
  shift 2
  until "$@"; do
    local status=$?
    [ "$n" -ge "$tries" ] && return "$status"
    n=$((n + 1))
    sleep "$pause"
  done
}

# The lines of apt's output that say why it failed (E: lines, held or unmet packages), joined;
# or set-up's own reason, a line "setup: REASON" in place of apt's output.
apt_reason() {
  grep -E '^(E:|setup:|W:.*(unexpected size|Mirror sync))|held broken|unmet dependencies|Depends:' "$1" 2>/dev/null |
    head -3 | sed 's/^setup: //' | tr '\n' ' ' | sed 's/[[:space:]]*$//'
}

# ---- Aligning the two architectures when the plain install of the 32-bit Wine part fails ----
# A library that exists for both architectures (Multi-Arch: same) must stand at one version in
# both. When the 64-bit twin stands at a version that no i386 list carries (typically a
# security update whose i386 list is out of sync with its release file), apt cannot install
# the i386 twin and gives up with "held broken packages". Setting both twins to the newest
# version both lists carry resolves it.

# At most this many downgrades are made without asking (MENDIT_ALIGN_I386=1 allows more).
align_handful=5

# The blocking pairs in `apt-cache policy` output (FILE) that names each candidate package
# twice, as P and P:i386. One line per blocker: "P INSTALLED TARGET", TARGET being the newest
# version that a list carries for both architectures, or "-" where no list carries one.
blocking_pairs() {
  awk '
    /^[^ ].*:$/ { pkg = substr($0, 1, length($0) - 1); names[++n] = pkg; version = ""; next }
    /^  Installed: / { installed[pkg] = $2; next }
    /^ (\*\*\*|   ) [^ ]+ -?[0-9]+$/ { version = $(NF - 1); next }
    # A source line under a version: a package list, or only the dpkg status file.
    /^        +-?[0-9]+ / {
      if (version != "" && $2 != "/var/lib/dpkg/status" && !((pkg, version) in listed)) {
        listed[pkg, version] = 1
        order[pkg] = order[pkg] " " version
      }
    }
    END {
      for (i = 1; i <= n; ++i) {
        p = names[i]
        if (p ~ /:/ || !((p ":i386") in installed)) continue
        twin = p ":i386"
        have = installed[p]
        if (have == "" || have == "(none)" || installed[twin] == have || (twin, have) in listed) continue
        target = "-"
        count = split(order[p], versions, " ")
        for (v = 1; v <= count; ++v)
          if ((twin, versions[v]) in listed) { target = versions[v]; break }
        print p, have, target
      }
    }' "$1"
}

# What to do about the blocking pairs in PAIRS (a file of blocking_pairs lines), given the
# packages installed by hand (MANUAL, one name a line) and MENDIT_ALIGN_I386 (FORCE: 0, 1 or
# empty). Prints one word: none (nothing to align), impossible (a pair has no common
# version), declined (forced off), ask (a downgrade of a hand-installed package, or more than
# a handful of downgrades), align.
align_decision() {
  local pairs=$1 manual=$2 force=$3 name have target rest downgrades=0 by_hand=0
  [ -s "$pairs" ] || { echo none; return; }
  while read -r name have target rest; do
    [ "$target" = - ] && { echo impossible; return; }
    if dpkg --compare-versions "$target" lt "$have"; then
      downgrades=$((downgrades + 1))
      grep -qx "$name" "$manual" 2>/dev/null && by_hand=1
    fi
  done <"$pairs"
  case "$force" in
    0) echo declined; return ;;
    1) echo align; return ;;
  esac
  if [ "$by_hand" = 1 ] || [ "$downgrades" -gt "$align_handful" ]; then echo ask; else echo align; fi
}

# Why the twins do not fit, from the output of `apt-get update` (LOG): the i386 list that
# could not be fetched, else the plain fact.
align_reason() {
  local list
  list=$(grep -oE 'dists/[^/ ]+/[^ ]*binary-i386' "$1" 2>/dev/null | head -1 | cut -d/ -f2)
  case "$list" in
    *-security) echo "the i386 security list cannot be fetched" ;;
    ?*) echo "the i386 list of $list cannot be fetched" ;;
    *) echo "no i386 package list carries the installed version" ;;
  esac
}

# The lines set-up prints for DECISION about PAIRS and the packages CARRIED along with them
# (a carried_along file), with REASON from align_reason and, for "removes", the packages the
# install would still remove (REMOVED, one line of names).
align_lines() {
  local decision=$1 pairs=$2 carried=$3 reason=$4 removed=${5:-} name have target twin
  case "$decision" in
    align)
      while read -r name have target; do
        echo "setup: $reason; installing $name $target for both architectures so that the 32-bit Wine part fits"
      done <"$pairs"
      while read -r name have target twin; do
        echo "setup: installing $name $target to match $twin"
      done <"$carried" ;;
    ask|declined|removes)
      while read -r name have target; do
        echo "setup: the 32-bit Wine part would need $name moved from $have to $target for both architectures ($reason)"
      done <"$pairs"
      while read -r name have target twin; do
        echo "setup: and $name moved from $have to $target to match $twin"
      done <"$carried"
      case "$decision" in
        ask) echo "setup: not done without asking (a downgrade of a package installed by hand, or more than $align_handful downgrades); MENDIT_ALIGN_I386=1 make setup does it" ;;
        declined) echo "setup: not done (MENDIT_ALIGN_I386=0)" ;;
        removes) echo "setup: not done: apt would remove $removed" ;;
      esac ;;
    impossible)
      awk '$3 == "-" { print "setup: no package list carries one version of " $1 " for both architectures, so the 32-bit Wine part cannot be fitted" }' "$pairs" ;;
  esac
}

# The reason set-up gives for not installing the 32-bit part after DECISION (for the line of
# win32_part_line), or nothing where the alignment is made.
align_failure() {
  case "$1" in
    none) ;;
    impossible) echo "no version of its libraries fits both architectures" ;;
    align) ;;
    declined) echo "its libraries would have to change version, and MENDIT_ALIGN_I386=0" ;;
    *) echo "its libraries would have to change version; MENDIT_ALIGN_I386=1 make setup does it" ;;
  esac
}

# The arguments of the one apt-get install that aligns PAIRS, moves the packages CARRIED
# along (optional) and installs the 32-bit part.
align_install_args() {
  local name have target twin
  echo --allow-downgrades
  echo wine32:i386
  while read -r name have target; do
    echo "$name=$target"
    echo "$name:i386=$target"
  done <"$1"
  [ -n "${2:-}" ] || return 0
  while read -r name have target twin; do
    echo "$name=$target"
  done <"$2"
}

# The installed packages that an aligning install would remove (REMOVED: "R VERSION" lines)
# and that stand at the same version as a blocking pair's 64-bit twin (PAIRS): such a package
# comes from the same source (zlib1g-dev beside zlib1g) and moves with it instead of going.
# One line each: "R VERSION TARGET PAIRNAME".
carried_along() {
  awk 'NR == FNR { target[$2] = $3; pair[$2] = $1; next }
       ($2 in target) && target[$2] != "-" { print $1, $2, target[$2], pair[$2] }' "$1" "$2"
}

# The state of a Wine prefix for the Windows build BUILD (win32/win64): missing (never made),
# stale (a 32-bit host, but the prefix was made without the 32-bit part: its syswow64 has no
# kernel32.dll, so no 32-bit program starts), proven (a 32-bit program started in it before),
# unproven (to be tried), ok (a 64-bit host: nothing to try).
prefix_state() {
  local prefix=$1 build=$2
  [ -f "$prefix/system.reg" ] || { echo missing; return; }
  [ "$build" = win32 ] || { echo ok; return; }
  [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ] || { echo stale; return; }
  [ -f "$prefix/.mendit-starts-32bit" ] && echo proven || echo unproven
}
