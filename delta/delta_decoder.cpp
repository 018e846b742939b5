#include "delta_decoder.h"

#include <cstring>

#include "byte_order/little_endian.h"

namespace {

// Source values of literal blocks run from -1 (256 bytes) to -256 (255 bytes).
constexpr int32_t LowestSource = -256;
// A block must end within the 2 GB a 32-bit signed destination can address.
constexpr int64_t HighestEnd = INT32_MAX;

// The number of bytes a literal block writes for its source value (-1 ... -256).
size_t LiteralCount(int32_t source) {
  return source == -1 ? DeltaBlockSize : static_cast<size_t>(-static_cast<int64_t>(source) - 1);
}

// Checks the block at pos and gives its length in the delta; false when it is malformed.
bool MeasureBlock(const uint8_t* delta, size_t size, size_t pos, size_t& length) {
  if (size - pos < DeltaHeaderSize) return false;
  const int32_t destination = ReadInt32le(delta + pos);
  const int32_t source = ReadInt32le(delta + pos + 4);
  if (destination < 0 || source < LowestSource) return false;
  if (source < 0) {
    if (size - pos < LiteralBlockSize) return false;
    if (static_cast<int64_t>(destination) + static_cast<int64_t>(LiteralCount(source)) > HighestEnd)
      return false;
    length = LiteralBlockSize;
    return true;
  }
  if (static_cast<int64_t>(destination) + static_cast<int64_t>(DeltaBlockSize) > HighestEnd)
    return false;
  size_t q = pos + DeltaHeaderSize;
  for (;;) {
    if (size - q < 2) return false;
    const size_t offset = delta[q];
    const size_t count = delta[q + 1];
    if (offset == 0 && count == 0) break;
    if (offset + count > DeltaBlockSize) return false;
    if (size - q - 2 < count) return false;
    q += 2 + count;
  }
  length = q + 2 - pos;
  return true;
}

}  // namespace

TDeltaResult CheckDelta(const uint8_t* delta, size_t size) {
  size_t pos = 0;
  do {
    size_t length = 0;
    if (!MeasureBlock(delta, size, pos, length)) return {TDeltaStatus::Malformed, pos};
    pos += length;
  } while (pos < size);
  return {TDeltaStatus::Applied, size};
}

TDeltaResult ApplyDelta(const uint8_t* delta, size_t size, TBlockSource& source,
                        TBlockTarget& target, TBlockObserver* observer) {
  uint8_t block[DeltaBlockSize];
  size_t pos = 0;
  do {
    size_t length = 0;
    if (!MeasureBlock(delta, size, pos, length)) return {TDeltaStatus::Malformed, pos};
    const int32_t destination = ReadInt32le(delta + pos);
    const int32_t from = ReadInt32le(delta + pos + 4);
    if (observer) observer->BeforeBlock(destination);
    if (from >= 0) {
      const uint8_t* bytes = source.BlockAt(from, block);
      if (!bytes) return {TDeltaStatus::ReadFailed, pos};
      size_t q = pos + DeltaHeaderSize;
      if (length > DeltaHeaderSize + 2) {
        // Edits change a copy, never the source's own storage: a later block may take the
        // same bytes again. MeasureBlock has checked every edit against the block and the delta.
        if (bytes != block) std::memcpy(block, bytes, DeltaBlockSize);
        bytes = block;
        for (;;) {
          const size_t offset = delta[q];
          const size_t count = delta[q + 1];
          if (offset == 0 && count == 0) break;
          std::memcpy(block + offset, delta + q + 2, count);
          q += 2 + count;
        }
      }
      if (!target.WriteBlock(destination, bytes, DeltaBlockSize))
        return {TDeltaStatus::WriteFailed, pos};
    } else {
      if (!target.WriteBlock(destination, delta + pos + DeltaHeaderSize, LiteralCount(from)))
        return {TDeltaStatus::WriteFailed, pos};
    }
    pos += length;
  } while (pos < size);
  return {TDeltaStatus::Applied, size};
}
