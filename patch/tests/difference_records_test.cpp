// Difference records over the in-memory file system: applied with the safety of a modify
// record (content checks, the new version written beside the target, a run ended between the
// renames finished by the next one).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "byte_order/little_endian.h"
#include "difference/difference_encoder.h"
#include "engine_fixture.h"
#include "installer_test_data.h"

namespace {

using TBytes = std::vector<uint8_t>;
const std::string Target = "C:\\APP\\MAIN.EXE";
const TDosStamp OtherStamp = MakeDosStamp(2003, 1, 2, 3, 4, 6);

TBytes OldVersion() { return Counting(5000); }
// 40 bytes inserted, and every fourth byte after them moved by 3 (addresses that shifted).
TBytes NewVersion() {
  TBytes bytes = OldVersion();
  bytes.insert(bytes.begin() + 1200, 40, 0xE8);
  for (size_t i = 1240; i < bytes.size(); i += 4) bytes[i] = static_cast<uint8_t>(bytes[i] + 3);
  return bytes;
}

enum class TState { Old, Shorter, New, None };
TBytes ContentOf(TState state) {
  if (state == TState::Old) return OldVersion();
  if (state == TState::Shorter) return Counting(4000);
  return state == TState::New ? NewVersion() : TBytes{};
}

TEST(DifferenceRecords, AreAppliedAsModifyRecords) {
  const struct {
    const char* Name;
    TState Installed;
    TDosStamp Stamp;
    bool Checks, Damaged, Interrupted;
    const char* LastRow;
    TRecordOutcome Outcome;
    TState Left;
  } cases[] = {
      {"applies", TState::Old, oldStamp, true, false, false, "INFO Applying modify patch (MAIN.EXE)",
       TRecordOutcome::Applied, TState::New},
      {"damaged record", TState::Old, oldStamp, true, true, false, "ERROR Damaged patch data for file: MAIN.EXE",
       TRecordOutcome::Failed, TState::Old},
      {"another version", TState::Shorter, OtherStamp, true, false, false,
       "WARNING File: MAIN.EXE has improper date/time stamp - skipping...", TRecordOutcome::SkippedOtherVersion,
       TState::Shorter},
      {"already up to date", TState::New, newStamp, true, false, false, "INFO File: MAIN.EXE is already up to date",
       TRecordOutcome::UpToDate, TState::New},
      {"no checks: the old size is", TState::Shorter, oldStamp, false, false, false,
       "ERROR File: MAIN.EXE has the expected date/time but different content - skipping...", TRecordOutcome::Failed,
       TState::Shorter},
      {"ended between the renames", TState::None, oldStamp, true, false, true, "INFO Applying modify patch (MAIN.EXE)",
       TRecordOutcome::RecoveredAndApplied, TState::New},
  };
  TBytes record;
  ASSERT_TRUE(EncodeDifference(OldVersion().data(), OldVersion().size(), NewVersion().data(), NewVersion().size(), record));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TEngine engine;
    TMemoryFileSystem& files = engine.Files;
    if (c.Installed != TState::None) files.AddFile(Target, ContentOf(c.Installed), c.Stamp);
    if (c.Interrupted) {
      files.AddFile("C:\\APP\\MAIN.$$$", OldVersion(), oldStamp);
      files.AddFile("C:\\APP\\MAIN.$$N", NewVersion(), OtherStamp);
    }
    TVerifyInfo checks;
    SetVerifyOld(checks, OldVersion().data(), OldVersion().size());
    SetVerifyNew(checks, NewVersion().data(), NewVersion().size());
    TBytes data = record;
    if (c.Damaged) data[12] ^= 1;  // the new size
    TPatchWriter writer;
    if (c.Checks) {
      ASSERT_TRUE(writer.AddVerify("&ROOT&\\MAIN.EXE", checks));
    }
    ASSERT_TRUE(writer.AddDifference("&ROOT&\\MAIN.EXE", oldStamp, newStamp, data));

    const TRecordOutcome outcome = engine.ApplyLast(writer);
    EXPECT_EQ(c.Outcome, outcome);
    EXPECT_EQ(c.LastRow, engine.Reporter.Lines.back());
    EXPECT_EQ(ContentOf(c.Left), files.Contents(Target));
    EXPECT_EQ(c.Left == TState::New ? newStamp : c.Stamp, files.StampOf(Target));
    EXPECT_FALSE(files.Exists("C:\\APP\\MAIN.$$N"));
    if (c.Outcome == TRecordOutcome::Applied) {
      EXPECT_EQ(OldVersion(), files.Contents("C:\\APP\\MAIN.$$$"));
    }
  }
}

}  // namespace

// A record of version 2 gets a type of its own, so that a reader that knows version 1 only
// passes it over (as every unknown type) instead of finding it damaged.
TEST(DifferenceRecords, EachVersionHasItsOwnType) {
  const struct {
    uint8_t Version;
    uint32_t Type;
  } cases[] = {{1, ptDifference}, {2, ptExecutableDifference}, {3, ptExecutableDifference}};
  for (const auto& c : cases) {
    TPatchWriter writer;
    ASSERT_TRUE(writer.AddDifference("&ROOT&\\MAIN.EXE", oldStamp, newStamp, {'M', 'D', 'I', 'F', c.Version, 0, 0, 0}));
    const TBytes bytes = writer.Bytes();
    ASSERT_GE(bytes.size(), TPatchInfo::Size);
    EXPECT_EQ(c.Type, ReadUInt32le(&bytes[208])) << int(c.Version);
    EXPECT_TRUE(RebuildsFile(c.Type) && ActsOnFile(c.Type));
  }
}
