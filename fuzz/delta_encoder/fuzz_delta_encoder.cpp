// The delta encoder against the engine's decoder: any pair of versions must round-trip, and
// the delta must pass the decoder's structural check.
//
// Input: 2 bytes little-endian n, then the old version (the next n bytes, fewer when the
// input ends), then the new version (the rest). A short input is a pair of short versions.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "menditwiz/delta_encoder.h"
#include "patch/delta_decoder.h"

namespace {

class TSource : public TBlockSource {
 public:
  TSource(const uint8_t* data, size_t size) : data(data), size(size) {}
  bool ReadBlock(int64_t offset, uint8_t* block) override {
    const size_t at = static_cast<size_t>(offset);
    const size_t n = at < size ? (size - at < DeltaBlockSize ? size - at : DeltaBlockSize) : 0;
    if (n) std::memcpy(block, data + at, n);
    std::memset(block + n, 0, DeltaBlockSize - n);
    return true;
  }

 private:
  const uint8_t* data;
  size_t size;
};

class TTarget : public TBlockTarget {
 public:
  bool WriteBlock(int64_t offset, const uint8_t* bytes, size_t size) override {
    const size_t end = static_cast<size_t>(offset) + size;
    if (data.size() < end) data.resize(end);
    std::memcpy(data.data() + offset, bytes, size);
    return true;
  }
  std::vector<uint8_t> data;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 2) return 0;
  size_t oldSize = input[0] | (static_cast<size_t>(input[1]) << 8);
  input += 2;
  size -= 2;
  if (oldSize > size) oldSize = size;
  const uint8_t* oldData = input;
  const uint8_t* newData = input + oldSize;
  const size_t newSize = size - oldSize;

  std::vector<uint8_t> delta;
  const bool encoded = EncodeDelta(oldData, oldSize, newData, newSize, delta);
  if (newSize == 0) {
    if (encoded || !delta.empty()) std::abort();  // an empty file cannot be a delta
    return 0;
  }
  if (!encoded || CheckDelta(delta.data(), delta.size()).Status != TDeltaStatus::Applied) std::abort();
  TSource source(oldData, oldSize);
  TTarget target;
  if (ApplyDelta(delta.data(), delta.size(), source, target, nullptr).Status != TDeltaStatus::Applied) std::abort();
  if (target.data.size() != newSize || std::memcmp(target.data.data(), newData, newSize) != 0) std::abort();
  return 0;
}
