#pragma once
// The patch from one release of an application to the next, made with the project's patch
// writer: a copy record for every new file, a delete record for every file that is gone, and
// a modify record (block delta) for every file whose contents changed. Paths start with
// "&ROOT&", the directory mendit's user points at.

#include <cstdint>
#include <string>
#include <vector>

#include "sample_app.h"

// The block delta rebuilding next from previous: each 256-byte block of next found anywhere
// in previous is copied from there, everything else is literal.
std::vector<uint8_t> BlockDelta(const std::vector<unsigned char>& previous, const std::vector<unsigned char>& next);

// The patch data file; summary gets one line per record.
std::vector<uint8_t> ReleasePatch(const std::vector<TSampleFile>& from, const std::vector<TSampleFile>& to,
                                  std::string& summary);
