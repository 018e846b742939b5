#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "difference/difference_decoder.h"
#include "difference/difference_encoder.h"
#include "tests/support/synthetic_code.h"
#include "tests/support/random_bytes.h"

namespace {

using TBytes = std::vector<uint8_t>;

TBytes Random(size_t size, uint32_t seed) { return RandomBytes(size, seed); }

TBytes Joined(const TBytes& a, const TBytes& b) {
  TBytes joined = a;
  joined.insert(joined.end(), b.begin(), b.end());
  return joined;
}

TBytes Part(const TBytes& bytes, size_t from, size_t to) { return TBytes(bytes.begin() + from, bytes.begin() + to); }

// A second reading of the format, written apart from the decoder, into the three streams
// of the classic bsdiff patch; no checks beyond what well-formed records need.
struct TClassicStreams {
  std::vector<int64_t> Control;  // add, copy, seek of each entry
  TBytes Difference;
  TBytes Extra;
};

TClassicStreams PlainRead(const TBytes& record) {
  auto field = [&](size_t at) {
    return static_cast<uint32_t>(record[at] | record[at + 1] << 8 | record[at + 2] << 16 | record[at + 3] << 24);
  };
  size_t control = 40;
  size_t runs = control + field(20);
  size_t changes = runs + field(32);
  const size_t extra = changes + field(28);
  auto number = [&](size_t& at) {
    uint32_t value = 0;
    for (int shift = 0;; shift += 7) {
      value |= uint32_t{record[at] & 0x7Fu} << shift;
      if (!(record[at++] & 0x80)) return value;
    }
  };
  TClassicStreams streams;
  streams.Difference.assign(field(24), 0);
  for (size_t c = 0, at = 0; c < field(28); c++) {
    at += number(runs);
    streams.Difference[at++] = record[changes++];
  }
  streams.Extra.assign(record.begin() + extra, record.end());
  for (size_t e = 0; e < field(16); e++) {
    streams.Control.push_back(number(control));
    streams.Control.push_back(number(control));
    const uint32_t seek = number(control);
    streams.Control.push_back(seek & 1 ? -int64_t{seek >> 1} - 1 : int64_t{seek >> 1});
  }
  return streams;
}

// The bsdiff rule over those streams.
TBytes PlainApply(const TBytes& record, const TBytes& old) {
  const TClassicStreams streams = PlainRead(record);
  TBytes out;
  int64_t oldAt = 0;
  for (size_t e = 0, d = 0, x = 0; e < streams.Control.size(); e += 3) {
    for (int64_t i = 0; i < streams.Control[e]; i++) {
      out.push_back(static_cast<uint8_t>(streams.Difference[d++] + old.at(oldAt + i)));
    }
    for (int64_t i = 0; i < streams.Control[e + 1]; i++) out.push_back(streams.Extra[x++]);
    oldAt += streams.Control[e] + streams.Control[e + 2];
  }
  return out;
}

struct TRoundTrip {
  std::string Name;
  TBytes Old;
  TBytes New;
  size_t MaxExtra;  // bytes the extra stream may hold
  uint32_t MaxEntries = UINT32_MAX;
};

// Pieces of count bytes each from random places of bytes, one after another.
TBytes Scattered(const TBytes& bytes, size_t pieces, size_t count) {
  std::mt19937 random(9);
  TBytes out;
  for (size_t p = 0; p < pieces; p++) {
    const size_t at = random() % (bytes.size() - count);
    out.insert(out.end(), bytes.begin() + at, bytes.begin() + at + count);
  }
  return out;
}

TEST(DifferenceTest, RoundTrips) {
  const TBytes random = Random(300000, 1);
  const TSyntheticCode code = MakeSyntheticCode(400000, 2, 6);
  const TBytes zeros(100000, 0);
  // From 16 MB on, the match search starts from three-byte prefixes; the file ends in the
  // bytes that begin it, so that its two shortest suffixes sort among the others.
  TBytes large = Random(16 << 20, 5);
  large.insert(large.end(), large.begin(), large.begin() + 2);
  TBytes sparse = zeros;
  for (size_t i = 5; i < sparse.size(); i += 7919) sparse[i] = static_cast<uint8_t>(i);
  const std::vector<TRoundTrip> cases = {
      {"both empty", {}, {}, 0},
      {"empty old", {}, {7}, 1},
      {"empty new", {7}, {}, 0},
      {"one byte changed", {7}, {9}, 1},
      {"shifted code, addresses moved", code.Old, code.New, code.New.size() / 50},
      {"insertions", Joined(Joined(Part(random, 0, 1000), Random(3000, 3)), Part(random, 1000, random.size())),
       Joined(Part(random, 0, 1000), Joined(Random(3000, 3), Part(random, 1000, random.size()))), 3100},
      {"deletion", random, Joined(Part(random, 0, 70000), Part(random, 90000, random.size())), 100},
      {"unrelated", random, Random(200000, 4), 200000},
      {"old larger", random, Part(random, 1000, 150000), 100},
      {"old smaller", Part(random, 0, 100000), random, 200100},
      {"zeros with sparse changes", zeros, sparse, 100},
      // Each piece matches somewhere; a far jump for 10 bytes is not worth an entry.
      {"short pieces from all over", random, Scattered(random, 2000, 10), 20000, 4},
      {"long pieces from all over", random, Scattered(random, 200, 100), 1000, 201},
      {"large, an insertion and a deletion", large,
       Joined(Joined(Part(large, 0, 5000000), Random(3000, 6)), Part(large, 5100000, large.size())), 3100, 8},
  };
  for (const TRoundTrip& c : cases) {
    SCOPED_TRACE(c.Name);
    TBytes record;
    ASSERT_TRUE(EncodeDifference(c.Old.data(), c.Old.size(), c.New.data(), c.New.size(), record));
    TMemoryDifferenceSource recordSource(record);
    TDifferenceHeader header;
    ASSERT_EQ(CheckDifference(recordSource, &header), TDifferenceStatus::Applied);
    EXPECT_LE(header.ExtraLength, c.MaxExtra);
    EXPECT_LE(header.EntryCount, c.MaxEntries);
    TMemoryDifferenceSource oldSource(c.Old);
    TVectorDifferenceSink sink;
    ASSERT_EQ(ApplyDifference(recordSource, oldSource, sink), TDifferenceStatus::Applied);
    EXPECT_TRUE(sink.Bytes == c.New);
    EXPECT_TRUE(PlainApply(record, c.Old) == c.New);
  }
}

// A record from its parts, the header's lengths as given; changes and extra bytes are 0x11.
TBytes Record(uint32_t oldSize, uint32_t newSize, const std::vector<TDifferenceEntry>& entries,
              uint32_t differenceLength, const std::vector<uint32_t>& runs, uint32_t extraLength) {
  TBytes control, runBytes;
  for (const TDifferenceEntry& entry : entries) PutDifferenceEntry(control, entry);
  for (uint32_t run : runs) PutNumber(runBytes, run);
  TDifferenceHeader header;
  header.OldSize = oldSize;
  header.NewSize = newSize;
  header.EntryCount = static_cast<uint32_t>(entries.size());
  header.ControlLength = static_cast<uint32_t>(control.size());
  header.DifferenceLength = differenceLength;
  header.ChangeCount = static_cast<uint32_t>(runs.size());
  header.RunLength = static_cast<uint32_t>(runBytes.size());
  header.ExtraLength = extraLength;
  TBytes record(DifferenceHeaderSize);
  PutDifferenceHeader(record.data(), header);
  record = Joined(Joined(record, control), runBytes);
  record.resize(static_cast<size_t>(header.RecordSize()), 0x11);
  return record;
}

struct TDamaged {
  std::string Name;
  TBytes Record;
  TDifferenceStatus Expected;
};

TEST(DifferenceTest, DamagedRecordsAreRefusedBeforeAnyWrite) {
  const TBytes old(8, 1);  // every record below is made against 8 old bytes
  const TBytes good = Record(8, 6, {{4, 1, 2}, {1, 0, -7}}, 5, {1, 2}, 1);
  auto changed = [&](std::vector<std::pair<size_t, uint8_t>> bytes, TBytes record) {
    for (const auto& b : bytes) record[b.first] = b.second;
    return record;
  };
  // One entry whose add length takes six bytes.
  const TBytes longNumber = changed({{16, 1}, {20, 6}}, Joined(Record(8, 0, {}, 0, {}, 0), {0xFF, 0x80, 0x80, 0x80, 0x80, 0}));
  const std::vector<TDamaged> cases = {
      {"well formed", good, TDifferenceStatus::Applied},
      {"shorter than a header", Part(good, 0, 39), TDifferenceStatus::Malformed},
      {"streams cut short", Part(good, 0, good.size() - 1), TDifferenceStatus::Malformed},
      {"a byte past the streams", Joined(good, {0}), TDifferenceStatus::Malformed},
      {"magic", changed({{0, 'X'}}, good), TDifferenceStatus::Malformed},
      {"version", changed({{4, 2}}, good), TDifferenceStatus::Malformed},
      {"old size of 2 GB", changed({{11, 0x80}}, good), TDifferenceStatus::Malformed},
      {"old size differs from the file", changed({{8, 9}}, good), TDifferenceStatus::WrongOldSize},
      {"streams do not add up to the new size", changed({{12, 7}}, good), TDifferenceStatus::Malformed},
      {"more changes than difference bytes", Record(8, 1, {{1, 0, 0}}, 1, {0, 0}, 0), TDifferenceStatus::Malformed},
      {"entry count past the control stream", changed({{16, 3}}, good), TDifferenceStatus::Malformed},
      {"control stream longer than its entries", changed({{16, 1}}, good), TDifferenceStatus::Malformed},
      {"number of six bytes", longNumber, TDifferenceStatus::Malformed},
      {"run past the difference bytes", Record(8, 6, {{4, 2, 0}}, 4, {4}, 2), TDifferenceStatus::Malformed},
      {"runs stream longer than its changes", changed({{28, 1}, {36, 2}, {12, 7}}, good), TDifferenceStatus::Malformed},
      {"add past the old file", Record(8, 9, {{9, 0, 0}}, 9, {}, 0), TDifferenceStatus::Malformed},
      {"add past the difference bytes", Record(8, 6, {{4, 1, 0}, {1, 0, 0}}, 4, {}, 2), TDifferenceStatus::Malformed},
      {"copy past the extra stream", Record(8, 6, {{3, 2, 0}, {2, 0, 0}}, 5, {}, 1), TDifferenceStatus::Malformed},
      {"entries short of the new size", Record(8, 6, {{4, 1, 0}}, 4, {}, 2), TDifferenceStatus::Malformed},
      {"seek before the start", Record(8, 4, {{4, 0, -5}}, 4, {}, 0), TDifferenceStatus::Malformed},
      {"seek past the end", Record(8, 4, {{4, 0, 5}}, 4, {}, 0), TDifferenceStatus::Malformed},
      {"largest numbers", Record(8, 6, {{0xFFFFFFFF, 0xFFFFFFFF, INT32_MIN}}, 5, {}, 1), TDifferenceStatus::Malformed},
  };
  for (const TDamaged& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryDifferenceSource record(c.Record);
    const TDifferenceStatus check = CheckDifference(record);
    EXPECT_EQ(check, c.Expected == TDifferenceStatus::WrongOldSize ? TDifferenceStatus::Applied : c.Expected);
    TMemoryDifferenceSource oldSource(old);
    TVectorDifferenceSink sink;
    EXPECT_EQ(ApplyDifference(record, oldSource, sink), c.Expected);
    EXPECT_EQ(sink.Bytes.size(), c.Expected == TDifferenceStatus::Applied ? 6u : 0u);
  }
}

#ifndef _WIN32
// Debian's bspatch applies our streams, packed as a classic patch: "BSDIFF40", the sizes of
// the compressed control and difference blocks and the new size, then the three blocks
// compressed by bzip2; every number 8 bytes, sign in the top bit.
TEST(DifferenceTest, BspatchAppliesTheSameStreams) {
  if (std::system("command -v bspatch >/dev/null && command -v bzip2 >/dev/null") != 0) {
    GTEST_SKIP() << "bspatch or bzip2 not installed";
  }
  const TSyntheticCode code = MakeSyntheticCode(200000, 5, 4);
  TBytes record;
  ASSERT_TRUE(EncodeDifference(code.Old.data(), code.Old.size(), code.New.data(), code.New.size(), record));
  const TClassicStreams streams = PlainRead(record);
  auto put = [](TBytes& out, int64_t value) {
    const uint64_t magnitude = value < 0 ? uint64_t(-value) | 1ull << 63 : uint64_t(value);
    for (int i = 0; i < 8; i++) out.push_back(static_cast<uint8_t>(magnitude >> (8 * i)));
  };
  const std::string at = ::testing::TempDir() + "difference-bspatch-";
  auto write = [](const std::string& path, const TBytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  };
  auto packed = [&](const TBytes& bytes) {
    write(at + "block", bytes);
    EXPECT_EQ(std::system(("bzip2 -9 -c " + at + "block > " + at + "block.bz2").c_str()), 0);
    std::ifstream in(at + "block.bz2", std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  TBytes control;
  for (int64_t value : streams.Control) put(control, value);
  const TBytes blocks[] = {packed(control), packed(streams.Difference), packed(streams.Extra)};
  TBytes patch = {'B', 'S', 'D', 'I', 'F', 'F', '4', '0'};
  put(patch, static_cast<int64_t>(blocks[0].size()));
  put(patch, static_cast<int64_t>(blocks[1].size()));
  put(patch, static_cast<int64_t>(code.New.size()));
  for (const TBytes& block : blocks) patch = Joined(patch, block);
  write(at + "old", code.Old);
  write(at + "patch", patch);
  ASSERT_EQ(std::system(("bspatch " + at + "old " + at + "new " + at + "patch").c_str()), 0);
  std::ifstream in(at + "new", std::ios::binary);
  EXPECT_TRUE(TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()) == code.New);
}
#endif

}  // namespace
