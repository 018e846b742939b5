#pragma once
// The adapters between the installer's steps and the files they read and write: the ends of
// the block decoder and of the difference decoder over open files, an output that hashes what
// passes through it, and the progress shown while a record is rebuilt. (The cached source and
// the buffered target of a block delta: block_io.h.)
//
// Each read of a large piece first lets the owner dispatch waiting window messages through
// its message pump, so a long record keeps the window answering.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "delta/delta_decoder.h"
#include "difference/difference_decoder.h"
#include "files/file_system.h"
#include "hash/sha256.h"
#include "hash/sha256_pipe.h"
#include "report/patch_reporter.h"

// The owner's "dispatch waiting window messages" step (TPatchFile::SetMessageHook).
using TMessageHook = void (*)(void* context);

struct TMessagePump {
  TMessageHook Hook = nullptr;
  void* Context = nullptr;
  void operator()() const {
    if (Hook) Hook(Context);
  }
};

// Copy records are moved from the data file, and files are hashed and compared, in pieces
// of this size.
inline constexpr size_t PieceSize = 256 * 1024;

// A block target that writes nothing: it compares each block with the bytes an existing
// file holds there, as far as the file reaches, and fails at the first difference. The
// file is read a window at a time.
class TMatchingBlockTarget : public TBlockTarget {
 public:
  TMatchingBlockTarget(TInputFile& file, int64_t size) : File(file), FileSize(size), Window(PieceSize) {}
  bool WriteBlock(int64_t offset, const uint8_t* bytes, size_t count) override;
  // Where the last byte the delta writes ends.
  int64_t End() const { return end; }

 private:
  TInputFile& File;
  int64_t FileSize;
  std::vector<uint8_t> Window;
  int64_t Start = 0;
  int64_t Length = 0;
  int64_t end = 0;
};

// A stretch of a file as the difference decoder reads it: a record's data in the patch data
// file, or the whole previous version. The pump runs before the first read and again once
// PumpEvery bytes were read since, so the decoder's walks over a large record keep the window
// answering; an executable record reads the old file in many small pieces (about 390,000 for
// a 120 MB program), and a pump before each would cost more than the reads.
class TFileRangeSource : public TDifferenceSource {
 public:
  TFileRangeSource(TInputFile& file, int64_t start, int64_t size, TMessagePump pump)
      : File(file), Start(start), size(size), Pump(pump) {}
  int64_t Size() override { return size; }
  bool Read(int64_t offset, uint8_t* bytes, size_t count) override;

 private:
  TInputFile& File;
  static constexpr int64_t PumpEvery = 256 * 1024;
  int64_t Start;
  int64_t size;
  TMessagePump Pump;
  int64_t SincePump = PumpEvery;  // bytes read since the pump last ran
};

// The new version, written in order to an output file.
class TFileDifferenceSink : public TDifferenceSink {
 public:
  explicit TFileDifferenceSink(TOutputFile& file) : File(file) {}
  bool Write(const uint8_t* bytes, size_t count) override;

 private:
  TOutputFile& File;
  int64_t Position = 0;
};

// Writes nothing: compares what the decoder writes with the first size bytes of an existing
// file, and stops the decoder at the first difference (Mismatch) or once the file's end is
// reached (Reached).
class TMatchingDifferenceSink : public TDifferenceSink {
 public:
  TMatchingDifferenceSink(TInputFile& file, int64_t size) : File(file), FileSize(size) {}
  bool Write(const uint8_t* bytes, size_t count) override;
  bool Mismatch = false;
  bool Reached = false;

 private:
  TInputFile& File;
  int64_t FileSize;
  int64_t Position = 0;
  std::vector<uint8_t> Buffer;
};

// Shows how much of the new version a difference record has written.
class TDifferenceProgress : public TDifferenceObserver {
 public:
  explicit TDifferenceProgress(TPatchReporter& reporter) : Reporter(reporter) {}
  void Written(int64_t done, int64_t total) override;

 private:
  TPatchReporter& Reporter;
};

// Passes writes on to a file and hashes them while they come in order (as a copy and the
// buffered target of a modify patch write them), so the new version is checked without
// reading it again; the hashing runs beside the writing (TSha256Pipe). Writes out of order
// leave the digest unknown (InOrder false).
class THashingOutput : public TOutputFile {
 public:
  // hash false passes the writes on and hashes nothing (a record without checks).
  explicit THashingOutput(TOutputFile& file, bool hash = true)
      : File(file), Hasher(hash && TSha256Pipe::SecondCore()), inOrder(hash) {}
  bool Write(int64_t offset, const void* buffer, size_t size) override;
  bool InOrder() const { return inOrder; }
  int64_t Size() const { return Hashed; }
  TSha256Digest Digest() { return Hasher.Final(); }

 private:
  TOutputFile& File;
  TSha256Pipe Hasher;
  int64_t Hashed = 0;
  bool inOrder;
};

// The previous version as a rebuild reads it, hashed whole on the way, so that the check of
// the old file and the rebuild read its bytes once. The rebuild reads windows in any order,
// mostly forwards: bytes that reach past what is hashed so far are hashed as they pass, a
// read that starts a little ahead (a stretch the new version leaves out) first reads and
// hashes the gap, and a read far ahead (a stray block) leaves the hashing where it is.
// Finish reads and hashes whatever no read reached.
class THashingInput : public TInputFile {
 public:
  // Gaps up to this size are read to keep the hashing in step with the rebuild.
  static constexpr int64_t CatchUpLimit = 1024 * 1024;
  THashingInput(TInputFile& file, TMessagePump pump) : File(file), Pump(pump) {}
  int64_t Read(int64_t offset, void* buffer, size_t count) override;
  int64_t Size() override { return File.Size(); }
  bool GetStamp(TDosStamp& stamp) override { return File.GetStamp(stamp); }
  // The digest of the file's first length bytes; false when part of them could not be read
  // or the system could not hash them.
  bool Finish(int64_t length, TSha256Digest& digest);
  // The bytes the hashing had to read itself (gaps and the rest at the end).
  int64_t ExtraBytes() const { return Extra; }

 private:
  // Reads and hashes from where the hashing stands up to offset.
  bool CatchUp(int64_t offset);
  TInputFile& File;
  TMessagePump Pump;
  TSha256Pipe Hasher;
  int64_t Hashed = 0;
  int64_t Extra = 0;
  int64_t FileSize = -1;  // the file's, asked once when first needed
  bool Failed = false;
};

// Before every block of a block delta: run the pump, then show progress (unless total is 0:
// a pass that only reads).
class TBlockProgress : public TBlockObserver {
 public:
  TBlockProgress(TMessagePump pump, TPatchReporter& reporter, int32_t total)
      : Pump(pump), Reporter(reporter), Total(total) {}
  void BeforeBlock(int32_t destination) override;

 private:
  TMessagePump Pump;
  TPatchReporter& Reporter;
  int32_t Total;
};
