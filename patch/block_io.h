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

#include "delta_decoder.h"
#include "file_system.h"

class TCachedBlockSource : public TBlockSource {
 public:
  static constexpr size_t DefaultWindow = 64 * 1024;
  explicit TCachedBlockSource(TInputFile& file, size_t window = DefaultWindow);
  bool ReadBlock(int64_t offset, uint8_t* block) override;

 private:
  bool Fill(int64_t offset);

  TInputFile& file;
  std::vector<uint8_t> cache;
  int64_t cacheStart = 0;
  size_t cacheLength = 0;
  bool cacheEndsFile = false;  // the window reached the end of the file
  bool filled = false;
};

// Writes must be finished with Flush; what is still buffered when the object is destroyed
// is dropped (the caller is discarding a failed file then).
class TBufferedBlockTarget : public TBlockTarget {
 public:
  static constexpr size_t DefaultBuffer = 256 * 1024;
  explicit TBufferedBlockTarget(TOutputFile& file, size_t capacity = DefaultBuffer);
  bool WriteBlock(int64_t offset, const uint8_t* bytes, size_t size) override;
  bool Flush();

 private:
  TOutputFile& file;
  std::vector<uint8_t> buffer;
  int64_t bufferStart = 0;
  size_t bufferLength = 0;
};
