// Whole installation runs: a patch data file written with the engine's writer, packed into
// a cabinet by the binding's building side, unpacked and applied to real files.

#include <gtest/gtest.h>

#include "tests/support/cab_test_support.h"
#include "files/journal_file_system.h"
#include "install/folder_lock.h"
#include "tests/support/unix_links.h"
#include "install/installation_run.h"
#include "files/dos_stamp.h"
#include "patch/patch_writer.h"
#include "paths/macros.h"

namespace {
const TDosStamp OldStamp = MakeDosStamp(2001, 2, 3, 4, 5, 6);
const TDosStamp NewStamp = MakeDosStamp(2002, 3, 4, 5, 6, 8);

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// The unpacker's temporary files are counted below, so this program keeps its temporary files
// in a folder of its own: test programs running beside it use the shared one.
class TPrivateTemporaryFolder : public testing::Environment {
 public:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder = std::string(temp) + "installation_test_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    SetEnvironmentVariableA("TMP", folder.c_str());
    SetEnvironmentVariableA("TEMP", folder.c_str());
  }
  void TearDown() override {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do DeleteFileA((folder + "\\" + found.cFileName).c_str());
      while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
  }

 private:
  std::string folder;
};
testing::Environment* const PrivateTemporaryFolder = testing::AddGlobalTestEnvironment(new TPrivateTemporaryFolder);

// The number of the unpacker's kind of temporary files ("tmp*.tmp") in the temporary folder.
int TemporaryFileCount() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  int count = 0;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((std::string(temp) + "tmp*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do ++count;
  while (FindNextFileA(search, &found));
  FindClose(search);
  return count;
}

// A target application in app\ with APP.EXE (to be modified) and OLD.DLL (to be deleted),
// and the run's parameters; the reporter records "CLEAR" when the log is cleared.
struct TRunFixture {
  TScratchFolder dir{"cabtest", true};
  TRecordingReporter reporter;
  TMacroExpander macros;
  TInstallationRun run;
  std::string target, patch;
  int pumped = 0;

  TRunFixture() {
    CreateDirectoryA((dir / "app").c_str(), nullptr);
    WriteFile(dir / "app\\APP.EXE", "old program");
    SetLocalDosStamp(dir / "app\\APP.EXE", DosDate(OldStamp), DosTime(OldStamp));
    WriteFile(dir / "app\\OLD.DLL", "old library");
    SetLocalDosStamp(dir / "app\\OLD.DLL", DosDate(OldStamp), DosTime(OldStamp));
    target = dir / "app\\APP.EXE";
    patch = dir / "patch.cab";
    run.TargetPath = target.c_str();
    run.MainName = "APP.EXE";
    run.Patch = patch.c_str();
    run.Macros = &macros;
    run.Reporter = &reporter;
    run.MessageHook = [](void* context) { ++*static_cast<int*>(context); };
    run.MessageContext = &pumped;
    run.ClearLog = [this] { reporter.Lines.push_back("CLEAR"); };
  }
};

// Copy, modify and delete records through "&ROOT&".
std::vector<uint8_t> ThreeRecordPatch() {
  TPatchWriter writer;
  writer.AddCopy("&ROOT&\\NEW\\ADDED.TXT", NewStamp, Bytes("added file"));
  TDeltaWriter delta;
  const std::string newProgram = "new program, longer than the old one";
  delta.Literal(0, reinterpret_cast<const uint8_t*>(newProgram.data()), newProgram.size());
  writer.AddModify("&ROOT&\\APP.EXE", OldStamp, NewStamp, delta.Bytes());
  writer.AddDelete("&root&\\OLD.DLL", OldStamp);
  return writer.Bytes();
}

TEST(InstallationRun, AppliesAPatchFromACabinetTheProjectBuilt) {
  TRunFixture f;
  const std::vector<uint8_t> data = ThreeRecordPatch();
  WriteFile(f.dir / "patch.dat", std::string(data.begin(), data.end()));
  ASSERT_TRUE(MakeCabinetWithFci(f.patch, {{f.dir / "patch.dat", "patch.dat"}}));
  const int temporaries = TemporaryFileCount();

  EXPECT_EQ(TInstallOutcome::Installed, RunInstallation(f.run));
  const std::vector<std::string> want{
      "CLEAR",
      "INFO Unpacking patch...",
      "INFO Installing patch...",
      "INFO Reading patch directory...",
      "INFO Applying copy patch (ADDED.TXT)",
      "INFO Applying modify patch (APP.EXE)",
      "INFO Applying delete patch (OLD.DLL)",
      "INFO Patching completed !",
  };
  EXPECT_EQ(want, f.reporter.Lines);
  EXPECT_EQ("added file", ReadFile(f.dir / "app\\NEW\\ADDED.TXT"));
  EXPECT_EQ("new program, longer than the old one", ReadFile(f.dir / "app\\APP.EXE"));
  EXPECT_EQ(NewStamp, LocalStampOf(f.dir / "app\\APP.EXE"));
  EXPECT_EQ("old program", ReadFile(f.dir / "app\\APP.$$$"));
  EXPECT_FALSE(FileExists(f.dir / "app\\OLD.DLL"));
  EXPECT_LT(0, f.pumped);
  EXPECT_LT(0u, f.reporter.Progress.size());
  // "&ROOT&" is gone again, and so are the unpacker's temporary files.
  EXPECT_EQ("&ROOT&\\X", f.macros.ExpandMacros("&ROOT&\\X"));
  EXPECT_EQ(temporaries, TemporaryFileCount());
}

// Only the last file of the cabinet is the patch data; the others are unpacked and dropped.
TEST(InstallationRun, InstallsOnlyTheLastFileOfTheCabinet) {
  TRunFixture f;
  TPatchWriter first, last;
  first.AddDelete("&ROOT&\\APP.EXE", OldStamp);
  last.AddCopy("&ROOT&\\LAST.TXT", NewStamp, Bytes("from the last file"));
  WriteFile(f.dir / "1.dat", std::string(first.Bytes().begin(), first.Bytes().end()));
  WriteFile(f.dir / "2.dat", "not patch data at all");
  WriteFile(f.dir / "3.dat", std::string(last.Bytes().begin(), last.Bytes().end()));
  ASSERT_TRUE(MakeCabinetWithFci(f.patch, {{f.dir / "1.dat", "1.dat"}, {f.dir / "2.dat", "2.dat"}, {f.dir / "3.dat", "3.dat"}}));
  const int temporaries = TemporaryFileCount();

  EXPECT_EQ(TInstallOutcome::Installed, RunInstallation(f.run));
  const std::vector<std::string> want{
      "CLEAR", "INFO Unpacking patch...", "INFO Installing patch...", "INFO Reading patch directory...",
      "INFO Applying copy patch (LAST.TXT)", "INFO Patching completed !",
  };
  EXPECT_EQ(want, f.reporter.Lines);
  EXPECT_EQ("from the last file", ReadFile(f.dir / "app\\LAST.TXT"));
  EXPECT_EQ("old program", ReadFile(f.dir / "app\\APP.EXE"));
  EXPECT_EQ(temporaries, TemporaryFileCount());
}

TEST(InstallationRun, NothingToInstallEndsWithCannotOpen) {
  TRunFixture f;
  WriteFile(f.dir / "text.cab", "plain text, no cabinet");
  // TPathName makes the directory absolute and upper case; the name keeps its case.
  std::string upperDir = f.dir.Dir();
  for (char& c : upperDir) c = char(toupper(static_cast<unsigned char>(c)));
  struct Case {
    std::string Patch;
    std::vector<std::string> Want;
  } cases[] = {
      {f.dir / "Missing.cab",
       {"CLEAR", "INFO Unpacking patch...", "ERROR Error opening file: " + upperDir + "Missing.cab, error code: 2",
        "ERROR Cannot open patch file: " + f.dir / "Missing.cab"}},
      {f.dir / "text.cab",
       {"CLEAR", "INFO Unpacking patch...", "ERROR Cannot open patch file: " + f.dir / "text.cab"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Patch);
    f.reporter.Lines.clear();
    f.run.Patch = c.Patch.c_str();
    EXPECT_EQ(TInstallOutcome::CannotOpen, RunInstallation(f.run));
    EXPECT_EQ(c.Want, f.reporter.Lines);
    EXPECT_EQ("old program", ReadFile(f.dir / "app\\APP.EXE"));
    EXPECT_EQ(0u, f.macros.Definitions().Count());
  }
}

// A second run starts from a cleared log and defines "&ROOT&" afresh from the path given.
TEST(InstallationRun, ASecondRunUsesTheNewTargetDirectory) {
  TRunFixture f;
  TPatchWriter writer;
  writer.AddCopy("&ROOT&\\COPIED.TXT", NewStamp, Bytes("copied"));
  WriteFile(f.dir / "patch.dat", std::string(writer.Bytes().begin(), writer.Bytes().end()));
  ASSERT_TRUE(MakeCabinetWithFci(f.patch, {{f.dir / "patch.dat", "patch.dat"}}));
  CreateDirectoryA((f.dir / "other").c_str(), nullptr);
  WriteFile(f.dir / "other\\PROGRAM.EXE", "another program");

  EXPECT_EQ(TInstallOutcome::Installed, RunInstallation(f.run));
  const std::string other = f.dir / "other\\PROGRAM.EXE";
  f.run.TargetPath = other.c_str();
  EXPECT_EQ(TInstallOutcome::Installed, RunInstallation(f.run));
  EXPECT_EQ("copied", ReadFile(f.dir / "app\\COPIED.TXT"));
  EXPECT_EQ("copied", ReadFile(f.dir / "other\\COPIED.TXT"));
  EXPECT_EQ("CLEAR", f.reporter.Lines.at(f.reporter.Lines.size() - 6));
  EXPECT_EQ(0u, f.macros.Definitions().Count());
}
}  // namespace

namespace {
std::string Upper(std::string text) {
  for (char& c : text) c = char(toupper(static_cast<unsigned char>(c)));
  return text;
}

// The folder "&ROOT&" stands for: the main executable's folder, or the folder the path names
// when it holds the main executable; nothing when the path is empty, too long to be taken
// whole, or names no main executable.
TEST(InstallationRun, TheTargetRootIsAFolderTheUserChoseOrNothing) {
  TScratchFolder dir("cabtest", true);
  CreateDirectoryA((dir / "app").c_str(), nullptr);
  CreateDirectoryA((dir / "empty").c_str(), nullptr);
  WriteFile(dir / "app\\APP.EXE", "program");
  const std::string app = Upper(dir / "app");
  const std::string tooLong = dir / "app\\" + std::string(300, 'L') + "\\APP.EXE";
  struct Case {
    std::string Path, Root, Row;
  } cases[] = {
      {dir / "app\\APP.EXE", app, ""},
      {dir / "app\\MISSING.EXE", "", "ERROR Cannot install patch: " + dir / "app\\MISSING.EXE not found"},
      {dir / "app", app, ""},
      {dir / "app\\", app, ""},
      {dir / "appAPP.EXE", "", "ERROR Cannot install patch: " + dir / "appAPP.EXE not found"},
      {dir / "empty", "", "ERROR Cannot install patch: " + Upper(dir / "empty") + "\\APP.EXE not found"},
      {"", "", "ERROR Cannot install patch: the path field is empty"},
      {"   ", "", "ERROR Cannot install patch: the path field is empty"},
      {tooLong, "", "ERROR Cannot install patch: path too long: " + tooLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Path);
    TRecordingReporter reporter;
    std::string root;
    EXPECT_EQ(c.Row.empty(), FormTargetRoot(c.Path.c_str(), "APP.EXE", reporter, root));
    EXPECT_EQ(c.Root, root);
    EXPECT_EQ(c.Row.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Row}, reporter.Lines);
  }
}

// A run without a target folder, or with a cabinet path too long to be taken whole, unpacks
// nothing and writes nothing.
TEST(InstallationRun, NoRootOrAnOverLongPatchPathStopsBeforeUnpacking) {
  TRunFixture f;
  TPatchWriter writer;
  writer.AddCopy("&ROOT&\\COPIED.TXT", NewStamp, Bytes("copied"));
  WriteFile(f.dir / "patch.dat", std::string(writer.Bytes().begin(), writer.Bytes().end()));
  ASSERT_TRUE(MakeCabinetWithFci(f.patch, {{f.dir / "patch.dat", "patch.dat"}}));
  const std::string longPatch = f.dir / std::string(300, 'P') + "\\patch.cab";
  struct Case {
    const char *Target, *Patch;
    std::string Row;
  } cases[] = {
      {"", f.patch.c_str(), "ERROR Cannot install patch: the path field is empty"},
      {f.target.c_str(), longPatch.c_str(), "ERROR Cannot install patch: patch file path too long: " + longPatch},
  };
  for (const Case& c : cases) {
    f.reporter.Lines.clear();
    f.run.TargetPath = c.Target;
    f.run.Patch = c.Patch;
    EXPECT_EQ(TInstallOutcome::NoTarget, RunInstallation(f.run));
    EXPECT_EQ((std::vector<std::string>{"CLEAR", c.Row}), f.reporter.Lines);
    EXPECT_EQ(0, f.pumped);
  }
  EXPECT_FALSE(FileExists(f.dir / "app\\COPIED.TXT"));
}

// Waiting window messages are dispatched while a cabinet is extracted (here a patch without
// records, so the engine itself never calls the hook).
TEST(InstallationRun, MessagesAreDispatchedDuringTheExtraction) {
  TRunFixture f;
  WriteFile(f.dir / "big.bin", Incompressible(300000, 4));
  WriteFile(f.dir / "patch.dat", "no record");
  ASSERT_TRUE(MakeCabinetWithFci(f.patch, {{f.dir / "big.bin", "big.bin"}, {f.dir / "patch.dat", "patch.dat"}}));
  EXPECT_EQ(TInstallOutcome::Installed, RunInstallation(f.run));
  EXPECT_LE(10, f.pumped);
}
}  // namespace

namespace {
// mendit's run leaves a folder alone while menditcon's journal of an interrupted run waits to
// be put back, with its row, before unpacking. (A held lock: menditcon's round-trip test.)
TEST(InstallationRun, AnUnfinishedJournalStopsTheRun) {
  TRunFixture f;
  const std::string journal = JournalPathFor(FinalFolderPath(f.dir / "app"), SystemTempFolder());
  WriteFile(journal, "MENDIT JOURNAL 2\n");
  EXPECT_EQ(TInstallOutcome::Unfinished, RunInstallation(f.run));
  DeleteFileA(journal.c_str());
  const std::vector<std::string> want{
      "CLEAR", "ERROR Cannot install patch: an interrupted run of menditcon left files to put back (" + journal +
                   "); start menditcon with this patch to put them back first"};
  EXPECT_EQ(want, f.reporter.Lines);
  EXPECT_EQ("old program", ReadFile(f.dir / "app\\APP.EXE"));
}

// Every spelling of one folder meets one lock and one journal: its long name, its short (8.3)
// name and a link to it. The lock is no file: a folder planted where the lock file once lay
// blocks nothing, and a run that ended leaves nothing behind.
TEST(InstallationRun, EverySpellingOfAFolderMeetsOneLockAndOneJournal) {
  TScratchFolder dir{"locktest"};
  const std::string folder = dir / "Application Folder";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((folder + ".MENDIT-LOCK").c_str(), nullptr));
  char shortName[MAX_PATH];
  ASSERT_NE(0u, GetShortPathNameA(folder.c_str(), shortName, sizeof shortName));
  std::vector<std::string> spellings{folder, shortName, Upper(folder)};
  TUnixLinks links;
  if (TUnixLinks::Available() && links.Symbolic(dir / "LINKED", folder)) spellings.push_back(dir / "LINKED");
  ASSERT_NE(folder, spellings[1]);
  for (int round = 0; round < 2; ++round) {
    TRecordingReporter reporter;
    TFolderLock held;
    ASSERT_TRUE(held.Take(folder, reporter));
    for (const std::string& spelling : spellings) {
      SCOPED_TRACE(spelling);
      TFolderLock second;
      EXPECT_FALSE(second.Take(spelling, reporter));
      EXPECT_EQ("ERROR Cannot install patch: another run is under way (" + spelling + ")", reporter.Lines.back());
      EXPECT_EQ(JournalPathFor(FinalFolderPath(folder)), JournalPathFor(FinalFolderPath(spelling)));
    }
  }
  links.RemoveAll();
}

}  // namespace
