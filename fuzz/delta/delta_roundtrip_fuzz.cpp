// The delta encoder against the engine's decoder: any pair of versions must round-trip, and
// the delta must pass the decoder's structural check.
//
// Input: 2 bytes little-endian n, then the old version (the next n bytes, fewer when the
// input ends), then the new version (the rest). A short input is a pair of short versions.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "delta/delta_encoder.h"
#include "delta/delta_decoder.h"
#include "delta/memory_blocks.h"

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
  TMemoryBlockSource source(oldData, oldSize);
  TMemoryBlockTarget target;
  if (ApplyDelta(delta.data(), delta.size(), source, target, nullptr).Status != TDeltaStatus::Applied) std::abort();
  if (target.Bytes.size() != newSize || std::memcmp(target.Bytes.data(), newData, newSize) != 0) std::abort();
  return 0;
}
