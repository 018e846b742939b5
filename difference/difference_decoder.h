#pragma once
// Applies a difference record (difference/README.md) in one forward pass with bounded
// memory, whatever the files' sizes: the record and the old file are read through a
// TDifferenceSource at explicit offsets, the new file is written in order to a
// TDifferenceSink. Buffers: about 0.8 MB in all.
//
// Every entry is checked before anything is read for it or written, and ApplyDifference
// walks the control and runs streams once before it writes its first byte, so a damaged or
// hostile record ends with Malformed and nothing written, and never reads or writes outside
// the ranges its header announces.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "difference_format.h"

// A file read at explicit offsets: the record, or the old file.
class TDifferenceSource {
 public:
  virtual ~TDifferenceSource() = default;
  // The length in bytes; -1 when it cannot be determined.
  virtual int64_t Size() = 0;
  // Reads exactly size bytes (size > 0) at offset; offset + size never exceeds Size().
  // False on a read error or when fewer bytes could be read.
  virtual bool Read(int64_t offset, uint8_t* bytes, size_t size) = 0;
};

// The new file, written from its first byte to its last.
class TDifferenceSink {
 public:
  virtual ~TDifferenceSink() = default;
  // Appends size bytes (size > 0). False on a write error.
  virtual bool Write(const uint8_t* bytes, size_t size) = 0;
};

// Told after each piece of the new file reaches the sink (at most every 256 KB), so that
// the caller can report progress or let window messages through.
class TDifferenceObserver {
 public:
  virtual ~TDifferenceObserver() = default;
  virtual void Written(int64_t done, int64_t total) = 0;
};

enum class TDifferenceStatus {
  Applied,       // the whole new file went to the sink (Check: the record is well formed)
  Malformed,     // a header field, length or seek out of range; nothing written
  WrongOldSize,  // the old file is not the size the record was made from; nothing written
  ReadFailed,
  WriteFailed,
};

// Reads and checks the header alone: magic, version, sizes, and that the record's size is
// what the header announces.
TDifferenceStatus ReadDifferenceHeader(TDifferenceSource& record, TDifferenceHeader& header);

// Walks the header, the control and the runs streams without reading the old file or writing:
// Applied when ApplyDifference would find every entry in range.
TDifferenceStatus CheckDifference(TDifferenceSource& record, TDifferenceHeader* header = nullptr);

// Checks the record as CheckDifference does and the old file's size, then writes the new
// file to sink. Bytes already given to the sink when a read or write fails are the
// caller's to discard.
TDifferenceStatus ApplyDifference(TDifferenceSource& record, TDifferenceSource& old, TDifferenceSink& sink,
                                  TDifferenceObserver* observer = nullptr);

// Over bytes in memory (tests, the builder's own checks).
class TMemoryDifferenceSource : public TDifferenceSource {
 public:
  TMemoryDifferenceSource(const uint8_t* bytes, size_t size) : bytes(bytes), size(size) {}
  explicit TMemoryDifferenceSource(const std::vector<uint8_t>& bytes) : bytes(bytes.data()), size(bytes.size()) {}
  int64_t Size() override { return static_cast<int64_t>(size); }
  bool Read(int64_t offset, uint8_t* out, size_t count) override;

 private:
  const uint8_t* bytes;
  size_t size;
};

class TVectorDifferenceSink : public TDifferenceSink {
 public:
  std::vector<uint8_t> Bytes;
  bool Write(const uint8_t* bytes, size_t size) override {
    Bytes.insert(Bytes.end(), bytes, bytes + size);
    return true;
  }
};
