// Records with content checks over the in-memory file system: the version a record acts on is
// recognised by its content (its date/time alone is not trusted), a result that is there
// already is left alone, a written file that is not the new version is thrown away; and no
// record path reaches outside the folder of its macro.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "difference/difference_encoder.h"
#include "files/memory_file_system.h"
#include "hash/sha256.h"
#include "patch/patch_file.h"
#include "patch/patch_writer.h"
#include "paths/macros.h"
#include "paths/path_name.h"
#include "engine_fixture.h"
#include "installer_test_data.h"
#include "tests/support/test_reporters.h"

namespace {

using TBytes = std::vector<uint8_t>;
const std::string Target = "C:\\APP\\MAIN.EXE";
const TDosStamp OtherStamp = MakeDosStamp(2003, 1, 2, 3, 4, 6);

// The old version, and the new one the delta makes of it: its first block copied with 16
// bytes changed, the rest copied as it is.
TBytes OldVersion() { return Counting(1000); }
TBytes NewVersion() {
  TBytes bytes = OldVersion();
  for (int i = 20; i < 36; ++i) bytes[i] = static_cast<uint8_t>(~bytes[i]);
  return bytes;
}
TBytes Delta() {
  const TBytes want = NewVersion();
  TDeltaWriter delta;
  delta.CopyBlock(0, 0, {{20, TBytes(want.begin() + 20, want.begin() + 36)}});
  delta.CopyBlock(256, 256);
  delta.CopyBlock(512, 512);
  delta.LiteralBlock(768, want.data() + 768, want.size() - 768);
  return delta.Bytes();
}
// bytes with 16 of them changed: the old version so is a file restored from another build.
TBytes OtherBuildOf(TBytes bytes) {
  for (int i = 500; i < 516; ++i) bytes[i] ^= 0x5A;
  return bytes;
}
TBytes OtherBuild() { return OtherBuildOf(OldVersion()); }



enum class TKind { Modify, Delete, Copy };
// Mixed: what the delta makes of OtherBuild, the new version with the other build's 16 bytes.
enum class TInstalled { Old, OtherBuild, New, Mixed, None };

struct TCase {
  const char* Name;
  TKind Kind;
  TInstalled Installed;
  TDosStamp Stamp;
  bool Checks;
  bool WrongNewHash;     // the checks name another new version than the record makes
  const char* LastRow;   // the run's last report
  TRecordOutcome Outcome;
  TInstalled Left;       // what the target holds afterwards
};

TBytes ContentOf(TInstalled installed) {
  switch (installed) {
    case TInstalled::Old: return OldVersion();
    case TInstalled::OtherBuild: return OtherBuild();
    case TInstalled::New: return NewVersion();
    case TInstalled::Mixed: return OtherBuildOf(NewVersion());
    case TInstalled::None: break;
  }
  return {};
}

TEST(VerifiedRecords, TheVersionIsRecognisedByItsContent) {
  const TCase cases[] = {
      {"clean", TKind::Modify, TInstalled::Old, oldStamp, true, false,
       "INFO Applying modify patch (MAIN.EXE)", TRecordOutcome::Applied, TInstalled::New},
      {"right stamp, other content", TKind::Modify, TInstalled::OtherBuild, oldStamp, true, false,
       "ERROR File: MAIN.EXE has the expected date/time but different content - skipping...", TRecordOutcome::Failed,
       TInstalled::OtherBuild},
      {"already patched", TKind::Modify, TInstalled::New, newStamp, true, false,
       "INFO File: MAIN.EXE is already up to date", TRecordOutcome::UpToDate, TInstalled::New},
      {"already patched, redated", TKind::Modify, TInstalled::New, OtherStamp, true, false,
       "INFO File: MAIN.EXE is already up to date", TRecordOutcome::UpToDate, TInstalled::New},
      {"copied without its date", TKind::Modify, TInstalled::Old, OtherStamp, true, false,
       "INFO Applying modify patch (MAIN.EXE)", TRecordOutcome::Applied, TInstalled::New},
      {"another version", TKind::Modify, TInstalled::OtherBuild, OtherStamp, true, false,
       "WARNING File: MAIN.EXE has improper date/time stamp - skipping...", TRecordOutcome::SkippedOtherVersion, TInstalled::OtherBuild},
      {"written content wrong", TKind::Modify, TInstalled::Old, oldStamp, true, true,
       "ERROR File: MAIN.EXE does not match the patch after writing - keeping the previous version", TRecordOutcome::Failed,
       TInstalled::Old},
      {"no checks: the date/time decides", TKind::Modify, TInstalled::OtherBuild, oldStamp, false, false,
       "INFO Applying modify patch (MAIN.EXE)", TRecordOutcome::Applied, TInstalled::Mixed},
      {"delete, right stamp, other content", TKind::Delete, TInstalled::OtherBuild, oldStamp, true, false,
       "ERROR File: MAIN.EXE has the expected date/time but different content - skipping...", TRecordOutcome::Failed,
       TInstalled::OtherBuild},
      {"delete, redated", TKind::Delete, TInstalled::Old, OtherStamp, true, false,
       "INFO Applying delete patch (MAIN.EXE)", TRecordOutcome::Applied, TInstalled::None},
      {"delete, gone already", TKind::Delete, TInstalled::None, 0, true, false,
       "INFO File: MAIN.EXE is already deleted", TRecordOutcome::UpToDate, TInstalled::None},
      {"copy, there already", TKind::Copy, TInstalled::New, OtherStamp, true, false,
       "INFO File: MAIN.EXE is already up to date", TRecordOutcome::UpToDate, TInstalled::New},
      {"copy, written content wrong", TKind::Copy, TInstalled::Old, oldStamp, true, true,
       "ERROR File: MAIN.EXE does not match the patch after writing - keeping the previous version", TRecordOutcome::Failed,
       TInstalled::Old},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TEngine engine;
    TMemoryFileSystem& files = engine.Files;
    if (c.Installed != TInstalled::None) files.AddFile(Target, ContentOf(c.Installed), c.Stamp);
    TVerifyInfo checks;
    if (c.Kind != TKind::Copy) {
      SetVerifyOld(checks, OldVersion().data(), OldVersion().size());
    }
    if (c.Kind != TKind::Delete) {
      const TBytes made = c.WrongNewHash ? OtherBuild() : NewVersion();
      SetVerifyNew(checks, made.data(), made.size());
    }
    TPatchWriter writer;
    const std::string path = "&ROOT&\\MAIN.EXE";
    if (c.Checks) {
      ASSERT_TRUE(writer.AddVerify(path, checks));
    }
    switch (c.Kind) {
      case TKind::Modify: writer.AddModify(path, oldStamp, newStamp, Delta()); break;
      case TKind::Delete: writer.AddDelete(path, oldStamp); break;
      case TKind::Copy: writer.AddCopy(path, newStamp, NewVersion()); break;
    }
    EXPECT_EQ(c.Outcome, engine.ApplyLast(writer));
    EXPECT_EQ(c.LastRow, engine.Reporter.Lines.back());
    EXPECT_EQ(c.Left != TInstalled::None, files.Exists(Target));
    if (c.Left != TInstalled::None) {
      EXPECT_EQ(ContentOf(c.Left), files.Contents(Target));
    }
    const bool written = c.Left != c.Installed && c.Left != TInstalled::None;
    EXPECT_EQ(written ? newStamp : c.Stamp, files.Exists(Target) ? files.StampOf(Target) : c.Stamp);
    EXPECT_FALSE(files.Exists("C:\\APP\\MAIN.$$N"));
    EXPECT_FALSE(files.Exists("C:\\APP\\MAIN.$$C"));
  }
}

// A checked record reads the old file once: it is hashed while the new version is made under
// its scratch name, and judged after. A fault at any stage gives the rows of a check made
// first (the verdict on the old file before "Applying", and nothing after a wrong one),
// leaves the target as it was and no scratch file behind. Both kinds of rebuild.
TEST(VerifiedRecords, AFaultAtAnyStageGivesTheRowsOfACheckMadeFirst) {
  enum TFault { NoFault, Unreadable, DamagedData, NoScratch, WriteFails, WrongNewHash };
  const char* const Applying = "INFO Applying modify patch (MAIN.EXE)";
  const char* const OtherContent = "ERROR File: MAIN.EXE has the expected date/time but different content - skipping...";
  const char* const Improper = "WARNING File: MAIN.EXE has improper date/time stamp - skipping...";
  const struct {
    const char* Name;
    TInstalled Installed;
    TDosStamp Stamp;
    TFault Fault;
    std::vector<const char*> Rows;  // after the directory's row; nullptr: the step's row
    TRecordOutcome Outcome;
  } cases[] = {
      {"clean", TInstalled::Old, oldStamp, NoFault, {nullptr}, TRecordOutcome::Applied},
      {"redated", TInstalled::Old, OtherStamp, NoFault,
       {"INFO File: MAIN.EXE has another date/time but the expected content - patching...", nullptr},
       TRecordOutcome::Applied},
      {"old file other content", TInstalled::OtherBuild, oldStamp, NoFault, {OtherContent}, TRecordOutcome::Failed},
      {"old file other version", TInstalled::OtherBuild, OtherStamp, NoFault, {Improper},
       TRecordOutcome::SkippedOtherVersion},
      {"old file unreadable", TInstalled::Old, oldStamp, Unreadable, {OtherContent}, TRecordOutcome::Failed},
      {"record data damaged", TInstalled::Old, oldStamp, DamagedData,
       {nullptr, "ERROR Damaged patch data for file: MAIN.EXE"}, TRecordOutcome::Failed},
      {"record data damaged, old file other content", TInstalled::OtherBuild, oldStamp, DamagedData, {OtherContent},
       TRecordOutcome::Failed},
      {"no scratch file", TInstalled::Old, oldStamp, NoScratch,
       {nullptr, "ERROR Cannot open destination file: MAIN.EXE"}, TRecordOutcome::Failed},
      {"no scratch file, old file other version", TInstalled::OtherBuild, OtherStamp, NoScratch, {Improper},
       TRecordOutcome::SkippedOtherVersion},
      {"scratch write fails", TInstalled::Old, oldStamp, WriteFails,
       {nullptr, "ERROR Cannot write destination file: MAIN.EXE"}, TRecordOutcome::Failed},
      {"scratch write fails, old file other content", TInstalled::OtherBuild, oldStamp, WriteFails, {OtherContent},
       TRecordOutcome::Failed},
      {"new version wrong", TInstalled::Old, oldStamp, WrongNewHash,
       {nullptr, "ERROR File: MAIN.EXE does not match the patch after writing - keeping the previous version"},
       TRecordOutcome::Failed},
      {"new version wrong, old file other content", TInstalled::OtherBuild, oldStamp, WrongNewHash, {OtherContent},
       TRecordOutcome::Failed},
  };
  TBytes difference;
  ASSERT_TRUE(EncodeDifference(OldVersion().data(), OldVersion().size(), NewVersion().data(), NewVersion().size(),
                               difference));
  for (int kind = 0; kind < 2; ++kind)
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.Name) + (kind ? " (difference)" : " (block delta)"));
      TEngine engine;
      TMemoryFileSystem& files = engine.Files;
      files.AddFile(Target, ContentOf(c.Installed), c.Stamp);
      if (c.Fault == Unreadable) files.FailReads.insert(Target);
      if (c.Fault == NoScratch) files.FailCreate.insert("C:\\APP\\MAIN.$$N");
      if (c.Fault == WriteFails) files.FailWrites.insert("C:\\APP\\MAIN.$$N");
      TVerifyInfo checks;
      SetVerifyOld(checks, OldVersion().data(), OldVersion().size());
      const TBytes made = c.Fault == WrongNewHash ? ContentOf(TInstalled::Mixed) : NewVersion();
      SetVerifyNew(checks, made.data(), made.size());
      TBytes data = kind ? difference : Delta();
      if (c.Fault == DamagedData) data.resize(data.size() - 1);
      TPatchWriter writer;
      ASSERT_TRUE(writer.AddVerify("&ROOT&\\MAIN.EXE", checks));
      if (kind)
        writer.AddDifference("&ROOT&\\MAIN.EXE", oldStamp, newStamp, data);
      else
        writer.AddModify("&ROOT&\\MAIN.EXE", oldStamp, newStamp, data);
      EXPECT_EQ(c.Outcome, engine.ApplyLast(writer));
      std::vector<std::string> rows = {"INFO Reading patch directory..."};
      for (const char* row : c.Rows) rows.push_back(row ? row : Applying);
      EXPECT_EQ(rows, engine.Reporter.Lines);
      const bool applied = c.Outcome == TRecordOutcome::Applied;
      EXPECT_EQ(applied ? NewVersion() : ContentOf(c.Installed), files.Contents(Target));
      EXPECT_EQ(applied ? newStamp : c.Stamp, files.StampOf(Target));
      const std::vector<std::string> left =
          applied ? std::vector<std::string>{"C:\\APP\\MAIN.$$$", Target} : std::vector<std::string>{Target};
      EXPECT_EQ(left, files.FileNames());
    }
}

// What a modify record leaves when a step after the new version is written goes wrong, and
// for read-only files: an earlier backup survives a rename that fails, a date/time that cannot
// be set is a warning, and a read-only file (installed from a disc) can be patched again and
// again, staying read-only while its backup does not.
TEST(VerifiedRecords, BackupsDateTimesAndReadOnlyFiles) {
  const TBytes earlier = Counting(300, 9);
  const struct {
    const char* Name;
    bool FailRename, FailStamp, ReadOnly;
    TRecordOutcome Outcome;
    const char* LastRow;
  } cases[] = {
      {"the target cannot be renamed", true, false, false, TRecordOutcome::Failed,
       "ERROR Cannot move file MAIN.EXE to MAIN.$$$"},
      {"the date/time cannot be set", false, true, false, TRecordOutcome::AppliedWithWarning,
       "WARNING Cannot set the date/time of file: MAIN.EXE"},
      {"read-only file and backup", false, false, true, TRecordOutcome::Applied,
       "INFO Applying modify patch (MAIN.EXE)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TEngine engine;
    TMemoryFileSystem& files = engine.Files;
    files.AddFile(Target, OldVersion(), oldStamp);
    files.AddFile("C:\\APP\\MAIN.$$$", earlier, oldStamp);
    if (c.FailRename) files.FailMove.insert(Target);
    if (c.FailStamp) files.FailSetStamp.insert(Target);
    files.SetReadOnly(Target, c.ReadOnly);
    files.SetReadOnly("C:\\APP\\MAIN.$$$", c.ReadOnly);
    TPatchWriter writer;
    writer.AddModify("&ROOT&\\MAIN.EXE", oldStamp, newStamp, Delta());
    EXPECT_EQ(c.Outcome, engine.ApplyLast(writer));
    EXPECT_EQ(c.LastRow, engine.Reporter.Lines.back());
    const bool applied = c.Outcome != TRecordOutcome::Failed;
    EXPECT_EQ(applied ? NewVersion() : OldVersion(), files.Contents(Target));
    EXPECT_EQ(applied ? OldVersion() : earlier, files.Contents("C:\\APP\\MAIN.$$$"));
    EXPECT_EQ(c.ReadOnly, files.ReadOnly(Target.c_str()));
    EXPECT_EQ(c.ReadOnly && !applied, files.ReadOnly("C:\\APP\\MAIN.$$$"));
    EXPECT_EQ((std::vector<std::string>{"C:\\APP\\MAIN.$$$", Target}), files.FileNames());
  }
}

// Files named as the engine names its scratch files ("$$N" beside a modify target, "$$C"
// beside a copy target) are patched through another scratch name, never written over
// themselves while they are read.
TEST(VerifiedRecords, TargetsNamedLikeScratchFilesArePatchedWhole) {
  for (const char* name : {"DATA.$$N", "DATA.$$C"}) {
    SCOPED_TRACE(name);
    TEngine engine;
    const std::string target = std::string("C:\\APP\\") + name;
    engine.Files.AddFile(target, OldVersion(), oldStamp);
    TPatchWriter writer;
    const std::string path = std::string("&ROOT&\\") + name;
    if (name[7] == 'N') writer.AddModify(path, oldStamp, newStamp, Delta());
    else writer.AddCopy(path, newStamp, NewVersion());
    engine.Run(writer);
    EXPECT_EQ(NewVersion(), engine.Files.Contents(target));
  }
}

// Record paths, as a damaged or hostile patch may spell them: each fails before it touches
// anything, whatever the record's kind, and the files around the folder stay as they were.
TEST(VerifiedRecords, NoRecordPathLeavesItsFolder) {
  const char* const paths[] = {
      "&ROOT&\\..\\X.DLL",  "&ROOT&_OLD\\X.DLL",       "&ROOT&\\SUB\\..\\..\\X.DLL", "C:\\X.DLL",
      "X.DLL",              "\\\\HOST\\SHARE\\X.DLL",  "\\\\?\\C:\\X.DLL",           "&ROOT&\\NUL",
      "&ROOT&\\COM1.TXT",   "&ROOT&\\A.DLL:STREAM",    "&ROOT&\\A.DLL.",             "&ROOT&\\A.DLL ",
      "&ROOT&\\..\\APP.MENDITCON-UNDO", "&NOSUCH&\\X.DLL", "&ROOT&\\\\X.DLL",
  };
  for (const char* path : paths) {
    for (uint32_t type : {ptModify, ptCopy, ptDelete}) {
      SCOPED_TRACE(std::string(path) + " type " + std::to_string(type));
      TEngine engine;
      TMemoryFileSystem& files = engine.Files;
      files.AddDirectory("C:\\APP_OLD");
      for (const char* existing : {"C:\\X.DLL", "C:\\APP_OLD\\X.DLL", "C:\\APP.MENDITCON-UNDO"})
        files.AddFile(existing, OldVersion(), oldStamp);
      TPatchWriter writer;
      writer.AddRecord(MakePatchInfo(path, type, oldStamp, newStamp), type == ptDelete ? TBytes() : Delta());
      engine.Run(writer);
      EXPECT_EQ("ERROR Unsafe path refused: " + std::string(path), engine.Reporter.Lines.back());
      EXPECT_EQ((std::vector<std::string>{"C:\\APP.MENDITCON-UNDO", "C:\\APP_OLD\\X.DLL", "C:\\X.DLL"}),
                files.FileNames());
      for (const std::string& name : files.FileNames()) EXPECT_EQ(oldStamp, files.StampOf(name)) << name;
    }
  }
}

}  // namespace

struct TOutcomes : TPatchFile::TRecordObserver {
  std::vector<TRecordOutcome> Seen;
  void BeforeRecord(TPatchFile&, int) override {}
  void AfterRecord(TPatchFile&, int, TRecordOutcome outcome, const std::string&) override { Seen.push_back(outcome); }
};

// Two modify records of one group of alternatives, made from 1.0 (OldVersion) and 1.1
// (OtherBuild, another date/time): the one made for the installed version acts alone.
TEST(VerifiedRecords, AlternativesActForTheInstalledVersionOnly) {
  using O = TRecordOutcome;
  const std::string path = "&ROOT&\\MAIN.EXE";
  TPatchWriter writer;
  TDeltaWriter literal;
  for (int32_t at = 0; at < 1000; at += 256)
    literal.LiteralBlock(at, NewVersion().data() + at, std::min(256, 1000 - at));
  for (const TBytes& old : {OldVersion(), OtherBuild()}) {
    TVerifyInfo checks;
    SetVerifyOld(checks, old.data(), old.size());
    SetVerifyNew(checks, NewVersion().data(), NewVersion().size());
    checks.Alternative = 7;
    ASSERT_TRUE(writer.AddVerify(path, checks));
    if (old == OldVersion()) writer.AddModify(path, oldStamp, newStamp, Delta());
    else writer.AddModify(path, OtherStamp, newStamp, literal.Bytes());
  }
  const struct {
    TInstalled Installed;
    TDosStamp Stamp;
    std::string Row;
    std::vector<O> Outcomes;
  } cases[] = {
      {TInstalled::Old, oldStamp, "INFO Applying modify patch (MAIN.EXE)", {O::Applied, O::NotThisVersion}},
      {TInstalled::OtherBuild, OtherStamp, "INFO Applying modify patch (MAIN.EXE)", {O::NotThisVersion, O::Applied}},
      {TInstalled::New, newStamp, "INFO File: MAIN.EXE is already up to date", {O::UpToDate, O::NotThisVersion}},
      {TInstalled::Mixed, OtherStamp, "WARNING File: MAIN.EXE has improper date/time stamp - skipping...",
       {O::SkippedOtherVersion, O::NotThisVersion}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Row);
    TEngine engine;
    engine.Files.AddFile(Target, ContentOf(c.Installed), c.Stamp);
    TMemoryInputFile data(writer.Bytes());
    TPatchFile installer(&data, &engine.Macros, &engine.Reporter, &engine.Files);
    TOutcomes outcomes;
    installer.SetRecordObserver(&outcomes);
    installer.Run();
    EXPECT_EQ(std::vector<std::string>({"INFO Reading patch directory...", c.Row}), engine.Reporter.Lines);
    EXPECT_EQ(c.Outcomes, outcomes.Seen);
    EXPECT_EQ(ContentOf(c.Installed == TInstalled::Mixed ? TInstalled::Mixed : TInstalled::New), engine.Files.Contents(Target));
  }
}
