// Arbitrary data through the LZX encoder: one even-sized chunk per frame, none larger than a
// data block may hold, and (with libmspack) decoded back byte for byte.
//
// Input: the first byte picks the window (15 + byte % 7 bits), the rest is the data.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "lzx/lzx_encoder.h"
#ifdef LZX_FUZZ_DECODE
#include "tests/support/mspack_lzx_reader.h"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 1) return 0;
  const int windowBits = LzxMinWindowBits + input[0] % 7;
  const std::vector<uint8_t> data(input + 1, input + size);
  const std::vector<std::vector<uint8_t>> chunks = LzxCompress(data.data(), data.size(), windowBits);
  if (chunks.size() != (data.size() + LzxFrameSize - 1) / LzxFrameSize) std::abort();
  for (const auto& chunk : chunks) {
    if (chunk.empty() || chunk.size() % 2 != 0 || chunk.size() > LzxMaxChunkSize) std::abort();
  }
#ifdef LZX_FUZZ_DECODE
  if (!data.empty()) {
    std::vector<uint8_t> decoded;
    std::string error;
    if (!ExtractWithMspack(LzxChunksToCabinet(chunks, data.size(), windowBits), decoded, error)) std::abort();
    if (decoded != data) std::abort();
  }
#endif
  return 0;
}
