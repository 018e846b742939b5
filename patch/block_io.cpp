#include "block_io.h"

#include <algorithm>
#include <cstring>

namespace {
// Windows start at a multiple of this, so a run of blocks reading slightly backwards still
// hits the window it has just filled.
constexpr int64_t WindowAlign = 4096;
}  // namespace

TCachedBlockSource::TCachedBlockSource(TInputFile& file, size_t window)
    : file(file), cache(std::max(window, DeltaBlockSize + static_cast<size_t>(WindowAlign))) {}

bool TCachedBlockSource::Fill(int64_t offset) {
  const int64_t start = offset - offset % WindowAlign;
  const int64_t n = file.Read(start, cache.data(), cache.size());
  if (n < 0) return false;
  cacheStart = start;
  cacheLength = static_cast<size_t>(n);
  cacheEndsFile = cacheLength < cache.size();
  filled = true;
  return true;
}

bool TCachedBlockSource::ReadBlock(int64_t offset, uint8_t* block) {
  if (offset < 0) return false;
  const int64_t cacheEnd = cacheStart + static_cast<int64_t>(cacheLength);
  const bool covered = filled && offset >= cacheStart &&
                       (offset + static_cast<int64_t>(DeltaBlockSize) <= cacheEnd || cacheEndsFile);
  if (!covered && !Fill(offset)) return false;
  const int64_t end = cacheStart + static_cast<int64_t>(cacheLength);
  const size_t available =
      offset >= end ? 0 : std::min(DeltaBlockSize, static_cast<size_t>(end - offset));
  if (available) std::memcpy(block, cache.data() + (offset - cacheStart), available);
  // Nothing could be read past the end of the previous version: those bytes are zero.
  std::memset(block + available, 0, DeltaBlockSize - available);
  return true;
}

TBufferedBlockTarget::TBufferedBlockTarget(TOutputFile& file, size_t capacity)
    : file(file), buffer(std::max(capacity, DeltaBlockSize)) {}

bool TBufferedBlockTarget::WriteBlock(int64_t offset, const uint8_t* bytes, size_t size) {
  if (offset < 0 || size > buffer.size()) return false;
  const int64_t end = bufferStart + static_cast<int64_t>(bufferLength);
  if (bufferLength > 0 && offset >= bufferStart &&
      offset + static_cast<int64_t>(size) <= end) {
    // Overwrites bytes still in the buffer: the buffer holds the newest bytes there.
    std::memcpy(buffer.data() + (offset - bufferStart), bytes, size);
    return true;
  }
  if (bufferLength > 0 && offset == end && bufferLength + size <= buffer.size()) {
    std::memcpy(buffer.data() + bufferLength, bytes, size);
    bufferLength += size;
    return true;
  }
  // Anything else goes to the file in order: earlier bytes first, then these.
  if (!Flush()) return false;
  bufferStart = offset;
  std::memcpy(buffer.data(), bytes, size);
  bufferLength = size;
  return true;
}

bool TBufferedBlockTarget::Flush() {
  if (bufferLength == 0) return true;
  const bool ok = file.Write(bufferStart, buffer.data(), bufferLength);
  bufferLength = 0;
  return ok;
}
