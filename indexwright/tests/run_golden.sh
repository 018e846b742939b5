#!/usr/bin/env bash
# Runs indexwright on the golden help projects and compares what it writes with the
# expected files under GOLDEN/<case>/ (toc.hhc, map.txt, htmlhelp.h, stdout.txt, and
# stderr.txt / exit where a case expects a failure). The projects are made here, so that
# odd bytes (CR, Ctrl-Z, NUL, code page 1250) stay readable in this file.
#
# Usage: run_golden.sh GOLDEN WORK PROGRAM [RUNNER]
#   RUNNER runs the program (scripts/wine-run for the Windows build).
#   UPDATE=1 writes the expected files from this run instead of comparing (check them!).
# Standard output and error are compared without CRs: the Windows console writes CR LF.
set -u
golden=$(realpath "$1") work=$(realpath -m "$2") program=$(realpath "$3")
runner=${4:-}
failures=0

page() { printf "$2" > "$1"; }   # page NAME FORMAT: the format's escapes make the bytes

case_empty() {
  page readme.txt 'not a page'
  page index.html '<title>Index</title>'
}

case_nesting() {
  page 01_a.htm '<title>A</title>'
  page 0101_b.htm '<title>B</title>'
  page 02_c.htm '<title>C</title>'
  page 0201_d.htm '<title>D</title>'
  page 020101_e.htm '<title>E</title>'
  page 020102_f.htm '<title>F</title>'
  page 0203_g.htm '<title>G</title>'
  page 03_h.htm '<title>H</title>'
}

case_same_prefix() {
  page 01_b.htm '<title>second</title>'
  page 01_a.htm '<title>first</title>'
  page 01_C.htm '<title>third, capital name</title>'
  page 01_a2.htm '<title>after a</title>'
  page 0101_x.htm '<title>below</title>'
  page 0101_y.htm '<title>below too</title>'
}

case_gaps() {
  page 01_x.htm '<title>X</title>'
  page 03_y.htm '<title>Y</title>'
  page 0150_z.htm '<title>Z</title>'
  page 99_last.htm '<title>last</title>'
  page 9999_deep.htm '<title>deep</title>'
  page 999999_deeper.htm '<title>deeper</title>'
}

case_never_match() {
  page 01_ok.htm '<title>ok</title>'
  page 02_UP.HTM '<title>upper-case name</title>'
  for name in 1_x.htm 100_x.htm x.htm 01_x.html 01x.htm 001_x.htm 01_x.htm.bak _01_x.htm 0_x.htm \
              010_x.htm 1a_x.htm .03_dot.htm 04-x.htm; do
    page "$name" '<title>never</title>'
  done
  mkdir 02_dir.htm
}

case_titles() {
  page 01_capitals.htm '<HTML><HEAD><TITLE>Install The Disk</TITLE></HEAD>'
  page 02_quot.htm '<title>Press &quot;B&quot; now</title>'
  page 03_no_title.htm '<html><body>nothing</body></html>'
  page 04_two_lines.htm '<title>first line\r\nsecond line</title>'
  page 05_lone_cr.htm '<title>a\rb</title>'
  page 06_spaces.htm '<title>  spaced  </title>'
  page 07_ctrl_z.htm '<title>cut\032</title>'
  page 08_after_ctrl_z.htm '<title>kept</title>\032<title>'
  page 09_nul.htm '<title>cut\0here</title>'
  page 10_end_first.htm '</title><title>after the end tag</title>'
  page 11_end_only_first.htm '</title><title>open'
  page 12_cp1250.htm '<title>Podr\352cznik u\277ytkownika</title>'
  page 13_empty.htm '<title></title>'
  page 14_other_refs.htm '<title>&amp; &QUOT; &lt;b&gt;</title>'
  page 15_mixed_case.htm '<tItLe>Mixed</TiTlE>'
  page 16_empty_file.htm ''
}

# A second run with fewer pages leaves nothing of the first run behind.
case_rerun() {
  page 01_a.htm '<title>A</title>'
  page 02_b.htm '<title>B</title>'
  page 0201_c.htm '<title>C</title>'
  page 03_d.htm '<title>D</title>'
  run >/dev/null 2>&1
  rm 02_b.htm 0201_c.htm 03_d.htm
}

# An output that cannot be created is reported; the other two are still written.
case_output_blocked() {
  page 01_a.htm '<title>A</title>'
  mkdir map.txt
}

# Any argument (help or a folder name by mistake) prints the usage and writes nothing.
# args_NAME prints a case's arguments, one a line.
case_arguments() { page 01_a.htm '<title>A</title>'; }
args_arguments() { echo -h; }
case_slash_question() { page 01_a.htm '<title>A</title>'; }
args_slash_question() { echo '/?'; }

run() { (cd "$dir" && $runner "$program" "${args[@]}" >stdout.raw 2>stderr.raw; echo $? >exit.raw); }

mkdir -p "$work"
for name in $(declare -F | sed -n 's/^declare -f case_//p'); do
  dir=$work/$name
  args=()
  declare -F "args_$name" >/dev/null && mapfile -t args < <("args_$name")
  rm -rf "$dir"
  mkdir -p "$dir"
  (cd "$dir" && "case_$name")
  run
  tr -d '\r' <"$dir/stdout.raw" >"$dir/stdout.txt"
  tr -d '\r' <"$dir/stderr.raw" >"$dir/stderr.txt"
  want=$golden/$name
  if [ "${UPDATE:-}" = 1 ]; then
    mkdir -p "$want"
    for f in toc.hhc map.txt htmlhelp.h stdout.txt; do
      [ -f "$dir/$f" ] && cp "$dir/$f" "$want/$f"
    done
    [ -s "$dir/stderr.txt" ] && cp "$dir/stderr.txt" "$want/stderr.txt"
    [ "$(cat "$dir/exit.raw")" != 0 ] && cp "$dir/exit.raw" "$want/exit"
    continue
  fi
  for f in toc.hhc map.txt htmlhelp.h stdout.txt; do
    if [ -f "$want/$f" ]; then
      cmp "$want/$f" "$dir/$f" || { echo "FAIL $name: $f differs"; failures=$((failures + 1)); }
    elif [ -f "$dir/$f" ]; then
      echo "FAIL $name: $f written but not expected"; failures=$((failures + 1))
    fi
  done
  wantStderr=$(cat "$want/stderr.txt" 2>/dev/null)
  [ "$wantStderr" = "$(cat "$dir/stderr.txt")" ] || { echo "FAIL $name: standard error differs"; failures=$((failures + 1)); }
  wantExit=$(cat "$want/exit" 2>/dev/null || echo 0)
  [ "$wantExit" = "$(cat "$dir/exit.raw")" ] || { echo "FAIL $name: exit code $(cat "$dir/exit.raw"), want $wantExit"; failures=$((failures + 1)); }
done
[ "$failures" = 0 ] && echo "all golden projects match"
exit $((failures != 0))
