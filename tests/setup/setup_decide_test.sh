#!/usr/bin/env bash
# The set-up decisions without apt: the i386 probe, and host kind x install outcome -> which
# Windows build runs and what set-up says.
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

[ "$failures" = 0 ] && echo "all set-up decisions hold" || exit 1
