// The installer over the in-memory file system: directory reading, copy, delete and modify
// records, and what is left behind when a record fails (faults injected per path). The
// plain cases on real files are in win32_patch_test.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "files/memory_file_system.h"
#include "patch/patch_file.h"
#include "patch/patch_writer.h"
#include "patch/root_macro.h"
#include "paths/macros.h"
#include "paths/path_name.h"
#include "installer_test_data.h"
#include "tests/support/test_reporters.h"

namespace {

using TLines = std::vector<std::string>;

// Keeps the outcome and path the installer reports for each record.
class TOutcomeRecorder : public TPatchFile::TRecordObserver {
 public:
  std::vector<TRecordOutcome> Outcomes;
  std::vector<std::string> Paths;
  void BeforeRecord(TPatchFile&, int) override {}
  void AfterRecord(TPatchFile&, int, TRecordOutcome outcome, const std::string& path) override {
    Outcomes.push_back(outcome);
    Paths.push_back(path);
  }
};

class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    files.AddDirectory("C:\\APP");
    macros.AddMacro(new TMacroDef("&ROOT&", "C:\\APP"));
  }

  // Runs the patch data file built so far; returns every report.
  TLines Run() {
    data = writer.Bytes();
    TMemoryInputFile file(data);
    TPatchFile installer(&file, &macros, &reporter, &files);
    installer.SetMessageHook([](void* count) { ++*static_cast<int*>(count); }, &hookCalls);
    installer.Run();
    return reporter.Lines;
  }

  // The delta used for MAIN.EXE throughout: every block kind over a 1000-byte file.
  static std::vector<uint8_t> MainDelta() {
    TDeltaWriter delta;
    const std::vector<uint8_t> text = Bytes("new text");
    delta.CopyBlock(0, 3, {{0, Bytes("AB")}, {10, Bytes("C")}, {5, {}}});
    delta.CopyBlock(256, 256);
    delta.LiteralBlock(512, text.data(), text.size());
    delta.CopyBlock(520, 900);  // near the end of the previous version: zero bytes follow
    return delta.Bytes();
  }
  static std::vector<uint8_t> MainRebuilt() {
    const std::vector<uint8_t> old = Counting(1000);
    std::vector<uint8_t> want(old.begin() + 3, old.begin() + 259);
    want[0] = 'A';
    want[1] = 'B';
    want[10] = 'C';
    want.insert(want.end(), old.begin() + 256, old.begin() + 512);
    for (char c : std::string("new text")) want.push_back(static_cast<uint8_t>(c));
    want.insert(want.end(), old.begin() + 900, old.end());
    want.resize(520 + 256, 0);
    return want;
  }

  TMemoryFileSystem files;
  TMacroExpander macros;
  TRecordingReporter reporter;
  TPatchWriter writer;
  std::vector<uint8_t> data;
  int hookCalls = 0;
};

// Directory reading.

TEST_F(Installer, EmptyDataFileGivesEmptyDirectory) {
  EXPECT_EQ(TLines{reading}, Run());
}

TEST_F(Installer, ReadsHeadersOnlyJumpingOverRecordData) {
  // The copy record's content is itself a complete delete header: it must not be read as one.
  TPatchWriter inner;
  inner.AddDelete("&ROOT&\\GHOST.TXT", 0);
  writer.AddRecord(MakePatchInfo("X", 7, 0), inner.Bytes());
  writer.AddRecord(MakePatchInfo("Y", 8, 0), Counting(100));
  writer.Append(Counting(100));  // the start of a further header
  data = writer.Bytes();
  TMemoryInputFile file(data);
  const TPatchDirectory directory = ReadPatchDirectory(file);
  ASSERT_EQ(2, directory.Count());
  EXPECT_EQ(std::string("X"), directory[0].Path);
  EXPECT_EQ(442, directory[0].RecordSize);
  EXPECT_EQ(442, directory[1].RecordOffset);
  EXPECT_EQ(321, directory[1].RecordSize);
  EXPECT_EQ(TDirectoryEnd::FileEnd, directory.End);
  EXPECT_EQ((TLines{reading}), Run());
}

TEST_F(Installer, DamagedHeaderEndsTheDirectory) {
  struct TCase {
    const char* name;
    int32_t offset;  // of the damaged header (written at 221)
    int32_t size;
  };
  const TCase cases[] = {
      {"pointing_at_itself", 221, 0},
      {"pointing_back_to_the_first", 0, 221},
      {"size_below_header", 221, 100},
      {"forward_but_size_below_header", 5000, 10},
      {"negative_offset", -221, 1000},
      {"next_inside_this_header", 221, 220},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TPatchWriter damaged;
    damaged.AddDelete("&ROOT&\\FIRST", 0);
    TPatchInfo bad = MakePatchInfo("BAD", ptDelete, 0);
    bad.RecordOffset = c.offset;
    bad.RecordSize = c.size;
    damaged.AddHeaderAsIs(bad);
    damaged.AddDelete("&ROOT&\\NEVER", 0);
    const std::vector<uint8_t> bytes = damaged.Bytes();
    TMemoryInputFile file(bytes);
    EXPECT_EQ(1, ReadPatchDirectory(file).Count());
    TRecordingReporter lines;
    TPatchFile installer(&file, &macros, &lines, &files);
    installer.Run();
    EXPECT_EQ((TLines{reading, "ERROR Damaged patch directory at offset 221 - the remaining records are ignored",
                      "ERROR Cannot open source file: FIRST."}),
              lines.Lines);
  }
}

// Copy records.

TEST_F(Installer, CopyCreatesTheDirectoryTreeAndStampsTheFile) {
  writer.AddCopy("&ROOT&\\data\\New\\File.dat", oldStamp, Bytes("content"));
  EXPECT_EQ((TLines{reading, "INFO Applying copy patch (File.dat)"}), Run());
  EXPECT_EQ((std::vector<std::string>{"C:\\APP", "C:\\APP\\DATA", "C:\\APP\\DATA\\NEW"}), files.DirectoryNames());
  EXPECT_EQ("C:\\APP\\DATA\\NEW\\FILE.DAT", files.NameOf("C:\\APP\\DATA\\NEW\\FILE.DAT"));
  EXPECT_EQ(Bytes("content"), files.Contents("C:\\APP\\DATA\\NEW\\FILE.DAT"));
  EXPECT_EQ(oldStamp, files.StampOf("C:\\APP\\DATA\\NEW\\FILE.DAT"));
}

TEST_F(Installer, CopyFailuresLeaveNoFileOfUnreadBytes) {
  struct TCase {
    const char* name;
    void (*fault)(TMemoryFileSystem&);
    bool cutShort;
    std::string error;
  };
  const TCase cases[] = {
      {"data_cut_short", [](TMemoryFileSystem&) {}, true, "ERROR Cannot read patch data for file: File.dat"},
      {"directory_refused", [](TMemoryFileSystem& fs) { fs.FailCreateDir.insert("C:\\APP\\SUB"); }, false,
       "ERROR Cannot create directories for file: File.dat"},
      {"file_refused", [](TMemoryFileSystem& fs) { fs.FailCreate.insert("C:\\APP\\SUB\\FILE.DAT"); }, false,
       "ERROR Cannot open destination file: File.dat"},
      {"write_fails", [](TMemoryFileSystem& fs) { fs.FailWrites.insert("C:\\APP\\SUB\\FILE.DAT"); }, false,
       "ERROR Cannot write destination file: File.dat"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TMemoryFileSystem fs;
    fs.AddDirectory("C:\\APP");
    c.fault(fs);
    TPatchWriter w;
    w.AddCopy("&ROOT&\\Sub\\File.dat", oldStamp, Counting(1000));
    w.AddDelete("&ROOT&\\NEXT.TXT", 0);  // the run goes on after the failure
    std::vector<uint8_t> bytes = w.Bytes();
    if (c.cutShort) bytes.resize(221 + 500);
    TMemoryInputFile file(bytes);
    TRecordingReporter lines;
    TPatchFile installer(&file, &macros, &lines, &fs);
    installer.Run();
    TLines want = {reading, "INFO Applying copy patch (File.dat)", c.error};
    if (!c.cutShort) want.push_back("ERROR Cannot open source file: NEXT.TXT");
    EXPECT_EQ(want, lines.Lines);
    EXPECT_FALSE(fs.Exists("C:\\APP\\SUB\\FILE.DAT"));
  }
}

TEST_F(Installer, CopyOverAnExistingFileKeepsItUntilTheNewOneIsComplete) {
  struct TCase {
    const char* name;
    void (*fault)(TMemoryFileSystem&);
    std::string error;  // empty: the copy succeeds
  };
  const TCase cases[] = {
      {"write_fails", [](TMemoryFileSystem& fs) { fs.MaxFileSize = 300 * 1024; },
       "ERROR Cannot write destination file: File.dat"},
      {"read_only", [](TMemoryFileSystem& fs) { fs.SetReadOnly("C:\\APP\\FILE.DAT", true); },
       "ERROR Cannot open destination file: File.dat"},
      {"replaced", [](TMemoryFileSystem&) {}, ""},
  };
  const std::vector<uint8_t> content = Counting(600 * 1024, 1);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TMemoryFileSystem fs;
    fs.AddDirectory("C:\\APP");
    fs.AddFile("C:\\APP\\File.dat", Bytes("the user's file"), newStamp);
    c.fault(fs);
    TPatchWriter w;
    w.AddCopy("&ROOT&\\File.dat", oldStamp, content);
    std::vector<uint8_t> bytes = w.Bytes();
    TMemoryInputFile file(bytes);
    TRecordingReporter lines;
    TPatchFile installer(&file, &macros, &lines, &fs);
    int calls = 0;
    installer.SetMessageHook([](void* count) { ++*static_cast<int*>(count); }, &calls);
    installer.Run();
    TLines want = {reading, "INFO Applying copy patch (File.dat)"};
    if (!c.error.empty()) want.push_back(c.error);
    EXPECT_EQ(want, lines.Lines);
    // Only the file itself, under the spelling it had; its content is whole, old or new.
    EXPECT_EQ(std::vector<std::string>{"C:\\APP\\File.dat"}, fs.FileNames());
    EXPECT_EQ(c.error.empty() ? content : Bytes("the user's file"), fs.Contents("C:\\APP\\FILE.DAT"));
    EXPECT_EQ(c.error.empty() ? oldStamp : newStamp, fs.StampOf("C:\\APP\\FILE.DAT"));
    // Waiting messages are dispatched before every 256 KB piece of the copy.
    EXPECT_EQ(c.error.empty() ? 3 : calls, calls);
  }
}

// The directory's end: a final header cut short is dropped without a word; a read error (not
// the file's end) or more records than any real patch holds apply nothing, whatever was read.
TEST_F(Installer, DirectoryEndsThatApplyNothing) {
  // Reads fail from FailAt on, as a disk error would.
  class TFailingInput : public TMemoryInputFile {
   public:
    TFailingInput(const std::vector<uint8_t>& bytes, int64_t failAt) : TMemoryInputFile(bytes), failAt(failAt) {}
    int64_t Read(int64_t offset, void* buffer, size_t count) override {
      return offset >= failAt ? -1 : TMemoryInputFile::Read(offset, buffer, count);
    }

   private:
    int64_t failAt;
  };
  std::vector<uint8_t> many((MaxPatchRecords + 1) * TPatchInfo::Size);
  for (int i = 0; i <= MaxPatchRecords; ++i) {
    TPatchInfo header = MakePatchInfo("&ROOT&\\X", 7, 0);
    header.RecordOffset = i * static_cast<int32_t>(TPatchInfo::Size);
    header.RecordSize = TPatchInfo::Size;
    FormatPatchInfo(header, &many[static_cast<size_t>(i) * TPatchInfo::Size]);
  }
  TPatchWriter two;
  two.AddCopy("&ROOT&\\A.TXT", oldStamp, Bytes("a"));
  two.AddCopy("&ROOT&\\B.TXT", oldStamp, Bytes("b"));
  std::vector<uint8_t> cut = two.Bytes();
  cut.resize(cut.size() + TPatchInfo::Size - 1);
  const struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
    int64_t FailAt;
    TDirectoryEnd End;
    int Files;  // written by the run
    TLines Rows;
  } cases[] = {
      {"final header cut short", cut, -1, TDirectoryEnd::FileEnd, 2,
       {reading, "INFO Applying copy patch (A.TXT)", "INFO Applying copy patch (B.TXT)"}},
      {"read error at the second header", two.Bytes(), 222, TDirectoryEnd::ReadFailed, 0,
       {reading, "ERROR Cannot install patch: cannot read the patch directory of the patch data file - nothing was changed"}},
      {"too many records", many, -1, TDirectoryEnd::TooManyRecords, 0,
       {reading, "ERROR Cannot install patch: the patch directory of the patch data file holds more than 100000 records"
                 " - nothing was changed"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TFailingInput file(c.Bytes, c.FailAt < 0 ? INT64_MAX : c.FailAt);
    EXPECT_EQ(c.End, ReadPatchDirectory(file).End);
    TMemoryFileSystem disk;
    disk.AddDirectory("C:\\APP");
    TRecordingReporter lines;
    TPatchFile(&file, &macros, &lines, &disk).Run();
    EXPECT_EQ(c.Rows, lines.Lines);
    EXPECT_EQ(static_cast<size_t>(c.Files), disk.FileNames().size());
  }
}

TEST_F(Installer, RecordPathsThatDoNotFitFailWithoutTouchingAnything) {
  // Record paths hold at most 199 characters; macros make them longer.
  macros.AddMacro(new TMacroDef("&N&", std::string(150, 'N')));
  macros.AddMacro(new TMacroDef("&D&", std::string(250, 'D')));
  const std::string cutName(255, 'N');  // what the splitter keeps of 300 characters
  files.AddFile("C:\\APP\\" + cutName, Bytes("keep"), oldStamp);
  writer.AddDelete("&ROOT&\\&N&&N&", oldStamp);
  writer.AddCopy("&ROOT&\\&N&&N&", oldStamp, Bytes("x"));
  writer.AddModify("&ROOT&\\&D&\\MAIN.EXE", oldStamp, newStamp, MainDelta());
  const std::string error = "ERROR Path too long for file: ";
  EXPECT_EQ((TLines{reading, error + cutName + "...", error + cutName + "...", error + "MAIN.EXE"}), Run());
  EXPECT_EQ(std::vector<std::string>{"C:\\APP\\" + cutName}, files.FileNames());
  EXPECT_EQ(Bytes("keep"), files.Contents("C:\\APP\\" + cutName));
}

TEST_F(Installer, MakeDirectoriesForABareNameCreatesNothing) {
  EXPECT_TRUE(MakeDirectories(files, "FILE.DAT"));
  EXPECT_TRUE(MakeDirectories(files, "C:\\APP\\A\\B\\FILE.DAT"));
  EXPECT_EQ((std::vector<std::string>{"C:\\APP", "C:\\APP\\A", "C:\\APP\\A\\B"}), files.DirectoryNames());
}

// Delete records.

TEST_F(Installer, DeleteActsOnlyOnTheExactVersion) {
  struct TCase {
    const char* name;
    void (*setup)(TMemoryFileSystem&);
    TLines want;
    bool kept;
  };
  const TCase cases[] = {
      {"exact_version", [](TMemoryFileSystem& fs) { fs.AddFile("C:\\APP\\OLD.DLL", {1}, oldStamp); },
       {reading, "INFO Applying delete patch (old.dll)"}, false},
      {"other_stamp", [](TMemoryFileSystem& fs) { fs.AddFile("C:\\APP\\OLD.DLL", {1}, newStamp); },
       {reading, "WARNING File: OLD.DLL has improper date/time stamp - skipping..."}, true},
      {"stamp_two_seconds_off", [](TMemoryFileSystem& fs) { fs.AddFile("C:\\APP\\OLD.DLL", {1}, oldStamp + 1); },
       {reading, "WARNING File: OLD.DLL has improper date/time stamp - skipping..."}, true},
      {"stamp_unreadable",
       [](TMemoryFileSystem& fs) {
         fs.AddFile("C:\\APP\\OLD.DLL", {1}, oldStamp);
         fs.FailStamp.insert("C:\\APP\\OLD.DLL");
       },
       {reading, "WARNING File: OLD.DLL has improper date/time stamp - skipping..."}, true},
      {"missing", [](TMemoryFileSystem&) {}, {reading, "ERROR Cannot open source file: OLD.DLL"}, false},
      {"read_only",
       [](TMemoryFileSystem& fs) {
         fs.AddFile("C:\\APP\\OLD.DLL", {1}, oldStamp);
         fs.SetReadOnly("C:\\APP\\OLD.DLL", true);
       },
       {reading, "INFO Applying delete patch (old.dll)", "ERROR Cannot delete file: old.dll"}, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TMemoryFileSystem fs;
    fs.AddDirectory("C:\\APP");
    c.setup(fs);
    // The check names the file by its full path (upper case), the rest as the record spells it.
    TPatchWriter w;
    w.AddDelete("&ROOT&\\old.dll", oldStamp);
    const std::vector<uint8_t> bytes = w.Bytes();
    TMemoryInputFile file(bytes);
    TRecordingReporter lines;
    TPatchFile installer(&file, &macros, &lines, &fs);
    installer.Run();
    EXPECT_EQ(c.want, lines.Lines);
    EXPECT_EQ(c.kept, fs.Exists("C:\\APP\\OLD.DLL"));
  }
}

// Modify records.

TEST_F(Installer, ModifyRebuildsFromEveryBlockKindAndKeepsTheBackup) {
  files.AddFile("C:\\APP\\Main.exe", Counting(1000), oldStamp);
  writer.AddModify("&ROOT&\\Main.exe", oldStamp, newStamp, MainDelta());
  EXPECT_EQ((TLines{reading, "INFO Applying modify patch (Main.exe)"}), Run());
  EXPECT_EQ(MainRebuilt(), files.Contents("C:\\APP\\MAIN.EXE"));
  EXPECT_EQ(newStamp, files.StampOf("C:\\APP\\MAIN.EXE"));
  EXPECT_EQ("C:\\APP\\MAIN.EXE", files.NameOf("C:\\APP\\MAIN.EXE"));
  EXPECT_EQ(Counting(1000), files.Contents("C:\\APP\\MAIN.$$$"));
  EXPECT_EQ(oldStamp, files.StampOf("C:\\APP\\MAIN.$$$"));
  // Once per block: the hook, then progress against the length of the data file.
  EXPECT_EQ(4, hookCalls);
  ASSERT_EQ(4u, reporter.Progress.size());
  EXPECT_EQ(520, reporter.Progress.back().first);
  EXPECT_EQ(static_cast<int32_t>(data.size()), reporter.Progress.back().second);
}

TEST_F(Installer, RecordsActInFileOrderAndUnknownTypesAreSilent) {
  writer.AddCopy("&ROOT&\\MAIN.EXE", oldStamp, Counting(1000));
  writer.AddRecord(MakePatchInfo("&ROOT&\\MAIN.EXE", 3, 0), {});
  writer.AddRecord(MakePatchInfo("&ROOT&\\MAIN.EXE", 0x403, 0), {});
  writer.AddRecord(MakePatchInfo("&ROOT&\\MAIN.EXE", 0xFFFFFFFF, 0), {});
  TPatchInfo modify = MakePatchInfo("&ROOT&\\MAIN.EXE", ptModify | PatchTypeReservedBit, oldStamp, newStamp);
  writer.AddRecord(modify, MainDelta());
  writer.AddDelete("&ROOT&\\MAIN.$$$", oldStamp);
  EXPECT_EQ((TLines{reading, "INFO Applying copy patch (MAIN.EXE)", "INFO Applying modify patch (MAIN.EXE)",
                    "INFO Applying delete patch (MAIN.$$$)"}),
            Run());
  EXPECT_EQ(MainRebuilt(), files.Contents("C:\\APP\\MAIN.EXE"));
  EXPECT_FALSE(files.Exists("C:\\APP\\MAIN.$$$"));
}

TEST_F(Installer, FailedModifyPutsThePreviousVersionBack) {
  struct TCase {
    const char* name;
    void (*fault)(TMemoryFileSystem&);
    std::vector<uint8_t> delta;
    std::string error;
  };
  TDeltaWriter malformed;
  malformed.CopyBlock(0, 0);
  malformed.AppendInt32(256);
  malformed.AppendInt32(0);
  malformed.Append({250, 10});
  const auto none = [](TMemoryFileSystem&) {};
  const TCase cases[] = {
      {"move_refused", [](TMemoryFileSystem& fs) { fs.FailMove.insert("C:\\APP\\MAIN.EXE"); }, MainDelta(),
       "ERROR Cannot move file MAIN.EXE to MAIN.$$$"},
      // The new version is written beside the target as MAIN.$$N, then takes its place.
      {"new_version_cannot_take_its_place", [](TMemoryFileSystem& fs) { fs.FailMove.insert("C:\\APP\\MAIN.$$N"); },
       MainDelta(), "ERROR Cannot open destination file: MAIN.EXE"},
      {"new_version_cannot_be_created", [](TMemoryFileSystem& fs) { fs.FailCreate.insert("C:\\APP\\MAIN.$$N"); },
       MainDelta(), "ERROR Cannot open destination file: MAIN.EXE"},
      {"read_error_in_block_loop", [](TMemoryFileSystem& fs) { fs.FailReads.insert("C:\\APP\\MAIN.EXE"); },
       MainDelta(), "ERROR Cannot read source file: MAIN.EXE"},
      {"write_error_in_block_loop", [](TMemoryFileSystem& fs) { fs.FailWrites.insert("C:\\APP\\MAIN.$$N"); },
       MainDelta(), "ERROR Cannot write destination file: MAIN.EXE"},
      {"edit_past_block_end", none, malformed.Bytes(), "ERROR Damaged patch data for file: MAIN.EXE"},
      {"empty_delta", none, {}, "ERROR Cannot read patch data for file: MAIN.EXE"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TMemoryFileSystem fs;
    fs.AddDirectory("C:\\APP");
    fs.AddFile("C:\\APP\\MAIN.EXE", Counting(1000), oldStamp);
    c.fault(fs);
    TPatchWriter w;
    w.AddModify("&ROOT&\\MAIN.EXE", oldStamp, newStamp, c.delta);
    w.AddDelete("&ROOT&\\NEXT.TXT", 0);
    const std::vector<uint8_t> bytes = w.Bytes();
    TMemoryInputFile file(bytes);
    TRecordingReporter lines;
    TPatchFile installer(&file, &macros, &lines, &fs);
    installer.Run();
    EXPECT_EQ((TLines{reading, "INFO Applying modify patch (MAIN.EXE)", c.error,
                      "ERROR Cannot open source file: NEXT.TXT"}),
              lines.Lines);
    EXPECT_EQ(Counting(1000), fs.Contents("C:\\APP\\MAIN.EXE"));
    EXPECT_EQ(oldStamp, fs.StampOf("C:\\APP\\MAIN.EXE"));
    EXPECT_EQ(std::vector<std::string>{"C:\\APP\\MAIN.EXE"}, fs.FileNames());
  }
}

TEST_F(Installer, InterruptedModifyIsFinishedByTheNextRun) {
  const std::vector<uint8_t> rebuilt = MainRebuilt();
  const std::vector<uint8_t> part(rebuilt.begin(), rebuilt.begin() + 300);
  std::vector<uint8_t> longer = rebuilt;
  longer.push_back(0);
  struct TCase {
    const char* name;
    std::vector<uint8_t> target;
    TDosStamp backupStamp;
    bool recovered;
  };
  const TCase cases[] = {
      {"part_written", part, oldStamp, true},
      {"nothing_written", {}, oldStamp, true},
      {"all_written_not_stamped", rebuilt, oldStamp, true},
      {"changed_by_the_user", Bytes("the user's own settings"), oldStamp, false},
      {"longer_than_the_new_version", longer, oldStamp, false},
      {"backup_of_another_version", part, newStamp, false},
      // Ended between the two renames: no target, the whole new version beside it.
      {"renamed_to_backup_new_version_complete", rebuilt, oldStamp, true},
      {"renamed_to_backup_new_version_partial", part, oldStamp, false},
  };
  const TDosStamp interrupted = MakeDosStamp(2003, 1, 1, 0, 0, 0);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TMemoryFileSystem fs;
    fs.AddDirectory("C:\\APP");
    const bool renamed = std::string(c.name).rfind("renamed", 0) == 0;
    fs.AddFile(renamed ? "C:\\APP\\MAIN.$$N" : "C:\\APP\\MAIN.EXE", c.target, interrupted);
    fs.AddFile("C:\\APP\\MAIN.$$$", Counting(1000), c.backupStamp);
    TPatchWriter w;
    w.AddModify("&ROOT&\\MAIN.EXE", oldStamp, newStamp, MainDelta());
    std::vector<uint8_t> bytes = w.Bytes();
    TMemoryInputFile file(bytes);
    TRecordingReporter lines;
    TOutcomeRecorder outcomes;
    TPatchFile installer(&file, &macros, &lines, &fs);
    installer.SetRecordObserver(&outcomes);
    installer.Run();
    const TRecordOutcome wantOutcome = c.recovered ? TRecordOutcome::RecoveredAndApplied
                                       : renamed   ? TRecordOutcome::Failed
                                                   : TRecordOutcome::SkippedOtherVersion;
    EXPECT_EQ(std::vector<TRecordOutcome>{wantOutcome}, outcomes.Outcomes);
    EXPECT_EQ(std::vector<std::string>{"C:\\APP\\MAIN.EXE"}, outcomes.Paths);
    const TLines want =
        c.recovered ? TLines{reading,
                             "WARNING File: MAIN.EXE was left incomplete by an interrupted run - restoring MAIN.$$$...",
                             "INFO Applying modify patch (MAIN.EXE)"}
        : renamed   ? TLines{reading, "ERROR Cannot open source file: MAIN.EXE"}
                    : TLines{reading, "WARNING File: MAIN.EXE has improper date/time stamp - skipping..."};
    EXPECT_EQ(want, lines.Lines);
    if (renamed && !c.recovered) continue;
    EXPECT_EQ(c.recovered ? rebuilt : c.target, fs.Contents("C:\\APP\\MAIN.EXE"));
    EXPECT_EQ(c.recovered ? newStamp : interrupted, fs.StampOf("C:\\APP\\MAIN.EXE"));
    EXPECT_FALSE(fs.Exists("C:\\APP\\MAIN.$$N"));
    EXPECT_EQ(Counting(1000), fs.Contents("C:\\APP\\MAIN.$$$"));
    EXPECT_EQ(c.recovered ? oldStamp : c.backupStamp, fs.StampOf("C:\\APP\\MAIN.$$$"));
  }
}

TEST_F(Installer, ModifyDataCutShortLeavesTheFileAlone) {
  files.AddFile("C:\\APP\\MAIN.EXE", Counting(1000), oldStamp);
  files.AddFile("C:\\APP\\MAIN.$$$", Bytes("earlier backup"), oldStamp);
  writer.AddModify("&ROOT&\\MAIN.EXE", oldStamp, newStamp, MainDelta());
  std::vector<uint8_t> bytes = writer.Bytes();
  bytes.pop_back();
  TMemoryInputFile file(bytes);
  TPatchFile installer(&file, &macros, &reporter, &files);
  installer.Run();
  EXPECT_EQ((TLines{reading, "INFO Applying modify patch (MAIN.EXE)",
                    "ERROR Cannot read patch data for file: MAIN.EXE"}),
            reporter.Lines);
  EXPECT_EQ(Counting(1000), files.Contents("C:\\APP\\MAIN.EXE"));
  EXPECT_EQ(Bytes("earlier backup"), files.Contents("C:\\APP\\MAIN.$$$"));
}

TEST_F(Installer, ModifyOfAFileNamedLikeItsBackupIsRefused) {
  files.AddFile("C:\\APP\\DATA.$$$", Counting(1000), oldStamp);
  writer.AddModify("&ROOT&\\DATA.$$$", oldStamp, newStamp, MainDelta());
  EXPECT_EQ((TLines{reading, "INFO Applying modify patch (DATA.$$$)", "ERROR Cannot move file DATA.$$$ to DATA.$$$"}),
            Run());
  EXPECT_EQ(Counting(1000), files.Contents("C:\\APP\\DATA.$$$"));
}

}  // namespace

namespace {
// TRootMacro's definition is applied before an older "&ROOT&" while it lives, and only it
// is taken out afterwards.
TEST(RootMacro, DefinesRootForItsScopeOnly) {
  TMacroExpander macros;
  macros.AddMacro(new TMacroDef("&ROOT&", "C:\\OLDER"));
  {
    TRootMacro root(macros, "C:\\APP");
    EXPECT_EQ(std::string("C:\\APP\\X"), macros.ExpandMacros("&root&\\X"));
  }
  EXPECT_EQ(std::string("C:\\OLDER\\X"), macros.ExpandMacros("&ROOT&\\X"));
  EXPECT_EQ(1u, macros.Definitions().Count());
}
}  // namespace
