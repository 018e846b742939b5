#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "difference/difference_decoder.h"
#include "difference/difference_encoder.h"
#include "tests/support/synthetic_pe.h"

namespace {

using TBytes = std::vector<uint8_t>;

TDifferenceStatus Apply(const TBytes& record, const TBytes& old, TBytes& out) {
  TMemoryDifferenceSource recordSource(record), oldSource(old);
  TVectorDifferenceSink sink;
  const TDifferenceStatus status = ApplyDifference(recordSource, oldSource, sink);
  out = sink.Bytes;
  return status;
}

uint32_t Field(const TBytes& record, size_t at) {
  return record[at] | record[at + 1] << 8 | record[at + 2] << 16 | uint32_t{record[at + 3]} << 24;
}

// Functions moved about in both machines' images: the executable record rebuilds the new
// file exactly, and the references that followed their targets leave fewer changed bytes
// than the plain record has.
TEST(ExecutableDifference, RoundTripsMovedCodeWithFewerChanges) {
  for (bool wide : {false, true}) {
    const TSyntheticPe pe = MakeSyntheticPe(400, 7, wide);
    TBytes plain, executable, rebuilt;
    ASSERT_TRUE(EncodeDifferences(pe.Old.data(), pe.Old.size(), pe.New.data(), pe.New.size(), plain, &executable));
    ASSERT_FALSE(executable.empty()) << wide;
    // x86 pointers in mov instructions are placed ones: version 3.
    EXPECT_EQ(wide ? 2u : 3u, Field(executable, 4));
    // Byte 44, the kinds in use: on x86 the placed pointers take every pointer, so the kind
    // that would also find any number in the image's range finds none and is left out.
    if (!wide) {
      EXPECT_EQ(0x40, executable[44] & 0x50);
    }
    ASSERT_EQ(TDifferenceStatus::Applied, Apply(executable, pe.Old, rebuilt)) << wide;
    EXPECT_EQ(pe.New, rebuilt) << wide;
    // Field 28: bytes of the changes stream.
    EXPECT_LT(Field(executable, 28) * (wide ? 3 : 4), Field(plain, 28) * 2) << wide;
  }
}

// Pairs that are not two PE images of one machine get no executable record.
TEST(ExecutableDifference, OnlyForPeImagesOfOneMachine) {
  const TSyntheticPe x86 = MakeSyntheticPe(50, 8, false), x64 = MakeSyntheticPe(50, 8, true);
  TBytes notPe = x86.New;
  notPe[0] = 'X';
  const struct {
    const char* name;
    const TBytes& old;
    const TBytes& next;
  } cases[] = {{"new not PE", x86.Old, notPe}, {"old not PE", notPe, x86.New}, {"two machines", x86.Old, x64.New}};
  for (const auto& c : cases) {
    TBytes plain, executable{1};
    ASSERT_TRUE(EncodeDifferences(c.old.data(), c.old.size(), c.next.data(), c.next.size(), plain, &executable));
    EXPECT_TRUE(executable.empty()) << c.name;
    EXPECT_FALSE(plain.empty()) << c.name;
  }
}

// The executable part is distrusted like the rest: any damage to it is refused before a
// byte is written, never read past.
TEST(ExecutableDifference, DamagedPartIsRefused) {
  const TSyntheticPe pe = MakeSyntheticPe(60, 9, true);
  TBytes plain, good, out;
  ASSERT_TRUE(EncodeDifferences(pe.Old.data(), pe.Old.size(), pe.New.data(), pe.New.size(), plain, &good));
  const uint32_t partLength = Field(good, 40);
  auto changed = [&](size_t at, uint8_t value) {
    TBytes bytes = good;
    bytes[at] = value;
    return bytes;
  };
  const struct {
    const char* name;
    TBytes record;
  } cases[] = {
      {"part longer than allowed", changed(43, 0x40)},
      {"part length past the record", changed(42, 0x7F)},
      {"unknown reference kind", changed(44, 0x7F)},
      {"unknown machine", changed(45, 0x33)},
      {"later kind in a version 2 record", changed(44, 0x7E)},
      {"cut in the header", TBytes(good.begin(), good.begin() + 42)},
      {"part one byte shorter", [&] {
         TBytes bytes = good;
         bytes[40] = static_cast<uint8_t>(partLength - 1);
         bytes.erase(bytes.begin() + 44 + partLength - 1);
         return bytes;
       }()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TDifferenceStatus::Malformed, Apply(c.record, pe.Old, out)) << c.name;
    EXPECT_TRUE(out.empty()) << c.name;
  }
}

// An old file read at offsets, counting the bytes read.
class TCountingSource : public TMemoryDifferenceSource {
 public:
  using TMemoryDifferenceSource::TMemoryDifferenceSource;
  size_t BytesRead = 0;
  bool Read(int64_t offset, uint8_t* out, size_t count) override {
    BytesRead += count;
    return TMemoryDifferenceSource::Read(offset, out, count);
  }
};

// Every function of a 0.5 MB image moved to another place (thousands of short adds and
// seeks back and forth): both records rebuild it exactly, and the decoder reads the old file
// about once, not a window's worth for each add.
TEST(ExecutableDifference, ShuffledImageReadsOldFileAboutOnce) {
  for (bool wide : {false, true}) {
    std::mt19937 random(21);
    std::vector<synthetic_pe::TFunction> functions;
    for (size_t f = 0; f < 6000; f++) functions.push_back(synthetic_pe::MakeFunction(random, 6000, 6000, wide));
    std::vector<size_t> order(functions.size());
    for (size_t f = 0; f < order.size(); f++) order[f] = f;
    const TBytes old = synthetic_pe::Link(functions, order, 6000, wide);
    std::shuffle(order.begin(), order.end(), random);
    const TBytes next = synthetic_pe::Link(functions, order, 6000, wide);
    TBytes plain, executable;
    ASSERT_TRUE(EncodeDifferences(old.data(), old.size(), next.data(), next.size(), plain, &executable));
    ASSERT_GT(old.size(), size_t{512 * 1024});
    for (const TBytes* record : {&plain, &executable}) {
      TMemoryDifferenceSource recordSource(*record);
      TCountingSource oldSource(old);
      TVectorDifferenceSink sink;
      ASSERT_EQ(TDifferenceStatus::Applied, ApplyDifference(recordSource, oldSource, sink)) << wide;
      EXPECT_EQ(next, sink.Bytes) << wide;
      EXPECT_LT(oldSource.BytesRead, old.size() * 3 / 2) << wide << " " << Field(*record, 4);
    }
    // The normalised matching finds whole moved functions: far fewer changed bytes.
    EXPECT_LT(Field(executable, 28) * 4, Field(plain, 28)) << wide;
  }
}

}  // namespace
