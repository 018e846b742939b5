// A readable listing of compiled code, one instruction a line with offsets resolved to
// addresses, for golden tests and debugging:
//      2 PUSH_ALT_B ->5
//      4 NEXT_START
//      5 TAG_START 0
//      7 CHAR 'a'
//      9 IN_CLASS run "ab" range '0'-'9'
//     19 STORE_POS @24
//     24 slot
//     40 fill 7
// Characters print as 'c', or %hh when not printable; the size header is not listed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::string DumpPattern(const uint8_t* code);

// The addresses of the code slots (16-bit cells that the matcher may write) named by the
// instructions of a compiled pattern, in ascending order.
std::vector<uint32_t> PatternSlots(const uint8_t* code);
