#!/usr/bin/env bash
# The set-up decisions without apt: the i386 probe, host kind x install outcome -> which
# Windows build runs and what set-up says, the alignment of the two architectures from canned
# apt output, and the state of a Wine prefix.
set -u
. "$1/scripts/setup-decide.sh"
failures=0
expect() { # NAME ACTUAL EXPECTED
  if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: got '$2', want '$3'"; failures=$((failures + 1)); fi
}

# The probe program is what this kernel runs or refuses, never anything else: it exits 42
# where 32-bit processes run, and the host answer follows it.
dir=$(mktemp -d)
write_i386_probe "$dir/probe"
expect "probe is 96 bytes" "$(wc -c <"$dir/probe" | tr -d ' ')" 96
"$dir/probe" 2>/dev/null; code=$?
[ "$code" = 42 ] && runs=yes || runs=no
expect "host answer follows the probe" "$(host_runs_i386)" "$runs"
rm -rf "$dir"

# host runs i386 | 32-bit part outcome | build | what the line says
while IFS='|' read -r i386 outcome build says; do
  expect "build for $i386/$outcome" "$(windows_build_for "$i386" "$outcome")" "$build"
  line=$(win32_part_line "$i386" "$outcome" "E: held broken packages")
  case "$line" in *"$says"*) expect "line for $i386/$outcome" ok ok ;;
                  *) expect "line for $i386/$outcome" "$line" "...$says..." ;; esac
done <<'TABLE'
yes|ok|win32|
yes|failed|win64|could not be installed (E: held broken packages); this host runs the win64
yes|skipped|win64|skipped (MENDIT_SKIP_WIN32=1); this host runs the win64
no|skipped|win64|does not run 32-bit processes
TABLE
expect "no line when the part installed" "$(win32_part_line yes ok "")" ""

# retry: gives up after the tries with the last status, stops at the first success.
count=0; flaky() { count=$((count + 1)); [ "$count" -ge 2 ]; }
retry 3 0 flaky; expect "retry stops at success" "$?/$count" "0/2"
retry 2 0 false; expect "retry gives up" "$?" 1

# Aligning the two architectures. A policy where the 64-bit gstreamer library stands at a
# security version only the (missing) i386 security list would carry, zlib at a version both
# carry, libfoo whose i386 twin is already installed at its version, and libbar whose lists
# share no version.
dir=$(mktemp -d)
cat >"$dir/policy" <<'POLICY'
libgstreamer-plugins-base1.0-0:
  Installed: 1.22.0-3+deb12u7
  Candidate: 1.22.0-3+deb12u7
  Version table:
 *** 1.22.0-3+deb12u7 500
        500 http://deb.debian.org/debian-security bookworm-security/main amd64 Packages
        100 /var/lib/dpkg/status
     1.22.0-3+deb12u6 500
        500 http://deb.debian.org/debian bookworm/main amd64 Packages
libgstreamer-plugins-base1.0-0:i386:
  Installed: (none)
  Candidate: 1.22.0-3+deb12u6
  Version table:
     1.22.0-3+deb12u6 500
        500 http://deb.debian.org/debian bookworm/main i386 Packages
zlib1g:
  Installed: 1:1.2.13.dfsg-1
  Candidate: 1:1.2.13.dfsg-1
  Version table:
 *** 1:1.2.13.dfsg-1 500
        500 http://deb.debian.org/debian bookworm/main amd64 Packages
        100 /var/lib/dpkg/status
zlib1g:i386:
  Installed: (none)
  Candidate: 1:1.2.13.dfsg-1
  Version table:
     1:1.2.13.dfsg-1 500
        500 http://deb.debian.org/debian bookworm/main i386 Packages
libfoo1:
  Installed: 2.0-1+deb12u1
  Candidate: 2.0-1+deb12u1
  Version table:
 *** 2.0-1+deb12u1 100
        100 /var/lib/dpkg/status
libfoo1:i386:
  Installed: 2.0-1+deb12u1
  Candidate: 2.0-1+deb12u1
  Version table:
 *** 2.0-1+deb12u1 100
        100 /var/lib/dpkg/status
libbar2:
  Installed: 3.1-1
  Candidate: 3.1-1
  Version table:
 *** 3.1-1 100
        100 /var/lib/dpkg/status
libbar2:i386:
  Installed: (none)
  Candidate: 3.0-1
  Version table:
     3.0-1 500
        500 http://deb.debian.org/debian bookworm/main i386 Packages
POLICY
expect "blocking pairs from apt-cache policy" "$(blocking_pairs "$dir/policy" | tr '\n' ';')" \
  "libgstreamer-plugins-base1.0-0 1.22.0-3+deb12u7 1.22.0-3+deb12u6;libbar2 3.1-1 -;"

# moves | hand-installed | MENDIT_ALIGN_I386 | decision
printf 'libkeep1\n' >"$dir/manual"
while IFS='|' read -r moves manual force want; do
  [ -n "$moves" ] && printf '%s\n' "$moves" | tr ';' '\n' >"$dir/moves" || : >"$dir/moves"
  expect "decision for '$moves' manual=$manual force=$force" \
    "$(align_decision "$dir/moves" "$dir/$manual" "$force")" "$want"
done <<'TABLE'
|manual||none
liba 1.2-3+deb12u7 1.2-3+deb12u6|manual||align
liba 1.2-3+deb12u7 1.2-3+deb12u6|manual|0|declined
liba 1.2-3+deb12u7 -|manual|1|impossible
libkeep1 1.2-3+deb12u7 1.2-3+deb12u6|manual||ask
libkeep1 1.2-3+deb12u7 1.2-3+deb12u6|manual|1|align
libkeep1 1.0-1 1.1-1|manual||align
a 2 1;b 2 1;c 2 1;d 2 1;e 2 1|manual||align
a 2 1;b 2 1;c 2 1;d 2 1;e 2 1;f 2 1|manual||ask
a 2 1;b 2 1;c 2 1;d 2 1;e 2 1;f 2 1|manual|1|align
TABLE

# Which list failed, from apt-get update's output.
while IFS='|' read -r said want; do
  printf '%s\n' "$said" >"$dir/update.log"
  expect "reason for '$said'" "$(align_reason "$dir/update.log")" "$want"
done <<'TABLE'
W: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?|the i386 security list cannot be fetched
W: Failed to fetch http://deb.debian.org/debian/dists/bookworm-updates/main/binary-i386/Packages.xz  404|the i386 list of bookworm-updates cannot be fetched
|no i386 package list carries the installed version
TABLE

printf 'setup: its libraries would have to change version\n' >"$dir/update.log"
expect "set-up's own reason" "$(apt_reason "$dir/update.log")" "its libraries would have to change version"

# What the alignment prints and installs; a -dev package at its library's version moves along.
printf 'zlib1g 1:1.2.13.dfsg-1+deb12u1 1:1.2.13.dfsg-1\n' >"$dir/pairs"
printf 'zlib1g-dev 1:1.2.13.dfsg-1+deb12u1\ntk-dev 8.6.13\n' >"$dir/removed"
carried_along "$dir/pairs" "$dir/removed" >"$dir/carried"
expect "carried along" "$(cat "$dir/carried")" "zlib1g-dev 1:1.2.13.dfsg-1+deb12u1 1:1.2.13.dfsg-1 zlib1g"
expect "align lines" "$(align_lines align "$dir/pairs" "$dir/carried" "the i386 security list cannot be fetched" | tr '\n' ';')" \
  "setup: the i386 security list cannot be fetched; installing zlib1g 1:1.2.13.dfsg-1 for both architectures so that the 32-bit Wine part fits;setup: installing zlib1g-dev 1:1.2.13.dfsg-1 to match zlib1g;"
expect "ask ends with how to force" "$(align_lines ask "$dir/pairs" "$dir/carried" why | tail -1 | grep -c 'MENDIT_ALIGN_I386=1')" 1
expect "install arguments" "$(align_install_args "$dir/pairs" "$dir/carried" | tr '\n' ' ')" \
  "--allow-downgrades wine32:i386 zlib1g=1:1.2.13.dfsg-1 zlib1g:i386=1:1.2.13.dfsg-1 zlib1g-dev=1:1.2.13.dfsg-1 "

# The prefix follows the host: one without 32-bit system files is stale on a 32-bit host.
p="$dir/prefix"
while IFS='|' read -r files build want; do
  rm -rf "$p" && mkdir -p "$p/drive_c/windows/syswow64"
  for f in $files; do touch "$p/$f"; done
  expect "prefix with '$files' for $build" "$(prefix_state "$p" "$build")" "$want"
done <<'TABLE'
|win32|missing
system.reg|win32|stale
system.reg|win64|ok
system.reg drive_c/windows/syswow64/kernel32.dll|win32|unproven
system.reg drive_c/windows/syswow64/kernel32.dll .mendit-starts-32bit|win32|proven
TABLE
rm -rf "$dir"

[ "$failures" = 0 ] && echo "all set-up decisions hold" || exit 1
