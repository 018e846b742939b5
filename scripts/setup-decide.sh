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

# The lines of apt's output that say why it failed (E: lines, held or unmet packages), joined.
apt_reason() {
  grep -E '^(E:|W:.*(unexpected size|Mirror sync))|held broken|unmet dependencies|Depends:' "$1" 2>/dev/null |
    head -3 | tr '\n' ' ' | sed 's/[[:space:]]*$//'
}
