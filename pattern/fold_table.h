// The fold table of case-folded comparison: a-z map to A-Z and '{' to '['; every other byte,
// including '|', '}', '~' and all bytes from 0x80 up, maps to itself.
#pragma once

#include <cstdint>

extern const uint8_t* const PatternFoldTable;  // 256 entries

// Exact comparison: every byte maps to itself.
extern const uint8_t* const PatternIdentityTable;  // 256 entries
