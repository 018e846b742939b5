// What other processes and planted names cannot do to a run: rewrite the patch it extracted
// while it waits for files in use, or turn -log and menditwiz's outputs into writes through
// a link. Real Unix links in drive Z: (the Unix root), planted by /bin/sh.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "files/disk_file_system.h"
#include "files/whole_file.h"
#include "tests/support/release_folder_support.h"
#include "menditwiz/wizard_machine.h"
#include "menditwiz/wizard_run.h"
#include "tests/driver/e2e_process.h"
#include "tests/driver/e2e_wait.h"
#include "unattended/companion_run.h"

namespace {

using TBytes = std::vector<uint8_t>;
constexpr TDosStamp Monday = MakeDosStamp(2003, 3, 3, 9, 0, 0);
constexpr TDosStamp Tuesday = MakeDosStamp(2003, 3, 4, 17, 45, 30);

std::string Text(TDiskFileSystem& files, const std::string& path) {
  TBytes bytes;
  return ReadWholeFile(files, path, bytes) ? std::string(bytes.begin(), bytes.end()) : "<missing>";
}

// A folder below /tmp, seen from Windows as Z:\tmp\...: Unix paths and Windows paths of one
// file are then spelt alike.
class PlantedLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    unixRoot = "/tmp/planted_links_" + std::to_string(GetCurrentProcessId());
    root = "Z:" + unixRoot;
    for (char& c : root)
      if (c == '/') c = '\\';
    Shell("rm -rf " + unixRoot + "; mkdir " + unixRoot);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(root.c_str()));
  }
  void TearDown() override { Shell("rm -rf " + unixRoot); }

  std::string Win(const std::string& name) const { return root + "\\" + name; }
  std::string Unix(const std::string& name) const { return unixRoot + "/" + name; }

  // menditwiz from old to new into out, quietly.
  TWizardOptions WizardOptions(const std::string& patchValue) const {
    TWizardOptions options;
    options.OldFolder = Win("old");
    options.NewFolder = Win("new");
    options.MainExecutable = "MAIN.EXE";
    options.DefaultPath = "&PROGRAMS&\\APP";
    options.OutputFolder = Win("out");
    options.PatchValue = patchValue;
    options.Quiet = true;
    return options;
  }

  // Runs a Unix command line; ends when its marker file shows (a Unix process's handle may be
  // signalled before it is done).
  void Shell(const std::string& command) {
    const std::string marker = "/tmp/planted_links_marker_" + std::to_string(GetCurrentProcessId());
    e2e::Process shell;
    ASSERT_TRUE(shell.Start("/bin/sh -c \"" + command + "; touch " + marker + "\""));
    const std::string winMarker = "Z:\\tmp\\planted_links_marker_" + std::to_string(GetCurrentProcessId());
    EXPECT_TRUE(e2e::WaitUntil([&] { return GetFileAttributesA(winMarker.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000));
    DeleteFileA(winMarker.c_str());
  }

  void Plant(const std::string& how, const std::string& name) {
    if (how == "link") Shell("ln -s " + Unix("VICTIM.TXT") + " " + Unix(name));
    if (how == "dangling") Shell("ln -s " + Unix("GONE.TXT") + " " + Unix(name));
    if (how == "hard") {
      ASSERT_TRUE(CreateHardLinkA(Win(name).c_str(), Win("VICTIM.TXT").c_str(), nullptr));
    }
    if (how == "plain") {
      ASSERT_TRUE(WriteWholeFile(files, Win(name), {'o', 'l', 'd'}));
    }
  }

  std::string unixRoot, root;
  TDiskFileSystem files;
};

// -log FILE and menditwiz's outputs at a planted name: a link (to a file, or leading nowhere)
// or a file with other names is refused with exit code 5 and stays as it was, and so does
// what it leads to; a plain file is replaced, and links in the folders above are followed.
TEST_F(PlantedLinks, LogAndBuilderOutputsNeverWriteThroughALink) {
  const std::string victim = "precious";
  struct TCase {
    const char* How;
    const char* Name;      // planted in the output folder
    const char* Exe;       // menditwiz -exe, or null; for -log cases null too
    bool Log;              // menditcon -log NAME rather than a menditwiz build
    int Exit;
  } cases[] = {
      {"link", "RUN.LOG", nullptr, true, ToolExitOutput},
      {"dangling", "RUN.LOG", nullptr, true, ToolExitOutput},
      {"hard", "RUN.LOG", nullptr, true, ToolExitOutput},
      {"plain", "RUN.LOG", nullptr, true, ToolExitNothingDone},
      {"link", "PATCH.CAB", nullptr, false, ToolExitOutput},
      {"dangling", "MENDIT.MNI.new", nullptr, false, ToolExitOutput},
      {"link", "PATCH.CAB.old", nullptr, false, ToolExitOutput},
      {"link", "SETUP.EXE", "SETUP.EXE", false, ToolExitOutput},
      {"hard", "MENDIT.MNI", nullptr, false, ToolExitDone},  // renamed over, not written into
  };
  WriteReleaseFolder(files, Win("old"), {{"MAIN.EXE", RandomBytes(500, 1, 11), Monday}});
  WriteReleaseFolder(files, Win("new"), {{"MAIN.EXE", RandomBytes(500, 2, 11), Tuesday}});
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.How) + " " + c.Name);
    Shell("rm -rf " + Unix("out") + " " + Unix("VICTIM.TXT") + " " + Unix("GONE.TXT") + "; mkdir " + Unix("out"));
    ASSERT_TRUE(WriteWholeFile(files, Win("VICTIM.TXT"), TBytes(victim.begin(), victim.end())));
    Plant(c.How, std::string("out/") + c.Name);
    std::FILE* text = std::tmpfile();
    int exit;
    if (c.Log) {
      TCompanionOptions options;
      options.Description = Win("NONE.MNI");
      options.LogFile = Win("out\\") + c.Name;
      exit = RunCompanion(options, text);
    } else {
      TWizardOptions options = WizardOptions("PATCH.CAB");
      if (c.Exe) options.ExeName = c.Exe, options.StubPath = e2e::WinePath(MENDIT_EXE);
      exit = RunWizard(options, {}, text, text);
    }
    std::rewind(text);
    std::string said;
    for (int ch; (ch = std::fgetc(text)) != EOF;) said += char(ch);
    std::fclose(text);
    EXPECT_EQ(c.Exit, exit) << said;
    EXPECT_EQ(victim, Text(files, Win("VICTIM.TXT")));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Win("GONE.TXT").c_str()));
    if (!c.Log && c.Exit == ToolExitOutput) {
      EXPECT_NE(std::string::npos, said.find("the name is a link to another file")) << said;
    }
    if (std::string(c.How) == "plain") {
      EXPECT_NE(std::string::npos, Text(files, Win("out\\RUN.LOG")).find("NONE.MNI"));
    }
  }
  // A folder link and a short name on the way to the log are the user's own spelling.
  Shell("mkdir " + Unix("real") + " && ln -s " + Unix("real") + " " + Unix("via"));
  ASSERT_TRUE(WriteWholeFile(files, Win("real\\LONG-LOG-NAME.LOG"), {'x'}));
  char shortName[MAX_PATH];
  ASSERT_NE(0u, GetShortPathNameA(Win("real\\LONG-LOG-NAME.LOG").c_str(), shortName, MAX_PATH));
  for (const std::string& log : {Win("via\\NEW.LOG"), std::string(shortName)}) {
    TCompanionOptions options;
    options.Description = Win("NONE.MNI");
    options.LogFile = log;
    std::FILE* text = std::tmpfile();
    EXPECT_EQ(ToolExitNothingDone, RunCompanion(options, text)) << log;
    std::fclose(text);
    EXPECT_NE(std::string::npos, Text(files, log).find("NONE.MNI")) << log;
  }
}

std::set<std::string> PrivateFolders() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::set<std::string> found;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((std::string(temp) + "MENDIT-*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return found;
  do found.insert(std::string(temp) + entry.cFileName);
  while (FindNextFileA(search, &entry));
  FindClose(search);
  return found;
}

// menditcon -wait waits for a file the test holds; meanwhile the test tries to rewrite,
// truncate, delete and swap the patch data file it extracted, and to move its folder. Every
// attempt fails, and the run applies the patch it was started with.
TEST_F(PlantedLinks, TheExtractedPatchCannotBeChangedWhileTheRunWaits) {
  const TBytes data = RandomBytes(40000, 3, 11);
  TBytes changed = data;
  changed[100] ^= 1;
  WriteReleaseFolder(files, Win("old"), {{"A.DAT", data, Monday}, {"MAIN.EXE", RandomBytes(500, 4, 11), Monday}});
  WriteReleaseFolder(files, Win("new"), {{"A.DAT", changed, Tuesday}, {"B.DAT", RandomBytes(300, 5, 11), Tuesday},
                                         {"MAIN.EXE", RandomBytes(500, 6, 11), Tuesday}});
  WriteReleaseFolder(files, Win("target"), {{"A.DAT", data, Monday}, {"MAIN.EXE", RandomBytes(500, 4, 11), Monday}});
  TWizardOptions build = WizardOptions(Win("out\\PATCH.CAB"));
  std::FILE* text = std::tmpfile();
  ASSERT_EQ(ToolExitDone, RunWizard(build, {}, text, text));
  std::fclose(text);

  const std::string main = Win("target\\MAIN.EXE"), log = Win("RUN.LOG");
  HANDLE held = CreateFileA(main.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  const std::set<std::string> before = PrivateFolders();
  e2e::Process run;
  ASSERT_TRUE(run.Start("\"" + e2e::WinePath(MENDITCON_EXE) + "\" -wait 60 -log \"" + log + "\" -target \"" + main +
                        "\" \"" + Win("out\\MENDIT.MNI") + "\""));
  ASSERT_TRUE(e2e::WaitUntil([&] { return Text(files, log).find("waiting up to 60 seconds") != std::string::npos; },
                             60000, 50))
      << Text(files, log);
  std::string folder;
  for (const std::string& f : PrivateFolders())
    if (!before.count(f)) folder = f;
  ASSERT_FALSE(folder.empty());
  const std::string patch = folder + "\\1.TMP", planted = Win("PLANTED.TMP");
  ASSERT_TRUE(WriteWholeFile(files, planted, {'M', 'S', 'C', 'F'}));
  const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  for (DWORD how : {DWORD(OPEN_EXISTING), DWORD(TRUNCATE_EXISTING), DWORD(CREATE_ALWAYS)})
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(patch.c_str(), GENERIC_WRITE, all, nullptr, how, 0, nullptr)) << how;
  EXPECT_FALSE(DeleteFileA(patch.c_str()));
  EXPECT_FALSE(MoveFileExA(planted.c_str(), patch.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(MoveFileA(folder.c_str(), (folder + "X").c_str()));
  CloseHandle(held);
  DWORD exit = 99;
  ASSERT_TRUE(run.WaitForExit(60000, &exit));
  EXPECT_EQ(DWORD(ToolExitDone), exit) << Text(files, log);
  EXPECT_EQ(ReleasePicture(files, Win("new")), ReleasePicture(files, Win("target")));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str()));
}

}  // namespace
