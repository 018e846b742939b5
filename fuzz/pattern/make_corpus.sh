#!/usr/bin/env bash
# Writes the seed corpus of pattern_fuzz: mode byte, pattern, 0x00, text (mode 0), or mode 1
# and raw byte-code. Run from this folder; the files are committed.
set -euo pipefail
cd "$(dirname "$0")"
mkdir -p corpus
seed() { printf "$2" > "corpus/$1"; }
seed program_directory '\x00{*/:\\(*\\)#}*\x00C:\\A\\B\\X.EXE'
seed split_at_backslash '\x00{*}\\{?#}\x00\\A\\B\\'
seed nested_parentheses '\x00/(<>/)\x00(a(b)c)xyz'
seed path_macro '\x00:p\x00see c:\\dir\\file.txt here'
seed folded_class '\x00=-[a-c/{]#~:d-?+x^2\x00aB{[c9'
seed backreference '\x00{[ab]#}$1&a|b\x00abab'
seed stack_exhaustion '\x00(x#)#\x00xxxx'
seed number_macro '\x00:n:b:q:r\x00-12.5 ""-4'
seed compile_error '\x00[a-]\x00a'
seed raw_loop '\x01\x01\x01\x08\x0b\x00\x11\x19\x07\xfd'
seed raw_slots '\x01\x1d\x05\x00\xff\xff\x0a\xfb\xff\x0e\x20\x00\x03'
