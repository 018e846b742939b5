#pragma once
// The block delta of a modify patch: decoding over byte buffers and two small interfaces.
//
// A delta is a sequence of blocks, each with an 8-byte header of two 32-bit signed
// little-endian numbers, destination and source:
//   source >= 0  copy block: 256 bytes of the previous version at source, changed by an edit
//                list of (offset, count, count bytes) entries ended only by (0, 0); writes
//                256 bytes at destination. Occupies 8 + sum(2 + count) + 2 bytes.
//   source -1    literal block of 256 bytes; -2 ... -256: of -source - 1 bytes (1 ... 255).
//                Always occupies 8 + 256 bytes, the bytes after the first n being filler.
// Blocks come in any destination order; they are applied in one forward pass while
// the position is below the delta's length (the first block is always applied).
//
// A delta that breaks these rules (an edit past the 256-byte block, an edit list or
// literal block running past the end of the delta, a source below -256, a negative
// destination, or a block reaching past 2 GB) is malformed: decoding stops at that block,
// and nothing is ever read outside the delta or written outside the block buffer.

#include <cstddef>
#include <cstdint>

constexpr size_t DeltaBlockSize = 256;
constexpr size_t DeltaHeaderSize = 8;
constexpr size_t LiteralBlockSize = DeltaHeaderSize + DeltaBlockSize;

// The previous version of the file.
class TBlockSource {
 public:
  virtual ~TBlockSource() = default;
  // Fills block with the DeltaBlockSize bytes at offset (>= 0). Bytes that lie past the
  // end of the previous version are set to zero. False on a read error.
  virtual bool ReadBlock(int64_t offset, uint8_t* block) = 0;
  // The same bytes without a copy where the source holds them itself: a pointer, valid
  // until the next call, into the source's own storage or to scratch (DeltaBlockSize
  // bytes), filled by ReadBlock. Null on a read error. The decoder reads through this.
  virtual const uint8_t* BlockAt(int64_t offset, uint8_t* scratch) {
    return ReadBlock(offset, scratch) ? scratch : nullptr;
  }
};

// The new file being rebuilt.
class TBlockTarget {
 public:
  virtual ~TBlockTarget() = default;
  // Writes size bytes (1 ... 256) at offset (>= 0). False on a write error.
  virtual bool WriteBlock(int64_t offset, const uint8_t* bytes, size_t size) = 0;
};

// Told before each block is applied (the installer lets window messages be dispatched
// and reports progress here).
class TBlockObserver {
 public:
  virtual ~TBlockObserver() = default;
  virtual void BeforeBlock(int32_t destination) = 0;
};

enum class TDeltaStatus { Applied, Malformed, ReadFailed, WriteFailed };

struct TDeltaResult {
  TDeltaStatus Status;
  size_t BlockOffset;  // position in the delta of the block that failed (or the delta's size)
};

// Walks the delta's structure without any I/O: Applied when every block is well formed.
TDeltaResult CheckDelta(const uint8_t* delta, size_t size);

// Applies the delta. Each block is checked before anything of it is read or written, so a
// malformed block stops decoding before any of its bytes reach the target.
TDeltaResult ApplyDelta(const uint8_t* delta, size_t size, TBlockSource& source,
                        TBlockTarget& target, TBlockObserver* observer);
