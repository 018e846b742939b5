// The block delta decoder on byte buffers: every block kind, and deltas that break the rules.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "delta/delta_decoder.h"
#include "delta/delta_writer.h"
#include "tests/support/vector_blocks.h"

namespace {

std::vector<uint8_t> Counting(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
  return bytes;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t from, size_t count) {
  std::vector<uint8_t> out(count, 0);
  for (size_t i = 0; i < count && from + i < bytes.size(); ++i) out[i] = bytes[from + i];
  return out;
}

std::vector<uint8_t> Text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

class TDestinations : public TBlockObserver {
 public:
  std::vector<int32_t> Seen;
  void BeforeBlock(int32_t destination) override { Seen.push_back(destination); }
};

const std::vector<uint8_t> previous = Counting(1024);

struct TGoodCase {
  const char* name;
  std::function<void(TDeltaWriter&)> build;
  std::function<std::vector<uint8_t>()> want;
};

TEST(DeltaDecoder, AppliesEveryBlockKind) {
  const std::vector<uint8_t> literal = Counting(256);
  const TGoodCase cases[] = {
      {"literal_of_100_bytes",
       [&](TDeltaWriter& w) { w.LiteralBlock(0, literal.data(), 100); },
       [&] { return Slice(literal, 0, 100); }},
      {"literal_source_minus_1_writes_256",
       [&](TDeltaWriter& w) { w.AppendInt32(0); w.AppendInt32(-1); w.Append(literal); },
       [&] { return literal; }},
      {"literal_source_minus_256_writes_255",
       [&](TDeltaWriter& w) { w.AppendInt32(0); w.AppendInt32(-256); w.Append(literal); },
       [&] { return Slice(literal, 0, 255); }},
      {"copy_block_without_edits",
       [&](TDeltaWriter& w) { w.CopyBlock(0, 512); },
       [&] { return Slice(previous, 512, 256); }},
      {"copy_block_with_edits",
       [&](TDeltaWriter& w) { w.CopyBlock(0, 0, {{0, Text("AB")}, {10, Text("C")}}); },
       [&] {
         auto b = Slice(previous, 0, 256);
         b[0] = 'A'; b[1] = 'B'; b[10] = 'C';
         return b;
       }},
      {"empty_edit_does_not_end_the_list",
       [&](TDeltaWriter& w) {
         w.AppendInt32(0); w.AppendInt32(256);
         w.Append({5, 0, 7, 1, 'Z', 0, 0});
       },
       [&] {
         auto b = Slice(previous, 256, 256);
         b[7] = 'Z';
         return b;
       }},
      {"edit_reaching_the_last_byte",
       [&](TDeltaWriter& w) { w.CopyBlock(0, 0, {{1, std::vector<uint8_t>(255, 'x')}}); },
       [&] {
         std::vector<uint8_t> b(256, 'x');
         b[0] = previous[0];
         return b;
       }},
      {"copy_near_end_of_previous_gets_zero_bytes",
       [&](TDeltaWriter& w) { w.CopyBlock(0, 900); },
       [&] { return Slice(previous, 900, 256); }},
      {"copy_past_end_of_previous_is_all_zero",
       [&](TDeltaWriter& w) { w.CopyBlock(0, 5000, {{3, Text("Q")}}); },
       [&] {
         std::vector<uint8_t> b(256, 0);
         b[3] = 'Q';
         return b;
       }},
      {"blocks_out_of_order_and_moved",
       [&](TDeltaWriter& w) {
         w.CopyBlock(256, 0);
         w.CopyBlock(0, 768);
         w.LiteralBlock(512, literal.data(), 3);
       },
       [&] {
         auto b = Slice(previous, 768, 256);
         auto second = Slice(previous, 0, 256);
         b.insert(b.end(), second.begin(), second.end());
         b.insert(b.end(), literal.begin(), literal.begin() + 3);
         return b;
       }},
      {"later_block_overwrites_earlier",
       [&](TDeltaWriter& w) {
         w.CopyBlock(0, 0);
         w.LiteralBlock(100, literal.data(), 10);
       },
       [&] {
         auto b = Slice(previous, 0, 256);
         std::copy(literal.begin(), literal.begin() + 10, b.begin() + 100);
         return b;
       }},
      {"same_source_repeated",
       [&](TDeltaWriter& w) { w.CopyBlock(0, 10); w.CopyBlock(256, 10); },
       [&] {
         auto b = Slice(previous, 10, 256);
         b.insert(b.end(), b.begin(), b.end());
         return b;
       }},
  };
  for (const TGoodCase& c : cases) {
    SCOPED_TRACE(c.name);
    TDeltaWriter writer;
    c.build(writer);
    TVectorSource source(previous);
    TVectorTarget target;
    EXPECT_EQ(TDeltaStatus::Applied, CheckDelta(writer.Bytes().data(), writer.Size()).Status);
    TDeltaResult result = ApplyDelta(writer.Bytes().data(), writer.Size(), source, target, nullptr);
    EXPECT_EQ(TDeltaStatus::Applied, result.Status);
    EXPECT_EQ(c.want(), target.Bytes);
  }
}

TEST(DeltaDecoder, TellsTheObserverEveryBlockDestination) {
  TDeltaWriter writer;
  writer.CopyBlock(512, 0);
  writer.LiteralBlock(0, previous.data(), 256);
  writer.CopyBlock(256, 100, {{4, Text("xy")}});
  TVectorSource source(previous);
  TVectorTarget target;
  TDestinations observer;
  ApplyDelta(writer.Bytes().data(), writer.Size(), source, target, &observer);
  EXPECT_EQ((std::vector<int32_t>{512, 0, 256}), observer.Seen);
}

struct TBadCase {
  const char* name;
  std::vector<uint8_t> prefix;  // well-formed blocks before the bad one
  std::function<void(TDeltaWriter&)> build;
};

TEST(DeltaDecoder, RefusesMalformedBlocksBeforeTouchingAnything) {
  TDeltaWriter good;
  good.CopyBlock(0, 0);
  const std::vector<uint8_t> one = good.Bytes();
  const TBadCase cases[] = {
      {"empty_delta", {}, [](TDeltaWriter&) {}},
      {"truncated_header", {}, [](TDeltaWriter& w) { w.Append({0, 0, 0, 0, 0}); }},
      {"edit_past_block_end", {},
       [](TDeltaWriter& w) { w.AppendInt32(0); w.AppendInt32(0); w.Append({200, 57}); w.Append(std::vector<uint8_t>(57, 1)); w.Append({0, 0}); }},
      {"edit_list_past_delta_end", {},
       [](TDeltaWriter& w) { w.AppendInt32(0); w.AppendInt32(0); w.Append({4, 10, 1, 2, 3}); }},
      {"missing_terminator", {},
       [](TDeltaWriter& w) { w.AppendInt32(0); w.AppendInt32(0); w.Append({4, 1, 9}); }},
      {"half_a_terminator", {},
       [](TDeltaWriter& w) { w.AppendInt32(0); w.AppendInt32(0); w.Append({0}); }},
      {"literal_past_delta_end", {},
       [](TDeltaWriter& w) { w.AppendInt32(0); w.AppendInt32(-101); w.Append(std::vector<uint8_t>(100, 1)); }},
      {"source_below_minus_256", {},
       [](TDeltaWriter& w) { w.AppendInt32(0); w.AppendInt32(-257); w.Append(std::vector<uint8_t>(256, 1)); }},
      {"negative_destination", {},
       [](TDeltaWriter& w) { w.CopyBlock(-1, 0); }},
      {"copy_block_beyond_2gb", {},
       [](TDeltaWriter& w) { w.CopyBlock(INT32_MAX - 100, 0); }},
      {"second_block_malformed", one,
       [](TDeltaWriter& w) { w.AppendInt32(256); w.AppendInt32(0); w.Append({4, 1, 9}); }},
      {"trailing_bytes_after_last_block", one,
       [](TDeltaWriter& w) { w.Append({1, 2, 3}); }},
  };
  for (const TBadCase& c : cases) {
    SCOPED_TRACE(c.name);
    TDeltaWriter writer;
    writer.Append(c.prefix);
    c.build(writer);
    const std::vector<uint8_t>& delta = writer.Bytes();
    const size_t badAt = c.prefix.size();
    // Exactly as long as the delta: the sanitizers catch any read past it.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[delta.size() + 1]);
    std::copy(delta.begin(), delta.end(), exact.get());
    TDeltaResult check = CheckDelta(exact.get(), delta.size());
    EXPECT_EQ(TDeltaStatus::Malformed, check.Status);
    EXPECT_EQ(badAt, check.BlockOffset);
    TVectorSource source(previous);
    TVectorTarget target;
    TDeltaResult applied = ApplyDelta(exact.get(), delta.size(), source, target, nullptr);
    EXPECT_EQ(TDeltaStatus::Malformed, applied.Status);
    EXPECT_EQ(badAt, applied.BlockOffset);
    EXPECT_EQ(badAt == 0 ? 0 : 1, target.Blocks);
  }
}

class TFailingEnds : public TBlockSource, public TBlockTarget {
 public:
  bool failRead = false;
  bool failWrite = false;
  bool ReadBlock(int64_t, uint8_t*) override { return !failRead; }
  bool WriteBlock(int64_t, const uint8_t*, size_t) override { return !failWrite; }
};

TEST(DeltaDecoder, StopsAtTheFirstReadOrWriteError) {
  TDeltaWriter writer;
  writer.CopyBlock(0, 0);
  writer.CopyBlock(256, 0);
  TFailingEnds ends;
  ends.failRead = true;
  TDeltaResult result = ApplyDelta(writer.Bytes().data(), writer.Size(), ends, ends, nullptr);
  EXPECT_EQ(TDeltaStatus::ReadFailed, result.Status);
  EXPECT_EQ(0u, result.BlockOffset);
  ends.failRead = false;
  ends.failWrite = true;
  EXPECT_EQ(TDeltaStatus::WriteFailed,
            ApplyDelta(writer.Bytes().data(), writer.Size(), ends, ends, nullptr).Status);
}

}  // namespace
