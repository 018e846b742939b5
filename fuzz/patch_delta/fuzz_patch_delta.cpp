// Fuzzes the block delta decoder. Input: two bytes giving the length of the previous
// version, that many bytes of it, then the delta.
//
// Besides the sanitizers' checks it compares the engine's own cached source and buffered
// target against the plain reads and writes of the tests: both must end the same way, at
// the same block, with the same bytes; and CheckDelta must predict malformed blocks.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "patch/block_io.h"
#include "delta/delta_decoder.h"
#include "files/memory_file_system.h"
#include "tests/support/vector_blocks.h"

namespace {

// New files stay below this size, so a destination near 2 GB cannot exhaust memory.
constexpr int64_t MaxNewSize = 1 << 20;

class TLimitedTarget : public TBlockTarget {
 public:
  explicit TLimitedTarget(TBlockTarget& inner) : inner(inner) {}
  bool WriteBlock(int64_t offset, const uint8_t* bytes, size_t size) override {
    if (offset + static_cast<int64_t>(size) > MaxNewSize) return false;
    return inner.WriteBlock(offset, bytes, size);
  }

 private:
  TBlockTarget& inner;
};

class TVectorOutput : public TOutputFile {
 public:
  TVectorTarget Target;
  bool Write(int64_t offset, const void* buffer, size_t size) override {
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    // Through the plain target in 256-byte pieces, which is all it takes.
    for (size_t done = 0; done < size; done += DeltaBlockSize) {
      const size_t n = size - done < DeltaBlockSize ? size - done : DeltaBlockSize;
      Target.WriteBlock(offset + static_cast<int64_t>(done), bytes + done, n);
    }
    return true;
  }
};

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t previousSize = data[0] | (data[1] << 8);
  if (previousSize > size - 2) previousSize = size - 2;
  const std::vector<uint8_t> previous(data + 2, data + 2 + previousSize);
  const uint8_t* delta = data + 2 + previousSize;
  const size_t deltaSize = size - 2 - previousSize;

  TVectorSource plainSource(previous);
  TVectorTarget plainTarget;
  TLimitedTarget plainLimited(plainTarget);
  const TDeltaResult plain = ApplyDelta(delta, deltaSize, plainSource, plainLimited, nullptr);

  TMemoryInputFile previousFile(previous);
  TCachedBlockSource cachedSource(previousFile, 4096 + 256);
  TVectorOutput output;
  TBufferedBlockTarget buffered(output, 1024);
  TLimitedTarget bufferedLimited(buffered);
  TDeltaResult engine = ApplyDelta(delta, deltaSize, cachedSource, bufferedLimited, nullptr);
  if (engine.Status == TDeltaStatus::Applied && !buffered.Flush()) engine.Status = TDeltaStatus::WriteFailed;

  Require(plain.Status == engine.Status);
  Require(plain.BlockOffset == engine.BlockOffset);
  if (plain.Status == TDeltaStatus::Applied) Require(plainTarget.Bytes == output.Target.Bytes);

  const TDeltaResult check = CheckDelta(delta, deltaSize);
  if (check.Status == TDeltaStatus::Applied) {
    Require(plain.Status != TDeltaStatus::Malformed);
  } else {
    Require(plain.Status != TDeltaStatus::Applied);
    if (plain.Status == TDeltaStatus::Malformed) Require(plain.BlockOffset == check.BlockOffset);
  }
  return 0;
}
