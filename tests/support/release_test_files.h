#pragma once
// Release files as the round-trip tests lay them out, with the pseudo-random contents they use.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/dos_stamp.h"
#include "tests/support/random_bytes.h"

struct TReleaseTestFile {
  std::string Path;  // relative to the release
  std::vector<uint8_t> Content;
  TDosStamp Stamp;
};
