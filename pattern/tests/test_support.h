// Helpers shared by the pattern tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "pattern/pattern.h"

// A compiled pattern released at the end of the scope.
struct TCodeDeleter {
  void operator()(uint8_t* code) const { FreePattern(code); }
};
using TCode = std::unique_ptr<uint8_t, TCodeDeleter>;

inline TCode Compile(const std::string& pattern) { return TCode(CompilePattern(pattern.c_str())); }

inline uint16_t CodeSizeOf(const uint8_t* code) { return uint16_t(code[0] | code[1] << 8); }

// The whole buffer (header included) as upper-case hex without spaces.
inline std::string Hex(const uint8_t* code) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (uint32_t i = 0; i < CodeSizeOf(code); ++i) {
    out += digits[code[i] >> 4];
    out += digits[code[i] & 15];
  }
  return out;
}

// Hex written with spaces for readability, spaces dropped.
inline std::string Squeeze(const std::string& spaced) {
  std::string out;
  for (char c : spaced)
    if (c != ' ' && c != '|') out += c;
  return out;
}

// Anchored match of a NUL-terminated text; returns the result offset or -1.
inline int ResultOffset(const char* text, const char* result) {
  return result ? int(result - text) : -1;
}

// The text of a tag of the most recent match, as TPattern::Tag gives it.
inline std::string TagText(int n) { return TPattern::Tag(n); }
