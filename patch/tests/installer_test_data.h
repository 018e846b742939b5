#pragma once
// Data the installer's tests share, over the in-memory and the real file system alike: the
// date/times of the old and new files, the first report of every run, and file contents.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/dos_stamp.h"

constexpr TDosStamp oldStamp = MakeDosStamp(2001, 5, 6, 7, 8, 10);
constexpr TDosStamp newStamp = MakeDosStamp(2002, 3, 4, 5, 6, 8);
inline const std::string reading = "INFO Reading patch directory...";

inline std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// size bytes of a counting sequence that does not repeat every 256 bytes, shifted by seed.
inline std::vector<uint8_t> Counting(size_t size, int seed = 0) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 13 + seed + i / 251);
  return bytes;
}
