#pragma once
// The two ends of a modify patch over open files: the previous version read through a
// cache, the new file written through a buffer.
//
// A delta reads the previous version 256 bytes at a time at any offset, but the blocks
// of a real delta mostly follow each other (a file with an insertion is the old file
// shifted), so reading a window of the previous version at a time turns thousands of small
// reads into one. Likewise consecutive blocks of the new file are gathered into one write.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "delta/delta_decoder.h"
#include "files/file_system.h"

// Two windows: a large one that follows the main run of the delta through the previous
// version, and a small one for the odd block taken from elsewhere, so that a stray block
// does not throw away the large window (and cost two large reads). Misses in a row away
// from the large window mean the run has moved: the large window follows it there.
class TCachedBlockSource : public TBlockSource {
 public:
  static constexpr size_t DefaultWindow = 1024 * 1024;
  explicit TCachedBlockSource(TInputFile& file, size_t window = DefaultWindow);
  bool ReadBlock(int64_t offset, uint8_t* block) override;
  const uint8_t* BlockAt(int64_t offset, uint8_t* scratch) override;

 private:
  struct TCacheWindow {
    std::vector<uint8_t> Bytes;
    int64_t Start = 0;
    size_t Length = 0;
    bool EndsFile = false;  // the window reached the end of the file
    bool Filled = false;
    bool Covers(int64_t offset) const;
    bool Fill(TInputFile& file, int64_t offset);
    // The block at offset (which the window covers), in place or copied to scratch.
    const uint8_t* Block(int64_t offset, uint8_t* scratch) const;
  };

  TInputFile& File;
  TCacheWindow Main;
  TCacheWindow Stray;
  int StrayRun = 0;  // small-window fills in a row, each following on from the last
};

// Writes must be finished with Flush; what is still buffered when the object is destroyed
// is dropped (the caller is discarding a failed file then).
class TBufferedBlockTarget : public TBlockTarget {
 public:
  static constexpr size_t DefaultBuffer = 1024 * 1024;
  explicit TBufferedBlockTarget(TOutputFile& file, size_t capacity = DefaultBuffer);
  bool WriteBlock(int64_t offset, const uint8_t* bytes, size_t size) override;
  bool Flush();

 private:
  TOutputFile& File;
  std::vector<uint8_t> Buffer;
  int64_t BufferStart = 0;
  size_t BufferLength = 0;
};
