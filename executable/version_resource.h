#pragma once
// The version resource of a program (resource type 16): the fixed numbers and the texts
// Explorer's properties and inventory tools show. Read from its bytes and written anew,
// block by block in its little-endian layout (each block: its length, the value's length,
// its type, a NUL-ended UTF-16 key, the value and the child blocks, each on a 4-byte
// boundary). Portable: no Windows headers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct TVersionInfo {
  // VS_FIXEDFILEINFO: versions as two 32-bit halves, "a.b.c.d" = a<<16|b, c<<16|d.
  uint32_t FileVersionHigh = 0, FileVersionLow = 0;
  uint32_t ProductVersionHigh = 0, ProductVersionLow = 0;
  uint32_t FileFlagsMask = 0x3F, FileFlags = 0;
  uint32_t FileOs = 0x00040004;  // VOS_NT_WINDOWS32
  uint32_t FileType = 1;         // VFT_APP
  uint32_t FileSubtype = 0;
  // The string table's language and code page ("040904B0": U.S. English, UTF-16).
  uint16_t Language = 0x0409;
  uint16_t CodePage = 1200;
  // Key and value of the string table, in order (only the first table when reading).
  std::vector<std::pair<std::u16string, std::u16string>> Strings;

  // The value of key in Strings, or "".
  std::u16string String(const std::u16string& key) const;
};

// False with problem set when bytes are no version resource or its blocks do not hold
// together (every length is checked against the block around it).
bool ParseVersionResource(const uint8_t* bytes, size_t size, TVersionInfo& info, std::string& problem);

// The bytes of a version resource holding info: the fixed numbers, one string table with
// Strings, and the translation (Language, CodePage).
std::vector<uint8_t> FormatVersionResource(const TVersionInfo& info);

// The numbers a version text starts with ("5.2.0" -> 5.2.0.0, "1.1 beta" -> 1.1.0.0): one
// to four numbers of 0..65535 separated by dots. False when the text starts otherwise.
bool ParseVersionNumbers(const std::string& text, uint32_t& high, uint32_t& low);
