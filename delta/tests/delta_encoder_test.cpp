// Round trips of the delta encoder through the engine's decoder, over generated versions:
// sizes at the block edges, insertions, deletions, scattered edits, moved sections,
// repeated and zero-filled data.
#include "delta/delta_encoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "delta/delta_decoder.h"
#include "delta/memory_blocks.h"
#include "tests/support/random_bytes.h"

namespace {

using TBytes = std::vector<uint8_t>;

TBytes Random(size_t size, uint32_t seed) { return RandomBytes(size, seed); }

// Code-like data: small alphabet, recurring words, so that windows repeat.
TBytes Textish(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  static const char* words[] = {"mov eax, ", "push ", "call ", "ret\n", "0x4010", "ebx", "[esp+8]", "\n"};
  TBytes bytes;
  while (bytes.size() < size) {
    const char* w = words[random() % 8];
    bytes.insert(bytes.end(), w, w + std::strlen(w));
  }
  bytes.resize(size);
  return bytes;
}

TBytes Insert(TBytes bytes, size_t at, const TBytes& inserted) {
  bytes.insert(bytes.begin() + at, inserted.begin(), inserted.end());
  return bytes;
}

TBytes Erase(TBytes bytes, size_t at, size_t count) {
  bytes.erase(bytes.begin() + at, bytes.begin() + at + count);
  return bytes;
}

// Every step-th byte changed, as relocated addresses change in a recompiled binary.
TBytes Scatter(TBytes bytes, size_t step, uint32_t seed) {
  std::mt19937 random(seed);
  for (size_t i = step / 2; i < bytes.size(); i += step) bytes[i] ^= static_cast<uint8_t>(1 + random() % 255);
  return bytes;
}

TBytes Concat(std::initializer_list<TBytes> parts) {
  TBytes all;
  for (const TBytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TBytes Slice(const TBytes& bytes, size_t from, size_t count) {
  return TBytes(bytes.begin() + from, bytes.begin() + from + count);
}

struct TRoundTrip {
  const char* Name;
  TBytes Old;
  TBytes New;
  size_t MaxDelta;  // the delta must not be larger (0: no bound checked)
};

std::vector<TRoundTrip> Cases() {
  const TBytes a = Random(64 * 1024, 1);
  const TBytes t = Textish(40000, 2);
  const size_t literal = 264;
  const size_t blocks = 64 * 1024 / 256;
  return {
      {"old_empty_new_1", {}, Random(1, 3), literal},
      {"old_empty_new_255", {}, Random(255, 3), literal},
      {"old_empty_new_256", {}, Random(256, 3), literal},
      {"old_empty_new_257", {}, Random(257, 3), 2 * literal},
      {"both_1", Random(1, 4), Random(1, 5), literal},
      {"new_1_from_big_old", a, Slice(a, 1000, 1), literal},
      {"new_255_found_in_old", a, Slice(a, 333, 255), literal},
      {"new_256_found_in_old", a, Slice(a, 333, 256), 10},
      {"new_257_found_in_old", a, Slice(a, 333, 257), 20},
      {"new_511_found_in_old", a, Slice(a, 7, 511), 20},
      {"identical", a, a, blocks * 10},
      {"old_shorter_than_window", Random(15, 6), Random(300, 7), 2 * literal},
      {"insert_7_bytes_in_middle", a, Insert(a, 30001, Random(7, 8)), blocks * 10 + 2 * literal},
      {"delete_100_bytes", a, Erase(a, 5000, 100), blocks * 10 + 2 * literal},
      {"prepend_3_bytes", a, Insert(a, 0, Random(3, 9)), blocks * 10 + 2 * literal},
      {"scattered_edits", a, Scatter(a, 50, 10), blocks * (10 + 6 * 3)},
      {"moved_sections", a, Concat({Slice(a, 40000, 20000), Slice(a, 0, 40000), Slice(a, 60000, 5536)}),
       blocks * 10 + 4 * literal},
      {"section_repeated", a, Concat({Slice(a, 0, 10000), Slice(a, 0, 10000)}), 80 * 10 + 4 * literal},
      {"zero_padding_appended", a, Concat({a, TBytes(10000, 0)}), (blocks + 40) * 10 + literal},
      {"new_shorter_tail_from_end_of_old", a, Slice(a, 0, 64 * 1024 - 100), blocks * 10},
      {"new_all_zero_old_random", a, TBytes(1000, 0), 4 * 10},
      {"unrelated", Random(5000, 11), Random(5000, 12), 20 * literal},
      {"textish_edited", t, Insert(Scatter(t, 300, 13), 20000, Textish(50, 14)), 0},
      {"repetitive_old", TBytes(100000, 0x90), Insert(TBytes(100000, 0x90), 500, {1, 2, 3}), 0},
  };
}

TEST(DeltaEncoder, RoundTripsThroughTheDecoder) {
  for (const TRoundTrip& c : Cases()) {
    SCOPED_TRACE(c.Name);
    TBytes delta;
    TDeltaStats stats;
    ASSERT_TRUE(EncodeDelta(c.Old.data(), c.Old.size(), c.New.data(), c.New.size(), delta, &stats));
    EXPECT_EQ(TDeltaStatus::Applied, CheckDelta(delta.data(), delta.size()).Status);
    TMemoryBlockSource source(c.Old.data(), c.Old.size());
    TMemoryBlockTarget target;
    EXPECT_EQ(TDeltaStatus::Applied, ApplyDelta(delta.data(), delta.size(), source, target, nullptr).Status);
    EXPECT_EQ(c.New, target.Bytes);
    if (c.MaxDelta) {
      EXPECT_GE(c.MaxDelta, delta.size());
    }
  }
}

TEST(DeltaEncoder, RandomEditsRoundTrip) {
  std::mt19937 random(77);
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE(round);
    TBytes old = random() % 2 ? Random(random() % 5000, round) : Textish(random() % 5000, round);
    TBytes now = old;
    const int edits = random() % 6;
    for (int e = 0; e < edits; ++e) {
      const size_t at = now.empty() ? 0 : random() % now.size();
      switch (random() % 3) {
        case 0: now = Insert(now, at, Random(random() % 300, round * 10 + e)); break;
        case 1: now = Erase(now, at, std::min<size_t>(random() % 300, now.size() - at)); break;
        default: if (!now.empty()) now[at] ^= 0x5A; break;
      }
    }
    if (now.empty()) now.push_back(1);
    TBytes delta;
    ASSERT_TRUE(EncodeDelta(old.data(), old.size(), now.data(), now.size(), delta));
    TMemoryBlockSource source(old.data(), old.size());
    TMemoryBlockTarget target;
    EXPECT_EQ(TDeltaStatus::Applied, ApplyDelta(delta.data(), delta.size(), source, target, nullptr).Status);
    EXPECT_EQ(now, target.Bytes);
  }
}

TEST(DeltaEncoder, RefusesWhatNoDeltaCanExpress) {
  TBytes delta{1, 2, 3};
  const uint8_t byte = 0;
  EXPECT_FALSE(EncodeDelta(&byte, 1, &byte, 0, delta));
  EXPECT_TRUE(delta.empty());
}

TEST(DeltaEncoder, ReportsProgressToTheEnd) {
  const TBytes data = Random(3 << 20, 21);
  std::vector<size_t> seen;
  TBytes delta;
  ASSERT_TRUE(EncodeDelta(data.data(), data.size(), data.data(), data.size(), delta, nullptr,
                          [](void* context, size_t done, size_t total) {
                            EXPECT_EQ(size_t{3} << 20, total);
                            static_cast<std::vector<size_t>*>(context)->push_back(done);
                          },
                          &seen));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(data.size(), seen.back());
  EXPECT_EQ(data.size() / 256 * 10, delta.size());
}

}  // namespace
