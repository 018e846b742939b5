#pragma once
// The two ends of a modify patch in memory: the previous version as a byte range, the new
// file as a growing byte vector. For the builder's checks, its benchmark and fuzz targets,
// which apply deltas without files.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "delta_decoder.h"

// Reads blocks of size bytes at data, which must outlive the source; bytes past the end
// read as zero, as they do from a file.
class TMemoryBlockSource : public TBlockSource {
 public:
  TMemoryBlockSource(const uint8_t* data, size_t size) : data(data), size(size) {}
  bool ReadBlock(int64_t offset, uint8_t* block) override;

 private:
  const uint8_t* data;
  size_t size;
};

// Collects the written blocks in Bytes, growing it (gaps filled with zeros) as needed.
class TMemoryBlockTarget : public TBlockTarget {
 public:
  bool WriteBlock(int64_t offset, const uint8_t* bytes, size_t size) override;
  std::vector<uint8_t> Bytes;
};
