// The acceptance of the builder: a release pair goes from two folders through menditwiz to a
// cabinet and description file, and the real mendit.exe, started on that description file
// under Wine, turns a copy of the old release into the new one exactly.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/driver/e2e_driver.h"
#include "tests/support/mendit_session.h"
#include "menditwiz/release_listing.h"
#include "menditwiz/wizard_machine.h"
#include "menditwiz/wizard_run.h"
#include "files/disk_file_system.h"
#include "tests/support/release_folder_support.h"

namespace {

using TBytes = std::vector<uint8_t>;

constexpr TDosStamp Monday = MakeDosStamp(2004, 6, 7, 8, 0, 0);
constexpr TDosStamp Tuesday = MakeDosStamp(2004, 6, 8, 19, 15, 20);
constexpr TDosStamp Wednesday = MakeDosStamp(2004, 6, 9, 7, 30, 0);
const e2e::Rgb Red = 0xFF0000, White = 0xFFFFFF;

TBytes Random(size_t size, uint32_t seed) { return RandomBytes(size, seed, 13); }

TBytes Recompiled(TBytes bytes) {
  bytes.insert(bytes.begin() + static_cast<long>(bytes.size() / 2), {0x90, 0x90, 0xC3});
  for (size_t i = 50; i < bytes.size(); i += 613) bytes[i] = static_cast<uint8_t>(bytes[i] + 3);
  return bytes;
}

class MenditAppliesWizardPatch : public ::testing::Test {
 protected:
  void SetUp() override {
    root = MakeScratchFolder();
    ASSERT_FALSE(root.empty());
  }
  void TearDown() override { RemoveTree(root); }

  void Write(const std::string& folder, const std::vector<TReleaseTestFile>& release) {
    WriteReleaseFolder(files, folder, release);
  }

  std::vector<std::string> Picture(const std::string& folder) { return ReleasePicture(files, folder); }

  // Builds the patch with the given records of changed files and lets mendit install it;
  // summary gets menditwiz's printed summary.
  void BuildAndInstall(TDeltaChoice choice, std::string& summary);

  std::string root;
  TDiskFileSystem files;
};

TEST_F(MenditAppliesWizardPatch, OldReleaseBecomesTheNewOne) {
  std::string summary;
  BuildAndInstall(TDeltaChoice::Block, summary);
}

// With -delta best the recompiled files go as difference records, which mendit applies.
TEST_F(MenditAppliesWizardPatch, OldReleaseBecomesTheNewOneThroughDifferenceRecords) {
  std::string summary;
  BuildAndInstall(TDeltaChoice::Best, summary);
  EXPECT_NE(std::string::npos, summary.find("difference record")) << summary;
}

void MenditAppliesWizardPatch::BuildAndInstall(TDeltaChoice choice, std::string& summary) {
  const TBytes app = Random(300000, 1), core = Random(50000, 2);
  const std::vector<TReleaseTestFile> oldRelease = {
      {"App.exe", app, Monday},
      {"BIN\\CORE.DLL", core, Monday},
      {"BIN\\Same.dll", core, Monday},
      {"README.TXT", Random(900, 3), Monday},
      {"OLD\\GONE.DAT", Random(5000, 4), Monday},
  };
  const std::vector<TReleaseTestFile> newRelease = {
      {"APP.EXE", Recompiled(app), Tuesday},
      {"BIN\\CORE.DLL", Recompiled(core), Tuesday},
      {"BIN\\SAME.DLL", core, Monday},
      {"README.TXT", Random(12, 6), Tuesday},  // shrunk: a file of both releases cannot become empty
      {"DATA\\LANG\\PL.DAT", Random(7000, 5), Tuesday},
  };
  const std::string oldFolder = JoinPath(root, "old"), newFolder = JoinPath(root, "new");
  const std::string out = JoinPath(root, "out"), target = JoinPath(root, "target");
  Write(oldFolder, oldRelease);
  Write(newFolder, newRelease);
  Write(target, oldRelease);

  TWizardOptions options;
  options.OldFolder = oldFolder;
  options.NewFolder = newFolder;
  options.MainExecutable = "APP.EXE";
  options.DefaultPath = target;  // the builder adds the closing backslash mendit needs
  options.OutputFolder = out;
  options.PatchValue = JoinPath(out, "PATCH.CAB");
  options.Quiet = true;
  options.Compression = TCabCompression::Lzx;
  options.Delta = choice;
  options.Vendor = {"Tarvel Notes", "1.1", "1.0", "Tarvel Ltd"};
  std::FILE* text = std::tmpfile();
  ASSERT_EQ(ToolExitDone, RunWizard(options, TBuildHooks(), text, text));
  std::rewind(text);
  for (int c; (c = std::fgetc(text)) != EOF;) summary += static_cast<char>(c);
  std::fclose(text);
  // mendit gets an LZX cabinet: the folder's compression word says LZX with a 2 MB window.
  std::vector<uint8_t> cabinet;
  ASSERT_TRUE(ReadWholeFile(files, JoinPath(out, "PATCH.CAB"), cabinet));
  ASSERT_GT(cabinet.size(), 44u);
  EXPECT_EQ(0x1503, cabinet[42] | cabinet[43] << 8);

  TMenditSession session;
  ASSERT_TRUE(session.Start(e2e::WinePath(MENDIT_EXE), "\"" + JoinPath(out, "MENDIT.MNI") + "\""))
      << "mendit's window did not appear";
  const std::string path = JoinPath(target, "APP.EXE");
  EXPECT_EQ(std::wstring(path.begin(), path.end()), session.Path());
  // The vendor's identity is shown before anything is pressed.
  const std::wstring title = L"Tarvel Application Patcher - Tarvel Notes 1.1";
  EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(session.Frame) == title; }, 5000))
      << e2e::WindowText(session.Frame).c_str();
  EXPECT_EQ(std::vector<std::wstring>{L"Updates Tarvel Notes from 1.0 to 1.1 (Tarvel Ltd)"}, session.Rows());
  ASSERT_TRUE(session.Install());
  const std::vector<std::wstring> rows = session.Rows();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(L"Patching completed !", rows.back());
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    SendMessageW(session.Log, LB_SETTOPINDEX, i, 0);
    EXPECT_NE(Red, session.RowBackground(i)) << i;
  }
  PostMessageW(session.Dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  DWORD code = 99;
  EXPECT_TRUE(session.Program.WaitForExit(15000, &code));

  EXPECT_EQ(Picture(newFolder), Picture(target));
}

// One patch made from releases 1.0, 1.1 and 1.2 brings a 1.0 and a 1.1 install to 1.2 with a
// log of white rows only, and finds a 1.2 install up to date.
TEST_F(MenditAppliesWizardPatch, OnePatchServesEveryOldRelease) {
  const TBytes app = Random(60000, 7), lib = Random(9000, 8);
  const std::vector<TReleaseTestFile> releases[] = {
      {{"APP.EXE", app, Monday}, {"OLD.DAT", lib, Monday}},
      {{"APP.EXE", Recompiled(app), Tuesday}, {"LIB.DLL", lib, Tuesday}},
      {{"APP.EXE", Recompiled(Recompiled(app)), Wednesday}, {"LIB.DLL", Recompiled(lib), Wednesday}},
  };
  TWizardOptions options;
  options.OldFolder = JoinPath(root, "r10");
  options.AlsoFolders = {JoinPath(root, "r11")};
  options.NewFolder = JoinPath(root, "r12");
  options.MainExecutable = "APP.EXE";
  options.DefaultPath = root;
  options.OutputFolder = JoinPath(root, "out");
  options.PatchValue = JoinPath(options.OutputFolder, "PATCH.CAB");
  options.Quiet = true;
  const std::string folders[] = {options.OldFolder, options.AlsoFolders[0], options.NewFolder};
  for (int v = 0; v < 3; ++v) {
    Write(folders[v], releases[v]);
    Write(folders[v] + "-installed", releases[v]);
  }
  std::FILE* text = std::tmpfile();
  ASSERT_EQ(ToolExitDone, RunWizard(options, TBuildHooks(), text, text));
  std::fclose(text);
  for (int v = 0; v < 3; ++v) {
    SCOPED_TRACE(folders[v]);
    TMenditSession session;
    ASSERT_TRUE(session.Start(e2e::WinePath(MENDIT_EXE), "\"" + JoinPath(options.OutputFolder, "MENDIT.MNI") + "\""));
    session.SetPath(JoinPath(folders[v] + "-installed", "APP.EXE"));
    ASSERT_TRUE(session.Install());
    const std::vector<std::wstring> rows = session.Rows();
    EXPECT_EQ(L"Patching completed !", rows.back());
    EXPECT_EQ(v == 2, std::count(rows.begin(), rows.end(), L"File: APP.EXE is already up to date") == 1);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
      SendMessageW(session.Log, LB_SETTOPINDEX, i, 0);
      EXPECT_EQ(White, session.RowBackground(i)) << i;
    }
    PostMessageW(session.Dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(session.Program.WaitForExit(15000, nullptr));
    EXPECT_EQ(Picture(options.NewFolder), Picture(folders[v] + "-installed"));
  }
}

}  // namespace
