#pragma once
// The two byte channels through which the generator reads pages and writes its files and
// progress lines. The disk layer implements them over stdio; tests implement them over
// strings, so the whole generator runs without a disk.

#include <cstddef>

// Bytes coming in from one page file.
class TByteSource {
 public:
  virtual ~TByteSource() = default;
  // Fills up to Size bytes of Buffer and returns how many it filled. 0 means the end of the
  // file; a read error is treated as the end of the file (the page then simply ends there).
  virtual size_t Read(char* buffer, size_t size) = 0;
};

// Bytes going out, written exactly as given (no line-end translation at this level).
class TByteSink {
 public:
  virtual ~TByteSink() = default;
  // Writes Size bytes. A failure is remembered by the sink, not returned: the run goes on
  // and the owner asks at the end (see TOutputSink::Close).
  virtual void Put(const char* data, size_t size) = 0;
};

// One output file of the run.
class TOutputSink : public TByteSink {
 public:
  // Finishes the file. False when any byte may have been lost (a write or the close failed).
  virtual bool Close() = 0;
};
