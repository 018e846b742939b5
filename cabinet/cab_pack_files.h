#pragma once
// Packs a list of files into one cabinet (or a set, with a size limit) with the binding's
// building side: the build tools' and the tests' way of making cabinets.

#include <string>
#include <vector>

#include "cab_packer.h"

struct TCabEntry {
  std::string Source;  // file to pack
  std::string Name;    // name inside the cabinet
};

// Builds the cabinet at path from entries, in their order, compressed with MSZIP; sizeLimit
// as MakeCabinet takes it. The library's messages reach packer's Show. True when every step
// succeeded; the cabinet is closed (its context destroyed) whenever it was started.
bool PackFiles(TCABPacker& packer, const std::string& path, const std::vector<TCabEntry>& entries,
               ULONG sizeLimit = 0);

// Packs data as the one file nameInCabinet of a new cabinet at path (an existing file there is
// replaced), through a temporary file that is removed again: how a build tool ships one patch
// data file. True when the cabinet was written.
bool PackData(TCABPacker& packer, const std::string& path, const std::vector<unsigned char>& data,
              const std::string& nameInCabinet);
