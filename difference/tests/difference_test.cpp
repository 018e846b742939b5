#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "difference/difference_decoder.h"
#include "difference/difference_encoder.h"
#include "synthetic_code.h"

namespace {

using TBytes = std::vector<uint8_t>;

TBytes Random(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  TBytes bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

TBytes Joined(const TBytes& a, const TBytes& b) {
  TBytes joined = a;
  joined.insert(joined.end(), b.begin(), b.end());
  return joined;
}

TBytes Part(const TBytes& bytes, size_t from, size_t to) { return TBytes(bytes.begin() + from, bytes.begin() + to); }

// A second reading of the format, written apart from the decoder: the bsdiff rule over the
// three streams, with no checks beyond what the well-formed records of the round trips need.
TBytes PlainApply(const TBytes& record, const TBytes& old) {
  auto number = [&](size_t at) {
    return static_cast<uint32_t>(record[at] | record[at + 1] << 8 | record[at + 2] << 16 | record[at + 3] << 24);
  };
  const size_t count = number(16);
  size_t diff = 28 + 12 * count;
  size_t extra = diff + number(20);
  int64_t oldAt = 0;
  TBytes out;
  for (size_t e = 0; e < count; e++) {
    const uint32_t add = number(28 + 12 * e);
    const uint32_t copy = number(32 + 12 * e);
    const int64_t seek = static_cast<int32_t>(number(36 + 12 * e));
    for (uint32_t i = 0; i < add; i++) out.push_back(static_cast<uint8_t>(record[diff++] + old.at(oldAt + i)));
    for (uint32_t i = 0; i < copy; i++) out.push_back(record[extra++]);
    oldAt += add + seek;
  }
  return out;
}

struct TRoundTrip {
  std::string Name;
  TBytes Old;
  TBytes New;
  size_t MaxExtra;  // bytes the extra stream may hold
};

TEST(DifferenceTest, RoundTrips) {
  const TBytes random = Random(300000, 1);
  const TSyntheticCode code = MakeSyntheticCode(400000, 2, 6);
  const TBytes zeros(100000, 0);
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
  };
  for (const TRoundTrip& c : cases) {
    SCOPED_TRACE(c.Name);
    TBytes record;
    ASSERT_TRUE(EncodeDifference(c.Old.data(), c.Old.size(), c.New.data(), c.New.size(), record));
    TMemoryDifferenceSource recordSource(record);
    TDifferenceHeader header;
    ASSERT_EQ(CheckDifference(recordSource, &header), TDifferenceStatus::Applied);
    EXPECT_LE(header.ExtraLength, c.MaxExtra);
    TMemoryDifferenceSource oldSource(c.Old);
    TVectorDifferenceSink sink;
    ASSERT_EQ(ApplyDifference(recordSource, oldSource, sink), TDifferenceStatus::Applied);
    EXPECT_TRUE(sink.Bytes == c.New);
    EXPECT_TRUE(PlainApply(record, c.Old) == c.New);
  }
}

// A record from its parts, the header's stream lengths as given.
TBytes Record(uint32_t oldSize, uint32_t newSize, const std::vector<TDifferenceEntry>& entries, uint32_t diffLength,
              uint32_t extraLength) {
  TDifferenceHeader header;
  header.OldSize = oldSize;
  header.NewSize = newSize;
  header.EntryCount = static_cast<uint32_t>(entries.size());
  header.DiffLength = diffLength;
  header.ExtraLength = extraLength;
  TBytes record(static_cast<size_t>(header.RecordSize()), 0x11);
  PutDifferenceHeader(record.data(), header);
  for (size_t e = 0; e < entries.size(); e++) PutDifferenceEntry(&record[28 + 12 * e], entries[e]);
  return record;
}

struct TDamaged {
  std::string Name;
  TBytes Record;
  TDifferenceStatus Expected;
};

TEST(DifferenceTest, DamagedRecordsAreRefusedBeforeAnyWrite) {
  const TBytes old(8, 1);  // every record below is made against 8 old bytes
  const TBytes good = Record(8, 6, {{4, 1, 2}, {1, 0, -7}}, 5, 1);
  auto changed = [&](size_t at, uint8_t value) {
    TBytes record = good;
    record[at] = value;
    return record;
  };
  const std::vector<TDamaged> cases = {
      {"well formed", good, TDifferenceStatus::Applied},
      {"shorter than a header", Part(good, 0, 27), TDifferenceStatus::Malformed},
      {"streams cut short", Part(good, 0, good.size() - 1), TDifferenceStatus::Malformed},
      {"a byte past the streams", Joined(good, {0}), TDifferenceStatus::Malformed},
      {"magic", changed(0, 'X'), TDifferenceStatus::Malformed},
      {"version", changed(4, 2), TDifferenceStatus::Malformed},
      {"old size of 2 GB", changed(11, 0x80), TDifferenceStatus::Malformed},
      {"old size differs from the file", changed(8, 9), TDifferenceStatus::WrongOldSize},
      {"streams do not add up to the new size", changed(12, 7), TDifferenceStatus::Malformed},
      {"entry count past the record", changed(16, 3), TDifferenceStatus::Malformed},
      {"add past the old file", Record(8, 9, {{9, 0, 0}}, 9, 0), TDifferenceStatus::Malformed},
      {"add past the difference stream", Record(8, 6, {{4, 1, 0}, {1, 0, 0}}, 4, 2), TDifferenceStatus::Malformed},
      {"copy past the extra stream", Record(8, 6, {{3, 2, 0}, {2, 0, 0}}, 5, 1), TDifferenceStatus::Malformed},
      {"entries short of the new size", Record(8, 6, {{4, 1, 0}}, 4, 2), TDifferenceStatus::Malformed},
      {"seek before the start", Record(8, 4, {{4, 0, -5}}, 4, 0), TDifferenceStatus::Malformed},
      {"seek past the end", Record(8, 4, {{4, 0, 5}}, 4, 0), TDifferenceStatus::Malformed},
      {"largest lengths", Record(8, 6, {{0xFFFFFFFF, 0xFFFFFFFF, INT32_MIN}}, 5, 1), TDifferenceStatus::Malformed},
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

}  // namespace
