#pragma once
// Release files as the builder's tests lay them out, and the pseudo-random contents they use.

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "files/dos_stamp.h"

struct TReleaseTestFile {
  std::string Path;  // relative to the release
  std::vector<uint8_t> Content;
  TDosStamp Stamp;
};

// size bytes below values, fixed by seed: few distinct values compress like code does.
inline std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed, unsigned values) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random() % values);
  return bytes;
}
