#pragma once
// The companion's check against the real run: the patch engine over a record of changes
// must give every record the outcome (and row) that a real run over a copy of the same files
// gives it, and must leave the files as that run leaves them, for the patch as built and for
// damaged copies of it.
#include <cstdint>
#include <string>
#include <vector>

#include "files/memory_file_system.h"

void ExpectCheckMatchesRun(const TMemoryFileSystem& files, const std::string& root,
                           const std::vector<uint8_t>& data);
