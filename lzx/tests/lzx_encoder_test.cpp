// LZX chunks from our encoder, decoded by libmspack inside a cabinet: every input must come
// back byte for byte, one chunk per frame, each chunk within what a data block may hold.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "lzx/lzx_encoder.h"
#include "lzx/lzx_huffman.h"
#include "tests/support/mspack_lzx_reader.h"

namespace {

uint32_t NextNoise(uint32_t& state) {
  state = state * 1103515245u + 12345u;
  return state >> 24;
}

enum class TKind { Zeros, Noise, Records, FarRepeats, Headers, Periodic, NoisySegmentStarts };

// Records: 256-byte blocks with small headers and slowly changing contents, like the block
// deltas the encoder gets; FarRepeats: noise whose second half repeats the first from far away;
// Headers: a run of 10-byte copy-block headers whose destination and source advance together;
// Periodic: noise repeating every megabyte, across the encoder's 4 MB segments; NoisySegmentStarts:
// records, but noise (stored blocks) where each segment starts.
std::vector<uint8_t> Sample(TKind kind, size_t size) {
  std::vector<uint8_t> bytes(size);
  uint32_t noise = 7;
  for (size_t i = 0; i < size; i++) {
    switch (kind) {
      case TKind::Zeros:
        bytes[i] = 0;
        break;
      case TKind::Noise:
        bytes[i] = static_cast<uint8_t>(NextNoise(noise));
        break;
      case TKind::Records:
        bytes[i] = (i % 256 < 6) ? static_cast<uint8_t>((i / 256) >> (8 * (i % 3)))
                   : (i >= 4096 && NextNoise(noise) > 24) ? bytes[i - 4096]
                                                          : static_cast<uint8_t>(NextNoise(noise) & 0x3F);
        break;
      case TKind::FarRepeats:
        bytes[i] = i >= size / 2 ? bytes[i - size / 2] : static_cast<uint8_t>(NextNoise(noise));
        break;
      case TKind::Periodic:
        bytes[i] = i >= (1u << 20) ? bytes[i - (1u << 20)] : static_cast<uint8_t>(NextNoise(noise));
        break;
      case TKind::NoisySegmentStarts:
        bytes[i] = i % (4u << 20) < 40000 ? static_cast<uint8_t>(NextNoise(noise))
                   : (i % 256 < 6)        ? static_cast<uint8_t>((i / 256) >> (8 * (i % 3)))
                   : (NextNoise(noise) > 24) ? bytes[i - 4096]
                                             : static_cast<uint8_t>(NextNoise(noise) & 0x3F);
        break;
      case TKind::Headers: {
        const uint32_t block = static_cast<uint32_t>(i / 10), field = (i % 10) / 4;
        const uint32_t value = field == 0 ? 0x230000 + block * 256 : 0x23c600 + block * 256;
        bytes[i] = field < 2 ? static_cast<uint8_t>(value >> (8 * (i % 10 % 4))) : 0;
        break;
      }
    }
  }
  return bytes;
}

TEST(LzxEncoder, LibmspackGivesBackEveryByte) {
  struct TCase {
    const char* Name;
    TKind Kind;
    size_t Size;
    int WindowBits;
    double MaxRatio;  // compressed / original at most
    TLzxEffort Effort = TLzxEffort::Best;
  } cases[] = {
      {"one byte", TKind::Noise, 1, 21, 20.0},
      {"two bytes", TKind::Zeros, 2, 21, 10.0},
      {"one frame", TKind::Records, 32768, 21, 0.9},
      {"one frame and a byte", TKind::Records, 32769, 16, 0.9},
      {"zeros", TKind::Zeros, 300000, 21, 0.01},
      {"noise is stored", TKind::Noise, 100000, 21, 1.001},
      {"records", TKind::Records, 500000, 21, 0.7},
      {"repeats within the window", TKind::FarRepeats, 1500000, 21, 0.51},
      {"repeats beyond a small window", TKind::FarRepeats, 200000, 15, 1.001},
      {"repeats within a mid window", TKind::FarRepeats, 200000, 17, 0.51},
      {"beyond the largest window", TKind::Records, 5000000, 21, 0.7},
      {"headers whose counters advance together", TKind::Headers, 200000, 21, 0.19},
      {"segments, repeats across them", TKind::Periodic, 9000000, 21, 0.15},
      {"segments starting with stored blocks", TKind::NoisySegmentStarts, 9000000, 21, 0.7},
      {"records, quick", TKind::Records, 500000, 21, 0.7, TLzxEffort::Quick},
      {"noise, quick", TKind::Noise, 100000, 21, 1.001, TLzxEffort::Quick},
      {"repeats within the window, quick", TKind::FarRepeats, 1500000, 21, 0.51, TLzxEffort::Quick},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<uint8_t> data = Sample(c.Kind, c.Size);
    std::vector<size_t> reported;
    std::vector<std::vector<uint8_t>> chunks = LzxCompress(
        data.data(), data.size(), c.WindowBits, [&](size_t done) { reported.push_back(done); }, c.Effort);
    ASSERT_EQ((c.Size + LzxFrameSize - 1) / LzxFrameSize, chunks.size());
    // Segments encoded side by side still report a growing count, ending at the size.
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()) && reported.back() == c.Size);
    size_t total = 0;
    for (const auto& chunk : chunks) {
      EXPECT_EQ(0u, chunk.size() % 2);
      EXPECT_GE(LzxMaxChunkSize, chunk.size());
      total += chunk.size();
    }
    EXPECT_GE(c.MaxRatio, static_cast<double>(total) / c.Size);
    std::vector<uint8_t> decoded;
    std::string error;
    ASSERT_TRUE(ExtractWithMspack(LzxChunksToCabinet(chunks, data.size(), c.WindowBits), decoded, error)) << error;
    EXPECT_TRUE(decoded == data);
  }
}

TEST(LzxEncoder, NothingForEmptyInputOrAWindowTheFormatLacks) {
  const uint8_t byte = 1;
  EXPECT_EQ(0u, LzxCompress(&byte, 0, 21).size());
  EXPECT_EQ(0u, LzxCompress(&byte, 1, 14).size());
  EXPECT_EQ(0u, LzxCompress(&byte, 1, 22).size());
}

// Fibonacci frequencies give the deepest trees: lengths must stay within the limit and the
// code must stay complete (decoders reject a code with unused bit patterns).
TEST(LzxHuffman, LengthsStayLimitedAndComplete) {
  struct TCase {
    std::vector<uint32_t> Freq;
    unsigned Limit;
  } cases[] = {
      {{}, 16},
      {{0, 0, 9, 0}, 16},
      {{1, 1}, 1},
      {{}, 15},
  };  // fewer than two symbols make no code
  uint32_t a = 1, b = 1;
  for (int i = 0; i < 40; i++) {
    cases[0].Freq.push_back(a);
    cases[3].Freq.push_back(i % 3 ? a : 0);
    uint32_t next = a + b;
    a = b;
    b = next % 1000000000u;
  }
  for (const TCase& c : cases) {
    std::vector<uint8_t> lens(c.Freq.size());
    BuildCodeLengths(c.Freq.data(), c.Freq.size(), c.Limit, lens.data());
    uint64_t kraft = 0;
    for (size_t i = 0; i < lens.size(); i++) {
      EXPECT_GE(c.Limit, lens[i]);
      if (c.Freq[i] > 0) {
        EXPECT_LT(0, lens[i]);
      }
      if (lens[i]) kraft += uint64_t{1} << (32 - lens[i]);
    }
    if (lens.size() >= 2) {
      EXPECT_EQ(uint64_t{1} << 32, kraft);
    }
  }
}

}  // namespace
