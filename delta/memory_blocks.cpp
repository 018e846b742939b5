#include "memory_blocks.h"

#include <cstring>

bool TMemoryBlockSource::ReadBlock(int64_t offset, uint8_t* block) {
  // Compared as 64-bit values: on a 32-bit build a far offset must not wrap into the data.
  size_t n = 0, at = 0;
  if (offset >= 0 && static_cast<uint64_t>(offset) < size) {
    at = static_cast<size_t>(offset);
    n = size - at < DeltaBlockSize ? size - at : DeltaBlockSize;
  }
  if (n) std::memcpy(block, data + at, n);
  std::memset(block + n, 0, DeltaBlockSize - n);
  return true;
}

bool TMemoryBlockTarget::WriteBlock(int64_t offset, const uint8_t* bytes, size_t size) {
  const size_t end = static_cast<size_t>(offset) + size;
  if (Bytes.size() < end) Bytes.resize(end);
  std::memcpy(Bytes.data() + offset, bytes, size);
  return true;
}
