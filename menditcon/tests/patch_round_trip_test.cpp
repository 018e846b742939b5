// Release pairs written to disk go through menditwiz (records, cabinet, self-verification),
// then through the companion: check mode first, then the installation run on a copy of the
// old release, which must end as the new release, file by file and date/time by date/time.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <stdexcept>
#include <cctype>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "cabinet/cab_pack_files.h"
#include "install/installation_run.h"
#include "install/folder_lock.h"
#include "patch/patch_writer.h"
#include "syslib/system_library.h"
#include "tests/support/killing_file_system.h"
#include "unattended/companion_run.h"
#include "unattended/rollback_run.h"
#include "files/whole_file.h"
#include "paths/macros.h"
#include "tests/driver/e2e_process.h"
#include "tests/driver/e2e_wait.h"
#include "menditwiz/release_verifier.h"
#include "menditwiz/wizard_machine.h"
#include "menditwiz/wizard_run.h"
#include "files/disk_file_system.h"
#include "tests/support/release_folder_support.h"
#include "tests/support/test_reporters.h"

namespace {

using TBytes = std::vector<uint8_t>;

constexpr TDosStamp Monday = MakeDosStamp(2003, 3, 3, 9, 0, 0);
constexpr TDosStamp Tuesday = MakeDosStamp(2003, 3, 4, 17, 45, 30);

TBytes Random(size_t size, uint32_t seed) { return RandomBytes(size, seed, 11); }

// A recompiled binary in miniature: a few bytes inserted early, addresses changed throughout.
TBytes Recompiled(TBytes bytes) {
  bytes.insert(bytes.begin() + static_cast<long>(bytes.size() / 3), {0xE8, 1, 2, 3, 4});
  for (size_t i = 100; i < bytes.size(); i += 997) bytes[i] = static_cast<uint8_t>(bytes[i] + 1);
  return bytes;
}

struct TPairCase {
  const char* Name;
  std::vector<TReleaseTestFile> Old;
  std::vector<TReleaseTestFile> New;
};

std::string Drain(std::FILE* stream) {
  std::rewind(stream);
  std::string text;
  for (int c; (c = std::fgetc(stream)) != EOF;) text += static_cast<char>(c);
  return text;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

class PatchRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    root = MakeScratchFolder();
    ASSERT_FALSE(root.empty());
  }
  void TearDown() override { RemoveTree(root); }

  std::string Folder(const std::string& name) {
    const std::string path = JoinPath(root, name);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
  }

  void Write(const std::string& folder, const std::vector<TReleaseTestFile>& release) {
    WriteReleaseFolder(files, folder, release);
  }

  TToolExit Build(const std::string& oldFolder, const std::string& newFolder, const std::string& out,
                    const TBuildHooks& hooks = {}, const char* main = "APP.EXE") {
    TWizardOptions options;
    options.OldFolder = oldFolder;
    options.NewFolder = newFolder;
    options.MainExecutable = main;
    options.DefaultPath = "&PROGRAMS&\\APP";
    options.OutputFolder = out;
    options.PatchValue = JoinPath(out, options.CabinetName);
    options.Quiet = true;
    std::FILE* text = std::tmpfile();
    const TToolExit exit = RunWizard(options, hooks, text, text);
    wizardText = Drain(text);
    std::fclose(text);
    return exit;
  }

  TToolExit Companion(const std::string& description, const std::string& target, bool check,
                           TCompanionOptions options = {}) {
    options.Description = description;
    options.Target = target;
    options.Check = check;
    std::FILE* text = std::tmpfile();
    const TToolExit exit = RunCompanion(options, text);
    companionText = Drain(text);
    std::fclose(text);
    return exit;
  }

  std::vector<std::string> Picture(const std::string& folder) { return ReleasePicture(files, folder); }

  std::string root;
  TDiskFileSystem files;
  std::string wizardText, companionText;
};

TEST_F(PatchRoundTrip, ReleasePairsThroughBuilderCabinetAndInstallationRun) {
  const TBytes app = Random(200000, 1), lib = Random(40000, 2), big = Random(3 << 20, 3);
  const TPairCase cases[] = {
      {"added_removed_changed_nested",
       {{"APP.EXE", app, Monday}, {"OLD.TXT", lib, Monday}, {"BIN\\CORE.DLL", lib, Monday}},
       {{"APP.EXE", Recompiled(app), Tuesday}, {"BIN\\CORE.DLL", lib, Monday}, {"BIN\\PLUG\\IN\\NEW.DLL", lib, Tuesday}}},
      {"renamed_case_and_empty",
       {{"App.Exe", app, Monday}, {"Data.Bin", lib, Monday}, {"EMPTY.TXT", {}, Monday}},
       {{"APP.EXE", app, Monday}, {"DATA.BIN", Recompiled(lib), Tuesday}, {"EMPTY.TXT", {}, Monday}, {"ZERO.TXT", {}, Tuesday}}},
      {"large_recompiled", {{"APP.EXE", big, Monday}}, {{"APP.EXE", Recompiled(big), Tuesday}}},
  };
  int n = 0;
  for (const TPairCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string tag = std::to_string(++n);
    const std::string oldFolder = Folder("old" + tag), newFolder = Folder("new" + tag);
    const std::string out = JoinPath(root, "out" + tag), target = Folder("target" + tag);
    Write(oldFolder, c.Old);
    Write(newFolder, c.New);
    ASSERT_EQ(ToolExitDone, Build(oldFolder, newFolder, out)) << wizardText;

    // The installed application: a copy of the old release with its date/times.
    Write(target, c.Old);
    const std::string description = JoinPath(out, "MENDIT.MNI");
    const std::string mainPath = JoinPath(target, "APP.EXE");
    TCompanionOptions quiet;
    quiet.Quiet = true;
    EXPECT_EQ(ToolExitDone, Companion(description, mainPath, true, quiet)) << companionText;
    EXPECT_EQ(std::string::npos, companionText.find("[WARNING]")) << companionText;
    EXPECT_EQ(std::string::npos, companionText.find("[1/")) << companionText;  // -q: no progress
    EXPECT_EQ(Picture(oldFolder), Picture(target));  // the check changed nothing

    EXPECT_EQ(ToolExitDone, Companion(description, mainPath, false)) << companionText;
    EXPECT_NE(std::string::npos, companionText.find("\tPatching completed !\n")) << companionText;
    EXPECT_NE(std::string::npos, companionText.find("[1/")) << companionText;  // progress before the records
    EXPECT_EQ(Picture(newFolder), Picture(target));
  }
}

// A description whose Patch value is a bare name, run from another folder: the cabinet is
// found beside the description file.
TEST_F(PatchRoundTrip, ARelativeCabinetIsFoundBesideTheDescription) {
  const std::string oldFolder = Folder("old"), newFolder = Folder("new"), out = JoinPath(root, "out");
  const std::string target = Folder("target");
  Write(oldFolder, {{"APP.EXE", Random(3000, 21), Monday}});
  Write(newFolder, {{"APP.EXE", Random(3000, 22), Tuesday}});
  Write(target, {{"APP.EXE", Random(3000, 21), Monday}});
  TWizardOptions options;
  options.OldFolder = oldFolder;
  options.NewFolder = newFolder;
  options.MainExecutable = "APP.EXE";
  options.DefaultPath = "&PROGRAMS&\\APP";
  options.OutputFolder = out;
  options.PatchValue = options.CabinetName;
  options.Quiet = true;
  std::FILE* text = std::tmpfile();
  ASSERT_EQ(ToolExitDone, RunWizard(options, {}, text, text)) << Drain(text);
  std::fclose(text);
  EXPECT_EQ(ToolExitDone, Companion(JoinPath(out, "MENDIT.MNI"), JoinPath(target, "APP.EXE"), false)) << companionText;
  EXPECT_EQ(Picture(newFolder), Picture(target));
}

// A second run finds every record's result in place: a clean log and exit code 0. A file of
// another version is still skipped, with an exit code of its own.
TEST_F(PatchRoundTrip, APatchAppliedTwiceEndsCleanly) {
  const TBytes app = Random(50000, 4);
  const std::string oldFolder = Folder("old"), newFolder = Folder("new"), out = JoinPath(root, "out");
  const std::string target = Folder("target");
  Write(oldFolder, {{"APP.EXE", app, Monday}, {"GONE.DLL", app, Monday}});
  Write(newFolder, {{"APP.EXE", Recompiled(app), Tuesday}});
  Write(target, {{"APP.EXE", app, Monday}, {"GONE.DLL", app, Monday}});
  ASSERT_EQ(ToolExitDone, Build(oldFolder, newFolder, out)) << wizardText;
  const std::string description = JoinPath(out, "MENDIT.MNI"), mainPath = JoinPath(target, "APP.EXE");
  ASSERT_EQ(ToolExitDone, Companion(description, mainPath, false)) << companionText;

  for (bool check : {true, false}) {
    EXPECT_EQ(ToolExitDone, Companion(description, mainPath, check)) << companionText;
    EXPECT_NE(std::string::npos, companionText.find("\tFile: GONE.DLL is already deleted\n")) << companionText;
    EXPECT_NE(std::string::npos, companionText.find("\tFile: APP.EXE is already up to date\n")) << companionText;
    if (check) {
      EXPECT_NE(std::string::npos, companionText.find("Check completed: 0 would apply, 2 up to date, 0 would be skipped"))
          << companionText;
    }
  }
  EXPECT_EQ(Picture(newFolder), Picture(target));
  // A check that cannot start (no such folder) ends with its error, not with a summary.
  EXPECT_EQ(ToolExitNothingDone, Companion(description, JoinPath(root, "NOWHERE\\APP.EXE"), true)) << companionText;
  EXPECT_EQ(std::string::npos, companionText.find("Check completed")) << companionText;
  Write(target, {{"GONE.DLL", Random(10, 1), Tuesday}});
  EXPECT_EQ(ToolExitSkipped, Companion(description, mainPath, true)) << companionText;
  EXPECT_EQ(ToolExitDoesNotFit, Companion(description, mainPath, false)) << companionText;
}

// Whether a patch fits is judged before anything changes, for patches with content checks:
// one that would fail or finds another version changes nothing (exit code 9) unless -force;
// a patch without them runs as the format describes. The log starts with its header and ends
// with the counts, what became of the application and the exit code.
TEST_F(PatchRoundTrip, APatchThatDoesNotFitChangesNothing) {
  const TBytes previous = Random(3000, 31), next = Random(3500, 32), added = Random(700, 33);
  const TBytes otherSize = Random(2000, 34);
  const struct {
    const char* Name;
    bool Checks;  // the patch carries verification records
    TBytes Installed;
    TDosStamp Stamp;
    bool Force;
    TToolExit Exit;
    const char* Row;     // a row the log must hold
    const char* Result;  // its result row
    bool RollBack = false;  // all or nothing, as mendit /S runs by default
  } cases[] = {
      {"fits", true, previous, Monday, false, ToolExitDone, "\tApplying copy patch (NEW.DLL)\n",
       "the application is up to date"},
      {"another version", true, otherSize, Tuesday, false, ToolExitDoesNotFit,
       "[WARNING]\tWould skip: File: APP.EXE has improper date/time stamp - skipping...\n",
       "the application is unchanged"},
      {"would fail", true, otherSize, Monday, false, ToolExitDoesNotFit,
       "[ERROR]\tWould fail: File: APP.EXE has the expected date/time but different content - skipping...\n",
       "the application is unchanged"},
      {"another version, all or nothing", true, otherSize, Tuesday, false, ToolExitDoesNotFit,
       "[WARNING]\tWould skip: File: APP.EXE has improper date/time stamp - skipping...\n",
       "the application is unchanged", true},
      {"another version, -force", true, otherSize, Tuesday, true, ToolExitSkipped,
       "[WARNING]\tFile: APP.EXE has improper date/time stamp - skipping...\n", "the application may be incomplete"},
      {"no verification records", false, otherSize, Tuesday, false, ToolExitSkipped,
       "[WARNING]\tFile: APP.EXE has improper date/time stamp - skipping...\n", "the application may be incomplete"},
  };
  const std::string patchFolder = Folder("patch");
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string target = Folder("target" + std::to_string(++n)), mainPath = JoinPath(target, "APP.EXE");
    Write(target, {{"APP.EXE", c.Installed, c.Stamp}});
    const std::vector<std::string> before = Picture(target);
    TPatchWriter writer;
    TDeltaWriter delta;
    delta.Literal(0, next.data(), next.size());
    TVerifyInfo checks, copyChecks;
    SetVerifyOld(checks, previous.data(), previous.size());
    SetVerifyNew(checks, next.data(), next.size());
    SetVerifyNew(copyChecks, added.data(), added.size());
    if (c.Checks) {
      ASSERT_TRUE(writer.AddVerify("&ROOT&\\APP.EXE", checks));
    }
    writer.AddModify("&ROOT&\\APP.EXE", Monday, Tuesday, delta.Bytes());
    if (c.Checks) {
      ASSERT_TRUE(writer.AddVerify("&ROOT&\\NEW.DLL", copyChecks));
    }
    writer.AddCopy("&ROOT&\\NEW.DLL", Tuesday, added);
    const std::string cabinet = JoinPath(patchFolder, "P" + std::to_string(n) + ".CAB");
    const std::string description = JoinPath(patchFolder, "P" + std::to_string(n) + ".MNI");
    TCABPacker::SetConsoleMode(true);
    TCABPacker packer;
    ASSERT_TRUE(PackData(packer, cabinet, writer.Bytes(), "APP.PAT"));
    const std::string text = "[Application]\r\nName=APP.EXE\r\nDefaultPath=C:\\\r\nPatch=" + cabinet + "\r\n";
    ASSERT_TRUE(WriteWholeFile(files, description, TBytes(text.begin(), text.end())));
    TCompanionOptions options;
    options.Force = c.Force;
    options.RollBack = c.RollBack;
    EXPECT_EQ(c.Exit, Companion(description, mainPath, false, options)) << companionText;
    EXPECT_NE(std::string::npos, companionText.find(c.Row)) << companionText;
    // The header names the running program (here the test), the folder and the patch.
    EXPECT_EQ(0u, Upper(companionText).find("\tPATCH_ROUND_TRIP_TEST.EXE VERSION UNKNOWN - ")) << companionText;
    EXPECT_NE(std::string::npos, Upper(companionText).find("\tFOLDER: " + Upper(target) + "\n")) << companionText;
    EXPECT_NE(std::string::npos, companionText.find("\tPatch: " + cabinet + " (" + description + ")\n")) << companionText;
    EXPECT_NE(std::string::npos, companionText.find("\tResult: " + std::string(c.Result) + "\n\tExit code: " +
                                                    std::to_string(c.Exit) + "\n"))
        << companionText;
    const bool changed = c.Exit != ToolExitDoesNotFit;
    EXPECT_EQ(changed, Exists(JoinPath(target, "NEW.DLL")));
    if (!changed) {
      EXPECT_NE(std::string::npos,
                companionText.find("[ERROR]\tCannot install patch: it does not fit this installation - nothing was changed\n"))
          << companionText;
      EXPECT_EQ(before, Picture(target));
      EXPECT_FALSE(Exists(JoinPath(target, "APP.$$$")));
      EXPECT_FALSE(Exists(JournalPathFor(target)));
    }
  }
}

TEST_F(PatchRoundTrip, ABrokenDeltaIsCaughtAndNothingIsWritten) {
  const TBytes app = Random(60000, 5);
  const std::string oldFolder = Folder("old"), newFolder = Folder("new"), out = Folder("out");
  Write(oldFolder, {{"APP.EXE", app, Monday}});
  Write(newFolder, {{"APP.EXE", Recompiled(app), Tuesday}});
  TBuildHooks hooks;
  // A well-formed delta that builds the wrong file: the last edit's last byte flipped.
  hooks.InspectDelta = [](const TPlannedRecord&, TBytes& delta) { delta[delta.size() - 3] ^= 0xFF; };
  EXPECT_EQ(ToolExitFailed, Build(oldFolder, newFolder, out, hooks));
  EXPECT_NE(std::string::npos, wizardText.find("Other content after patching: APP.EXE")) << wizardText;
  EXPECT_NE(std::string::npos, wizardText.find("nothing was written")) << wizardText;
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(JoinPath(out, "PATCH.CAB").c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(JoinPath(out, "MENDIT.MNI").c_str()));
}

TEST_F(PatchRoundTrip, ExitCodesForScripts) {
  const std::string oldFolder = Folder("old"), newFolder = Folder("new"), out = JoinPath(root, "out");
  Write(oldFolder, {{"APP.EXE", Random(100, 6), Monday}, {"DOC\\A.TXT", Random(10, 7), Monday}});
  Write(newFolder, {{"APP.EXE", Random(100, 8), Monday}});
  EXPECT_EQ(ToolExitNothingDone, Build(JoinPath(root, "missing"), newFolder, out));
  EXPECT_NE(std::string::npos, wizardText.find("Cannot read folder")) << wizardText;
  EXPECT_EQ(ToolExitNothingDone, Build(oldFolder, newFolder, out, {}, "OTHER.EXE"));
  EXPECT_NE(std::string::npos, wizardText.find("OTHER.EXE is not in")) << wizardText;
  EXPECT_EQ(ToolExitUsage, Build(oldFolder, newFolder, out, {}, "SUB\\APP.EXE"));
  EXPECT_EQ(ToolExitNothingDone, Build(oldFolder, oldFolder, out));
  EXPECT_NE(std::string::npos, wizardText.find("nothing to patch")) << wizardText;

  Write(newFolder, {{"DOC", Random(10, 9), Monday}});  // a folder that turns into a file
  EXPECT_EQ(ToolExitNothingDone, Build(oldFolder, newFolder, out));
  EXPECT_NE(std::string::npos, wizardText.find("a patch cannot remove folders")) << wizardText;

  EXPECT_EQ(ToolExitNothingDone, Companion(JoinPath(root, "NONE.MNI"), "", false));
  EXPECT_NE(std::string::npos, companionText.find("[ERROR]\tCannot read patch description file: ")) << companionText;
  // One error row between the header (five rows) and the summary (three).
  EXPECT_EQ(9u, std::count(companionText.begin(), companionText.end(), '\n')) << companionText;
  EXPECT_NE(std::string::npos, companionText.find("\tResult: the application is unchanged\n\tExit code: 4\n"))
      << companionText;
}

// An exception out of the run (thrown through the file system at its first change) ends it
// with one row and exit code 8, in the rows and the record log; nothing was changed.
TEST_F(PatchRoundTrip, AnExceptionEndsTheRunWithARowAndItsOwnExitCode) {
  const std::string oldFolder = Folder("old"), newFolder = Folder("new"), out = JoinPath(root, "out");
  const std::vector<TReleaseTestFile> old = {{"APP.EXE", Random(5000, 30), Monday}};
  Write(oldFolder, old);
  Write(newFolder, {{"APP.EXE", Random(5000, 31), Tuesday}});
  ASSERT_EQ(ToolExitDone, Build(oldFolder, newFolder, out)) << wizardText;
  const struct {
    const char* Name;
    std::function<void()> Throw;
    std::string Row;
  } cases[] = {
      {"no memory", [] { throw std::bad_alloc(); }, "Cannot install patch: not enough memory"},
      {"internal", [] { throw std::runtime_error("disk on fire"); }, "Cannot install patch: internal error: disk on fire"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string target = Folder(std::string("target ") + c.Name);
    Write(target, old);
    TCompanionOptions options;
    options.Description = JoinPath(out, "MENDIT.MNI");
    options.Target = JoinPath(target, "APP.EXE");
    options.LogFile = JoinPath(root, "records.txt");
    options.LogFormat = TLogFormat::Records;
    TDiskFileSystem disk;
    TKillingFileSystem throwing(disk, 0, c.Throw);
    std::FILE* text = std::tmpfile();
    EXPECT_EQ(ToolExitInternal, RunCompanion(options, text, nullptr, &throwing));
    const std::string rows = Drain(text);
    std::fclose(text);
    EXPECT_NE(std::string::npos, rows.find("[ERROR]\t" + c.Row + "\n")) << rows;
    std::vector<uint8_t> log;
    ASSERT_TRUE(ReadWholeFile(files, options.LogFile, log));
    const std::string records(log.begin(), log.end());
    EXPECT_NE(std::string::npos, records.find("0\tfailed\t-\t\t" + c.Row + "\n# exit 8\n")) << records;
    EXPECT_EQ(Picture(oldFolder), Picture(target));
  }
  // menditwiz: lack of memory keeps its documented code 4, any other exception gives 8.
  TDiskFileSystem disk;
  for (const auto& c : cases) {
    TKillingFileSystem throwing(disk, 0, c.Throw);
    TBuildHooks hooks;
    hooks.Files = &throwing;
    const std::string out2 = JoinPath(root, std::string("out ") + c.Name);
    EXPECT_EQ(c.Name[0] == 'n' ? ToolExitNothingDone : ToolExitInternal, Build(oldFolder, newFolder, out2, hooks));
    EXPECT_NE(std::string::npos, wizardText.find(c.Name[0] == 'n' ? "menditwiz: not enough memory"
                                                                   : "menditwiz: internal error: disk on fire\n"))
        << wizardText;
    EXPECT_NE(std::string::npos, wizardText.find("menditwiz: nothing was written")) << wizardText;
    EXPECT_FALSE(Exists(out2));
  }
}

// -rollback on real files: a read-only file makes a delete record fail, so every file goes
// back (the modified one, the one a copy overwrote, the deleted one, the new folders and the
// "$$$" backup); runs cut short at several changes are put back by the next start.
TEST_F(PatchRoundTrip, AllOrNothingPutsEveryFileBack) {
  const TBytes app = Random(80000, 10), lib = Random(9000, 11);
  const std::string oldFolder = Folder("old"), newFolder = Folder("new"), out = JoinPath(root, "out");
  const std::vector<TReleaseTestFile> old = {
      {"APP.EXE", app, Monday}, {"LIB.DLL", lib, Monday}, {"GONE.DLL", lib, Monday}, {"LOCKED.DLL", lib, Monday}};
  Write(oldFolder, old);
  Write(newFolder, {{"APP.EXE", Recompiled(app), Tuesday}, {"LIB.DLL", Random(9000, 12), Tuesday},
                    {"BIN\\PLUG\\NEW.DLL", lib, Tuesday}});
  ASSERT_EQ(ToolExitDone, Build(oldFolder, newFolder, out)) << wizardText;
  const std::string description = JoinPath(out, "MENDIT.MNI");
  TCompanionOptions rollback;
  rollback.RollBack = true;

  const std::string good = Folder("good");
  Write(good, old);
  EXPECT_EQ(ToolExitDone, Companion(description, JoinPath(good, "APP.EXE"), false, rollback)) << companionText;
  EXPECT_EQ(Picture(newFolder), Picture(good));
  EXPECT_FALSE(Exists(JournalPathFor(good)));

  const std::string target = Folder("target");
  const std::string mainPath = JoinPath(target, "APP.EXE"), locked = JoinPath(target, "LOCKED.DLL");
  Write(target, old);
  // The patch names APP.EXE in upper case; put back, the file keeps the name it had.
  ASSERT_TRUE(MoveFileA(mainPath.c_str(), JoinPath(target, "APP.TMP").c_str()));
  ASSERT_TRUE(MoveFileA(JoinPath(target, "APP.TMP").c_str(), JoinPath(target, "App.exe").c_str()));
  auto storedName = [&] {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(mainPath.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return std::string();
    FindClose(search);
    return std::string(found.cFileName);
  };
  ASSERT_EQ("App.exe", storedName());
  const std::vector<std::string> before = Picture(target);
  auto expectAsBefore = [&] {
    EXPECT_EQ(before, Picture(target));
    EXPECT_FALSE(Exists(JoinPath(target, "APP.$$$")));
    EXPECT_FALSE(Exists(JoinPath(target, "BIN")));
    EXPECT_FALSE(Exists(JournalPathFor(target)));
    EXPECT_FALSE(Exists(JournalPathFor(target) + ".1"));
  };
  SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
  rollback.LogFile = JoinPath(root, "records.txt");
  rollback.LogFormat = TLogFormat::Records;
  EXPECT_EQ(ToolExitRolledBack, Companion(description, mainPath, false, rollback)) << companionText;
  expectAsBefore();
  EXPECT_EQ("App.exe", storedName());
  std::vector<uint8_t> log;
  ASSERT_TRUE(ReadWholeFile(files, rollback.LogFile, log));
  const std::string records(log.begin(), log.end());
  EXPECT_EQ(0u, records.find("# menditcon records 2 run\n")) << records;
  EXPECT_NE(std::string::npos, records.find("\tfailed\tdelete\tLOCKED.DLL\tCannot delete file: LOCKED.DLL\n")) << records;
  EXPECT_NE(std::string::npos, records.find("\trolled-back\tmodify\tAPP.EXE\t")) << records;
  EXPECT_NE(std::string::npos, records.find("# exit 3\n")) << records;
  rollback.LogFile.clear();

  // Runs killed part-way (here: an exception out of the file system) at spread changes.
  auto interrupted = [&](int limit) {
    TDiskFileSystem disk;
    TKillingFileSystem killing(disk, limit);
    TSilentReporter quiet;
    TRecordTracker tracker(quiet, false);
    TMacroExpander macros;
    TInstallationRun run;
    run.TargetPath = mainPath.c_str();
    run.LockHeld = true;
    const std::string cabinet = JoinPath(out, "PATCH.CAB");
    run.Patch = cabinet.c_str();
    run.Macros = &macros;
    run.Reporter = &tracker;
    run.Observer = &tracker;
    try {
      const TRemoveDirectory removeDirectory = [](const char* path) { return RemoveDirectoryA(path) != 0; };
      RunAllOrNothing(killing, JournalPathFor(target), target, false, tracker, quiet, removeDirectory, [&](TFileSystem& journaled) {
        run.Files = &journaled;
        RunInstallation(run);
      });
    } catch (const TKilled&) {
    }
    return killing.Changes;
  };
  const int changes = interrupted(-1);
  expectAsBefore();
  for (int eighth : {1, 3, 5, 7}) {
    SCOPED_TRACE("killed at change " + std::to_string(changes * eighth / 8));
    interrupted(changes * eighth / 8);
    EXPECT_TRUE(Exists(JournalPathFor(target)));
    EXPECT_EQ(ToolExitRolledBack, Companion(description, mainPath, false, rollback)) << companionText;
    EXPECT_NE(std::string::npos, companionText.find("An earlier run was interrupted")) << companionText;
    expectAsBefore();
  }
  SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The real program, ended by TerminateProcess at moments spread over an all-or-nothing run of
// a large patch: the next start puts back whatever the ended run had changed and then
// applies the patch whole.
TEST_F(PatchRoundTrip, MenditconEndedPartWayIsPutBackByItsNextStart) {
  const TBytes big = Random(24 << 20, 13), lib = Random(50000, 14);
  const std::string oldFolder = Folder("old"), newFolder = Folder("new"), out = JoinPath(root, "out");
  const std::vector<TReleaseTestFile> old = {{"APP.EXE", big, Monday}, {"A.DLL", lib, Monday}, {"B.DLL", lib, Monday}};
  Write(oldFolder, old);
  Write(newFolder, {{"APP.EXE", Recompiled(big), Tuesday}, {"A.DLL", Recompiled(lib), Tuesday},
                    {"SUB\\C.DLL", lib, Tuesday}});
  ASSERT_EQ(ToolExitDone, Build(oldFolder, newFolder, out)) << wizardText;
  const std::string target = Folder("target"), mainPath = JoinPath(target, "APP.EXE");
  const std::string command = "\"" + e2e::WinePath(MENDITCON_EXE) + "\" -rollback -target \"" + mainPath + "\" \"" +
                              JoinPath(out, "MENDIT.MNI") + "\"";
  // Starts menditcon; ends it after delay ms unless negative. Its exit code, or -1 when ended.
  auto menditcon = [&](int delay) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    std::string line = command;
    const BOOL started =
        CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, root.c_str(), &startup, &process);
    CloseHandle(nul);
    if (!started) return -2;
    long code = -1;
    if (delay >= 0 && WaitForSingleObject(process.hProcess, static_cast<DWORD>(delay)) == WAIT_TIMEOUT) {
      TerminateProcess(process.hProcess, 99);
      WaitForSingleObject(process.hProcess, 10000);
    } else {
      WaitForSingleObject(process.hProcess, 120000);
      DWORD exit = 0;
      GetExitCodeProcess(process.hProcess, &exit);
      code = static_cast<long>(exit);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
  };
  Write(target, old);
  const DWORD start = GetTickCount();
  ASSERT_EQ(ToolExitDone, menditcon(-1));
  const int whole = static_cast<int>(GetTickCount() - start);
  EXPECT_EQ(Picture(newFolder), Picture(target));
  int ended = 0, journals = 0;
  for (int tenth : {2, 4, 5, 6, 7, 8, 9}) {
    SCOPED_TRACE("ended after " + std::to_string(whole * tenth / 10) + " of " + std::to_string(whole) + " ms");
    RemoveTree(target);
    Folder("target");
    Write(target, old);
    ended += menditcon(whole * tenth / 10) == -1;
    journals += Exists(JournalPathFor(target));
    const int next = menditcon(-1);
    // Put back and applied whole; or, ended once its run stood, found complete (its records
    // skipped, or failing on the file already deleted and put back as they were).
    EXPECT_TRUE(next == ToolExitDone || next == ToolExitSkipped || next == ToolExitRolledBack ||
                next == ToolExitDoesNotFit)
        << next;
    EXPECT_EQ(Picture(newFolder), Picture(target));
    EXPECT_FALSE(Exists(JournalPathFor(target)));
  }
  EXPECT_GT(ended, 0);
  // How many ended runs left work to put back depends on the machine's speed: shown only.
  std::printf("%d of 7 runs ended part-way, %d of them left a journal\n", ended, journals);
}

// A file the patch changes, held open without sharing: nothing changes and the file is named
// (exit code 7, in the check too); with -wait the run waits until the holder lets go.
TEST_F(PatchRoundTrip, FilesInUseStopTheRunOrAreWaitedFor) {
  const std::string oldFolder = Folder("old"), newFolder = Folder("new"), out = JoinPath(root, "out");
  const std::string target = Folder("target"), mainPath = JoinPath(target, "MAIN.EXE");
  const std::vector<TReleaseTestFile> old = {{"A.DAT", Random(300, 21), Monday}, {"MAIN.EXE", Random(500, 22), Monday}};
  Write(oldFolder, old);
  Write(target, old);
  Write(newFolder, {{"A.DAT", Random(300, 24), Tuesday}, {"MAIN.EXE", Random(500, 25), Tuesday}});
  ASSERT_EQ(ToolExitDone, Build(oldFolder, newFolder, out, {}, "MAIN.EXE")) << wizardText;
  const std::string description = JoinPath(out, "MENDIT.MNI");
  HANDLE held = CreateFileA(mainPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  for (bool check : {false, true}) {
    EXPECT_EQ(ToolExitFilesInUse, Companion(description, mainPath, check)) << companionText;
    EXPECT_NE(std::string::npos, companionText.find("[ERROR]\tFile in use: ")) << companionText;
  }
  TCompanionOptions rollback;
  rollback.RollBack = true;
  EXPECT_EQ(ToolExitFilesInUse, Companion(description, mainPath, false, rollback)) << companionText;
  EXPECT_FALSE(Exists(JoinPath(target, "A.$$$")));  // A.DAT, before MAIN.EXE, is as it was
  std::thread holder([held] {
    Sleep(1500);
    CloseHandle(held);
  });
  TCompanionOptions wait;
  wait.WaitSeconds = 30;
  EXPECT_EQ(ToolExitDone, Companion(description, mainPath, false, wait)) << companionText;
  holder.join();
  EXPECT_NE(std::string::npos, companionText.find("\tFiles in use - waiting up to 30 seconds")) << companionText;
  EXPECT_EQ(Picture(newFolder), Picture(target));
}

}  // namespace

namespace {

// Starts command line (suspended when asked), standard output and error to the file output.
PROCESS_INFORMATION Started(std::string line, const std::string& output, bool suspended) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = output.empty() ? 0 : STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError =
      output.empty() ? nullptr : CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  PROCESS_INFORMATION process{};
  CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, suspended ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &process);
  if (startup.hStdOutput) CloseHandle(startup.hStdOutput);
  return process;
}

// Resumes the process and waits for it: its exit code, -1 when it did not end in two minutes.
int Finished(PROCESS_INFORMATION process) {
  ResumeThread(process.hThread);
  DWORD code = 0;
  const bool ended = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended ? static_cast<int>(code) : -1;
}

// Whether a run holds the folder's lock (its named mutex exists).
bool LockHeld(const std::string& folder) {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, WideText(FolderLockName(folder)).c_str());
  if (mutex) CloseHandle(mutex);
  return mutex != nullptr;
}

}  // namespace

// Two menditcon processes on one folder: the second, started while the first holds the
// folder's lock, says another run is under way and ends with exit code 4, changing nothing;
// the first applies the patch whole. Then a journal planted beside the folder that names a
// file outside it is refused whole (exit 4), and the file stays.
TEST_F(PatchRoundTrip, OneRunPerFolderAndNoJournalReachesOutside) {
  const TBytes big = Random(24 << 20, 15);
  const std::string oldFolder = Folder("old"), newFolder = Folder("new"), out = JoinPath(root, "out");
  const std::vector<TReleaseTestFile> old = {{"APP.EXE", big, Monday}};
  Write(oldFolder, old);
  Write(newFolder, {{"APP.EXE", Recompiled(big), Tuesday}});
  ASSERT_EQ(ToolExitDone, Build(oldFolder, newFolder, out)) << wizardText;
  const std::string target = Folder("target"), mainPath = JoinPath(target, "APP.EXE");
  const std::string command = "\"" + e2e::WinePath(MENDITCON_EXE) + "\" -rollback -target \"" + mainPath + "\" \"" +
                              JoinPath(out, "MENDIT.MNI") + "\"";
  const std::string secondOutput = JoinPath(root, "second.txt");
  int first = -1, second = -1;
  // The first run may end before the second gets going on a fast machine: then again.
  for (int attempt = 0; attempt < 3 && second != ToolExitNothingDone; ++attempt) {
    RemoveTree(target);
    Folder("target");
    Write(target, old);
    // The second waits, started and suspended, until the first holds the lock.
    const PROCESS_INFORMATION b = Started(command, secondOutput, true), a = Started(command, "", false);
    e2e::WaitUntil([&] { return LockHeld(target) || WaitForSingleObject(a.hProcess, 0) == WAIT_OBJECT_0; },
                   60000, 1);
    second = Finished(b);
    first = Finished(a);
  }
  std::vector<uint8_t> output;
  ReadWholeFile(files, secondOutput, output);
  const std::string secondText(output.begin(), output.end());
  EXPECT_EQ(ToolExitNothingDone, second) << secondText;
  EXPECT_NE(std::string::npos, secondText.find("[ERROR]\tCannot install patch: another run is under way (")) << secondText;
  EXPECT_EQ(ToolExitDone, first);
  EXPECT_EQ(Picture(newFolder), Picture(target));
  EXPECT_FALSE(Exists(JournalPathFor(target)));
  EXPECT_FALSE(LockHeld(target));

  // A planted journal: an "absent" line for a file beside the folder.
  const std::string victim = JoinPath(root, "VICTIM.TXT"), journal = JournalPathFor(target);
  TDiskFileSystem& disk = files;
  ASSERT_TRUE(WriteWholeFile(disk, victim, {1, 2, 3}));
  const std::string text = "MENDIT JOURNAL 2\nfolder\t" + target + "\nabsent\t" + victim + "\n";
  ASSERT_TRUE(WriteWholeFile(disk, journal, TBytes(text.begin(), text.end())));
  TCompanionOptions rollback;
  rollback.RollBack = true;
  EXPECT_EQ(ToolExitNothingDone, Companion(JoinPath(out, "MENDIT.MNI"), mainPath, false, rollback)) << companionText;
  EXPECT_NE(std::string::npos, companionText.find("[ERROR]\tRefused journal: ")) << companionText;
  EXPECT_NE(std::string::npos, companionText.find(" names a file outside ")) << companionText;
  EXPECT_TRUE(Exists(victim));
  EXPECT_TRUE(Exists(journal));
  EXPECT_EQ(Picture(newFolder), Picture(target));
  // Under Wine a file made by this process is owned by the process's user: trusted. A file of
  // another Unix user is owned by "Anonymous" (S-1-5-7): the same journal, given to user
  // nobody, is refused however harmless its lines (Wine's owner cannot be set through
  // SetNamedSecurityInfo, which succeeds without effect; chown is run as a Unix program).
  EXPECT_TRUE(disk.TrustedOwner(journal.c_str()));
  const std::string inside = JoinPath(target, "EXTRA.TXT");
  ASSERT_TRUE(WriteWholeFile(disk, inside, {4}));
  const std::string harmless = "MENDIT JOURNAL 2\nfolder\t" + target + "\nabsent\t" + inside + "\n";
  ASSERT_TRUE(WriteWholeFile(disk, journal, TBytes(harmless.begin(), harmless.end())));
  using TUnixName = char*(CDECL*)(LPCWSTR);
  const auto unixName = reinterpret_cast<TUnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  const std::wstring wide(journal.begin(), journal.end());
  char* unixJournal = unixName ? unixName(wide.c_str()) : nullptr;
  const std::string chown = std::string("/usr/bin/chown nobody ") + (unixJournal ? unixJournal : "");
  if (unixJournal) Finished(Started(chown, "", false));
  if (unixJournal) HeapFree(GetProcessHeap(), 0, unixJournal);
  // The handle of a Unix process may be signalled before the program is done.
  e2e::WaitUntil([&] { return !disk.TrustedOwner(journal.c_str()); }, 5000);
  if (disk.TrustedOwner(journal.c_str())) {
    std::printf("the owner of %s could not be changed here: the stranger's journal is not tried\n", chown.c_str());
  } else {
    EXPECT_EQ(ToolExitNothingDone, Companion(JoinPath(out, "MENDIT.MNI"), mainPath, false, rollback)) << companionText;
    EXPECT_NE(std::string::npos, companionText.find(" is owned by neither you nor the administrators")) << companionText;
    EXPECT_TRUE(Exists(inside));
  }
  DeleteFileA(journal.c_str());
}
