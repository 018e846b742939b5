// The installer over the in-memory file system: the engine's table (engine_table.cpp, run
// over the disk too by win32_patch_test.cpp), and the cases only files in memory can
// express: the patch directory alone, record paths longer than any disk folder allows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "difference/difference_encoder.h"
#include "engine_table.h"
#include "files/journal_file_system.h"
#include "files/memory_file_system.h"
#include "files/recording_file_system.h"
#include "installer_test_data.h"
#include "patch/patch_directory.h"
#include "patch/patch_file.h"
#include "patch/patch_writer.h"
#include "patch/root_macro.h"
#include "paths/macros.h"
#include "tests/support/test_reporters.h"

namespace {

// C:\APP in memory.
class TMemoryWorld : public TEngineWorld {
 public:
  TMemoryWorld() { Memory.AddDirectory(Root()); }
  std::string Root() override { return "C:\\APP"; }
  TFileSystem& Files() override { return Memory; }
  TLines Listing() override {
    TLines names;
    for (const std::string& name : Memory.FileNames()) names.push_back(name.substr(Root().size() + 1));
    return names;
  }
  TMemoryFileSystem Memory;
};

TEST(Installer, EngineTableOverFilesInMemory) {
  RunEngineTable([] { return std::make_unique<TMemoryWorld>(); });
}

// Runs data once or more over C:\APP in memory; keeps the rows and each record's path.
struct TDirectoryRun : TPatchFile::TRecordObserver {
  TMemoryWorld World;
  TMacroExpander Macros;
  TRecordingReporter Reporter;
  TLines Paths;
  TDirectoryRun() { Macros.AddMacro(new TMacroDef("&ROOT&", World.Root())); }
  void Run(const std::vector<uint8_t>& data, int times = 1) {
    TMemoryInputFile file(data);
    TPatchFile installer(&file, &Macros, &Reporter, &World.Memory);
    installer.SetRecordObserver(this);
    for (int i = 0; i < times; ++i) installer.Run();
  }
  void BeforeRecord(TPatchFile&, int) override {}
  void AfterRecord(TPatchFile&, int, TRecordOutcome, const std::string& path) override { Paths.push_back(path); }
};

TEST(Installer, DirectoryIsReadFromHeadersOnlyAnewOnEveryRun) {
  // The copy record's content is itself a complete delete header: it must not be read as
  // one. Records of unknown types are passed over without a row.
  TPatchWriter inner;
  inner.AddDelete("&ROOT&\\GHOST.TXT", 0);
  TPatchWriter writer;
  writer.AddRecord(MakePatchInfo("X", 7, 0), inner.Bytes());
  writer.AddRecord(MakePatchInfo("Y", 8, 0), Counting(100));
  writer.Append(Counting(100));  // the start of a further header
  const std::vector<uint8_t> data = writer.Bytes();
  TMemoryInputFile file(data);
  const TPatchDirectory directory = ReadPatchDirectory(file);
  ASSERT_EQ(2, directory.Count());
  EXPECT_EQ(442, directory[0].RecordSize);
  EXPECT_EQ(442, directory[1].RecordOffset);
  EXPECT_EQ(321, directory[1].RecordSize);
  EXPECT_EQ(TDirectoryEnd::FileEnd, directory.End);
  TDirectoryRun run;
  run.Run(data, 2);
  EXPECT_EQ((TLines{reading, reading}), run.Reporter.Lines);
  EXPECT_EQ((TLines{"X", "Y", "X", "Y"}), run.Paths);
}

TEST(Installer, DamagedHeaderEndsTheDirectory) {
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
    TDirectoryRun run;
    run.Run(bytes);
    EXPECT_EQ((TLines{reading, "ERROR Damaged patch directory at offset 221 - the remaining records are ignored",
                      "ERROR Cannot open source file: FIRST."}),
              run.Reporter.Lines);
    EXPECT_EQ(TLines{"C:\\APP\\FIRST"}, run.Paths);
  }
}

// The directory's end: a final header cut short is dropped without a word; a read error (not
// the file's end) or more records than any real patch holds apply nothing, whatever was read.
TEST(Installer, DirectoryEndsThatApplyNothing) {
  TMacroExpander macros;
  macros.AddMacro(new TMacroDef("&ROOT&", "C:\\APP"));
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

// A new version is flushed to the disk before the rename that puts it in place, in every
// mode: otherwise a power cut could keep the rename and lose the data.
TEST(Installer, NewVersionsReachTheDiskBeforeTheirRenames) {
  const std::vector<uint8_t> old = Counting(1000), next = Counting(1100, 1);
  TDeltaWriter delta;
  delta.CopyBlock(0, 0, {{5, Bytes("new")}});
  delta.Literal(256, next.data() + 256, next.size() - 256);
  std::vector<uint8_t> rebuilt(old.begin(), old.begin() + 256);
  std::copy(next.begin() + 256, next.end(), std::back_inserter(rebuilt));
  std::copy_n(Bytes("new").begin(), 3, rebuilt.begin() + 5);
  std::vector<uint8_t> difference;
  ASSERT_TRUE(EncodeDifference(old.data(), old.size(), rebuilt.data(), rebuilt.size(), difference));
  const TLines renames = {"flush C:\\APP\\MAIN.$$N", "move C:\\APP\\MAIN.EXE C:\\APP\\MAIN.$$$",
                          "move C:\\APP\\MAIN.$$N C:\\APP\\MAIN.EXE"};
  const struct {
    const char* Name;
    int Kind;  // 0 modify, 1 difference, 2 copy over the file
    TLines Steps;
  } cases[] = {
      {"modify", 0, renames},
      {"difference", 1, renames},
      {"copy over a file", 2, {"flush C:\\APP\\MAIN.$$C", "replace C:\\APP\\MAIN.$$C C:\\APP\\MAIN.EXE"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TDirectoryRun run;
    run.World.Memory.AddFile("C:\\APP\\MAIN.EXE", old, oldStamp);
    TPatchWriter writer;
    const bool added = c.Kind == 0   ? writer.AddModify("&ROOT&\\MAIN.EXE", oldStamp, newStamp, delta.Bytes())
                       : c.Kind == 1 ? writer.AddDifference("&ROOT&\\MAIN.EXE", oldStamp, newStamp, difference)
                                     : writer.AddCopy("&ROOT&\\MAIN.EXE", oldStamp, rebuilt);
    ASSERT_TRUE(added);
    run.Run(writer.Bytes());
    EXPECT_EQ(rebuilt, run.World.Memory.Contents("C:\\APP\\MAIN.EXE"));
    EXPECT_EQ(c.Steps, run.World.Memory.Steps);
  }
}

TEST(Installer, RecordPathsThatDoNotFitFailWithoutTouchingAnything) {
  // Record paths hold at most 199 characters; macros make them longer.
  TDirectoryRun run;
  run.Macros.AddMacro(new TMacroDef("&N&", std::string(150, 'N')));
  run.Macros.AddMacro(new TMacroDef("&D&", std::string(250, 'D')));
  const std::string cutName(255, 'N');  // what the splitter keeps of 300 characters
  run.World.Memory.AddFile("C:\\APP\\" + cutName, Bytes("keep"), oldStamp);
  TPatchWriter writer;
  writer.AddDelete("&ROOT&\\&N&&N&", oldStamp);
  writer.AddCopy("&ROOT&\\&N&&N&", oldStamp, Bytes("x"));
  writer.AddModify("&ROOT&\\&D&\\MAIN.EXE", oldStamp, newStamp, Bytes("delta"));
  run.Run(writer.Bytes());
  const std::string error = "ERROR Path too long for file: ";
  EXPECT_EQ((TLines{reading, error + cutName + "...", error + cutName + "...", error + "MAIN.EXE"}),
            run.Reporter.Lines);
  EXPECT_EQ(TLines{cutName}, run.World.Listing());
  EXPECT_EQ(Bytes("keep"), run.World.Memory.Contents("C:\\APP\\" + cutName));
}

TEST(Installer, MakeDirectoriesForABareNameCreatesNothing) {
  TMemoryWorld world;
  EXPECT_TRUE(MakeDirectories(world.Memory, "FILE.DAT"));
  EXPECT_TRUE(MakeDirectories(world.Memory, "C:\\APP\\A\\B\\FILE.DAT"));
  EXPECT_EQ((std::vector<std::string>{"C:\\APP", "C:\\APP\\A", "C:\\APP\\A\\B"}), world.Memory.DirectoryNames());
}

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

// Where names lead is asked before anything else: a record whose target, or a name its step
// makes for itself, leads outside its folder through a link (or is a file with other names)
// fails before a byte is read or written, in a plain run, a check (changes recorded, none
// made) and an all-or-nothing run (journaled), and the file the link leads to stays as it was.
TEST(LinkChecks, ComeBeforeAnyReadOrWrite) {
  struct TCase {
    const char* name;
    const char* link;  // planted; leads to C:\OUT (a folder) or C:\OUT\VICTIM.DLL
    const char* to;
    const char* otherNames;  // a file with a second name; null for none
    uint32_t type;
    const char* path;
    const char* row;
  };
  const TCase cases[] = {
      {"folder_link", "C:\\APP\\PLUGINS", "C:\\OUT", nullptr, ptCopy, "&ROOT&\\PLUGINS\\VICTIM.DLL",
       "ERROR Link refused: VICTIM.DLL leads outside the application folder"},
      {"file_link", "C:\\APP\\MAIN.EXE", "C:\\OUT\\VICTIM.DLL", nullptr, ptModify, "&ROOT&\\MAIN.EXE",
       "ERROR Link refused: MAIN.EXE leads outside the application folder"},
      {"dangling_link", "C:\\APP\\NEW.DLL", "C:\\OUT\\NEW.DLL", nullptr, ptCopy, "&ROOT&\\NEW.DLL",
       "ERROR Link refused: NEW.DLL leads outside the application folder"},
      {"scratch_link", "C:\\APP\\OWN.$$N", "C:\\OUT\\VICTIM.DLL", nullptr, ptModify, "&ROOT&\\OWN.EXE",
       "ERROR Link refused: OWN.$$N leads outside the application folder"},
      {"other_names", "", "", "C:\\APP\\OWN.EXE", ptDelete, "&ROOT&\\OWN.EXE",
       "ERROR Link refused: OWN.EXE has other names (hard links)"},
  };
  enum TMode { Plain, Check, AllOrNothing };
  for (const TCase& c : cases) {
    for (TMode mode : {Plain, Check, AllOrNothing}) {
      SCOPED_TRACE(std::string(c.name) + " mode " + std::to_string(mode));
      TMemoryFileSystem disk;
      disk.AddDirectory("C:\\APP");
      disk.AddDirectory("C:\\OUT");
      disk.AddFile("C:\\OUT\\VICTIM.DLL", Counting(1000), oldStamp);
      disk.AddFile("C:\\APP\\OWN.EXE", Counting(1000), oldStamp);
      if (*c.link) disk.Links[c.link] = c.to;
      if (c.otherNames) disk.OtherNames.insert(c.otherNames);
      TPatchWriter writer;
      if (c.type == ptCopy) writer.AddCopy(c.path, newStamp, Bytes("planted"));
      if (c.type == ptModify) writer.AddModify(c.path, oldStamp, newStamp, {0});
      if (c.type == ptDelete) writer.AddDelete(c.path, oldStamp);
      TRecordingFileSystem recording(disk);
      TJournalFileSystem journal(disk, "C:\\APP.MENDITCON-UNDO", "C:\\APP");
      if (mode == AllOrNothing) {
        ASSERT_TRUE(journal.Begin());
      }
      TFileSystem& files = mode == Plain ? static_cast<TFileSystem&>(disk)
                           : mode == Check ? static_cast<TFileSystem&>(recording) : journal;
      const int writesBefore = disk.Writes;
      TMacroExpander macros;
      macros.AddMacro(new TMacroDef("&ROOT&", "C:\\APP"));
      TRecordingReporter reporter;
      const std::vector<uint8_t> data = writer.Bytes();
      TMemoryInputFile input(data);
      TPatchFile(&input, &macros, &reporter, &files).Run();
      EXPECT_EQ((TLines{"INFO Reading patch directory...", c.row}), reporter.Lines);
      EXPECT_EQ(0, disk.Reads);
      EXPECT_EQ(writesBefore, disk.Writes);
      EXPECT_TRUE(recording.Changes().empty());
      EXPECT_EQ(Counting(1000), disk.Contents("C:\\OUT\\VICTIM.DLL"));
      EXPECT_FALSE(disk.Exists("C:\\OUT\\NEW.DLL"));
    }
  }
}

}  // namespace
