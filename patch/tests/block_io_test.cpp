// The cached previous version and the buffered new file must give exactly what plain
// reads and writes give, whatever the order of the blocks.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "hash/sha256.h"
#include "patch/block_io.h"
#include "patch/record_io.h"
#include "files/memory_file_system.h"
#include "tests/support/vector_blocks.h"
#include "tests/support/random_bytes.h"

namespace {

class TCountingInput : public TMemoryInputFile {
 public:
  using TMemoryInputFile::TMemoryInputFile;
  int Reads = 0;
  int64_t Read(int64_t offset, void* buffer, size_t size) override {
    ++Reads;
    return TMemoryInputFile::Read(offset, buffer, size);
  }
};

class TVectorOutput : public TOutputFile {
 public:
  std::vector<uint8_t> Bytes;
  int Writes = 0;
  bool Write(int64_t offset, const void* buffer, size_t size) override {
    ++Writes;
    const size_t at = static_cast<size_t>(offset);
    if (Bytes.size() < at + size) Bytes.resize(at + size, 0);
    std::copy(static_cast<const uint8_t*>(buffer), static_cast<const uint8_t*>(buffer) + size,
              Bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
  }
};

std::vector<uint8_t> Random(size_t size, unsigned seed) { return RandomBytes(size, seed); }

TEST(CachedBlockSource, GivesWhatPlainReadsGive) {
  const std::vector<uint8_t> previous = Random(100000, 1);
  TCountingInput input(previous);
  TCachedBlockSource cached(input, 8192);
  TVectorSource plain(previous);
  std::mt19937 random(2);
  std::vector<int64_t> offsets = {0, 1, 99744, 99745, 99999, 100000, 150000, 4095, 4096, 8191};
  for (int i = 0; i < 2000; ++i) offsets.push_back(random() % 101000);
  for (int64_t at = 50000; at > 40000; at -= 300) offsets.push_back(at);  // walking backwards
  for (int64_t offset : offsets) {
    SCOPED_TRACE(offset);
    uint8_t wantScratch[DeltaBlockSize], gotScratch[DeltaBlockSize];
    ASSERT_TRUE(plain.ReadBlock(offset, wantScratch));
    const uint8_t* got = cached.BlockAt(offset, gotScratch);
    ASSERT_NE(nullptr, got);
    const std::vector<uint8_t> want(wantScratch, wantScratch + DeltaBlockSize);
    ASSERT_EQ(want, std::vector<uint8_t>(got, got + DeltaBlockSize));
    ASSERT_TRUE(cached.ReadBlock(offset, gotScratch));  // the copying form gives the same
    ASSERT_EQ(want, std::vector<uint8_t>(gotScratch, gotScratch + DeltaBlockSize));
  }
}

TEST(CachedBlockSource, ReadsAShiftedFileInFewReads) {
  const std::vector<uint8_t> previous = Random(1 << 20, 3);
  TCountingInput input(previous);
  TCachedBlockSource cached(input, 64 * 1024);
  uint8_t block[DeltaBlockSize];
  for (int64_t at = 13; at < (1 << 20); at += 256) ASSERT_NE(nullptr, cached.BlockAt(at, block));
  // 1 MB in windows of 64 KB (they overlap by up to 4 KB, as they start at 4 KB boundaries).
  EXPECT_GE(18, input.Reads);
}

TEST(CachedBlockSource, StrayBlocksDoNotCostTheMainWindow) {
  const std::vector<uint8_t> previous = Random(1 << 20, 3);
  TCountingInput input(previous);
  TCachedBlockSource cached(input, 64 * 1024);
  uint8_t block[DeltaBlockSize];
  int strays = 0;
  for (int64_t at = 13, n = 0; at < (1 << 20); at += 256, ++n) {
    ASSERT_NE(nullptr, cached.BlockAt(at, block));
    if (n % 100 == 99) {
      ASSERT_NE(nullptr, cached.BlockAt((at * 7919) % (1 << 20), block));  // a block from far away
      ++strays;
    }
  }
  // The 18 windows of the run, and one small read per stray block at most.
  EXPECT_GE(18 + strays, input.Reads);
}

TEST(CachedBlockSource, FollowsARunThatMoved) {
  const std::vector<uint8_t> previous = Random(4 << 20, 3);
  TCountingInput input(previous);
  TCachedBlockSource cached(input, 256 * 1024);
  uint8_t block[DeltaBlockSize];
  for (int64_t at = 0; at < (1 << 20); at += 256) ASSERT_NE(nullptr, cached.BlockAt(at, block));
  const int before = input.Reads;
  for (int64_t at = 3 << 20; at < (4 << 20); at += 256) ASSERT_NE(nullptr, cached.BlockAt(at, block));
  // Two small reads to see that the run goes on there, then windows of 256 KB again.
  EXPECT_GE(2 + 5, input.Reads - before);
}

TEST(CachedBlockSource, ReportsReadErrors) {
  class TBroken : public TMemoryInputFile {
   public:
    using TMemoryInputFile::TMemoryInputFile;
    int64_t Read(int64_t, void*, size_t) override { return -1; }
  };
  std::vector<uint8_t> bytes(1000);
  TBroken input(bytes);
  TCachedBlockSource cached(input);
  uint8_t block[DeltaBlockSize];
  EXPECT_EQ(nullptr, cached.BlockAt(0, block));
  EXPECT_FALSE(cached.ReadBlock(0, block));
}

TEST(BufferedBlockTarget, WritesWhatPlainWritesWrite) {
  std::mt19937 random(4);
  TVectorOutput output;
  TBufferedBlockTarget buffered(output, 4096);
  TVectorTarget plain;
  const std::vector<uint8_t> data = Random(256, 5);
  for (int i = 0; i < 5000; ++i) {
    // Mostly consecutive blocks, now and then a jump backwards, forwards or an overlap.
    static int64_t next = 0;
    const int kind = random() % 10;
    int64_t at = kind < 7 ? next : kind < 8 ? (random() % 200000) : kind < 9 ? next - 100 : next + 1000;
    if (at < 0) at = 0;
    const size_t size = 1 + random() % 256;
    ASSERT_TRUE(buffered.WriteBlock(at, data.data(), size));
    plain.WriteBlock(at, data.data(), size);
    next = at + static_cast<int64_t>(size);
  }
  ASSERT_TRUE(buffered.Flush());
  EXPECT_EQ(plain.Bytes, output.Bytes);
  EXPECT_GT(5000 / 3, output.Writes);
}

}  // namespace

// The old file hashed on the way while a rebuild reads it in any order: the digest is the
// whole file's, and the hashing reads only what no read reached (the gaps it catches up on
// and the rest at the end).
TEST(HashingInput, HashesTheWholeFileWhateverTheReadOrder) {
  const std::vector<uint8_t> file = Random(5 << 20, 3);
  const int64_t MB = 1 << 20;
  const struct {
    const char* Name;
    std::vector<std::pair<int64_t, size_t>> Reads;  // offset, count
    int64_t Extra;                                  // bytes the hashing read itself
  } cases[] = {
      {"no reads", {}, 5 * MB},
      {"in order", {{0, MB}, {MB, 2 * MB}, {3 * MB, 2 * MB}}, 0},
      {"overlapping and backwards", {{0, MB}, {MB / 2, MB}, {0, 10}, {MB + MB / 2, 4 * MB}}, 0},
      {"a small gap", {{0, MB}, {MB + 4096, 4 * MB}}, 4096},
      {"a stray read far ahead", {{0, MB}, {4 * MB, 256}, {MB, 4 * MB}}, 0},
      {"a jump too far to catch up", {{0, MB}, {3 * MB, MB}, {4 * MB, MB}}, 4 * MB},
      {"past the end", {{0, 5 * MB - 100}, {5 * MB + 100, 256}}, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TCountingInput source(file);
    THashingInput reading(source, TMessagePump());
    std::vector<uint8_t> buffer;
    for (const auto& read : c.Reads) {
      buffer.resize(read.second);
      const int64_t got = reading.Read(read.first, buffer.data(), read.second);
      ASSERT_EQ(std::min<int64_t>(read.second, std::max<int64_t>(0, 5 * MB - read.first)), got);
    }
    TSha256Digest digest;
    ASSERT_TRUE(reading.Finish(5 * MB, digest));
    EXPECT_EQ(Sha256(file.data(), file.size()), digest);
    EXPECT_EQ(c.Extra, reading.ExtraBytes());
  }
  // A read error on the way leaves no digest.
  TCountingInput source(file);
  THashingInput reading(source, TMessagePump());
  TSha256Digest digest;
  EXPECT_FALSE(reading.Finish(6 * MB, digest));
}
