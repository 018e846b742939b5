// mendit.exe end to end under Wine: patches built with the project's own writer and packed
// with the cabinet binding, applied by pressing "Install patch" in the real program, checked
// by the log's rows and colours and by the files left on disk.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/driver/e2e_driver.h"
#include "tests/driver/list_box_reader.h"
#include "tests/support/mendit_session.h"
#include "patch/patch_writer.h"
#include "files/whole_file.h"
#include "files/disk_file_system.h"
#include "payload/payload.h"
#include "cabinet/cab_pack_files.h"
#include "tests/support/test_folders.h"

namespace {

using Bytes = std::vector<unsigned char>;

const e2e::Rgb White = 0xFFFFFF, Red = 0xFF0000, Yellow = 0xFFFF00;

std::string Win(const std::string& unixPath) { return e2e::WinePath(unixPath); }

// The test's own directory tree under the build tree; recreated for every test.
std::string WorkDir() {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  return Win(MENDIT_E2E_WORK) + "\\" + test->name();
}

TDiskFileSystem Files;

bool WriteBytes(const std::string& path, const Bytes& bytes) { return WriteWholeFile(Files, path, bytes); }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

Bytes ReadBytes(const std::string& path) {
  Bytes bytes;
  ReadWholeFile(Files, path, bytes);
  return bytes;
}

void SetStamp(const std::string& path, TDosStamp stamp) { Files.SetStamp(path.c_str(), stamp); }

Bytes Pattern(size_t size, unsigned seed) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>((i * 7 + seed * 13 + i / 251) & 0xFF);
  return bytes;
}

// The next version of a file: previous with bytes 10 to 13 of its first block changed and
// everything from byte 256 on replaced by size - 256 other bytes.
Bytes NextVersion(const Bytes& previous, size_t size, unsigned seed) {
  Bytes next = Pattern(size, seed);
  std::copy(previous.begin(), previous.begin() + 256, next.begin());
  for (int i = 10; i < 14; ++i) next[i] = static_cast<unsigned char>(~previous[i]);
  return next;
}

// The delta from previous to NextVersion: block 0 copied with its edit, the rest literal.
std::vector<uint8_t> DeltaFor(const Bytes& next) {
  TDeltaWriter delta;
  std::vector<uint8_t> edit(next.begin() + 10, next.begin() + 14);
  delta.CopyBlock(0, 0, {TDeltaEdit{10, edit}});
  delta.Literal(256, next.data() + 256, next.size() - 256);
  return delta.Bytes();
}

void WriteDescription(const std::string& path, const std::string& name, const std::string& defaultPath,
                      const std::string& patch) {
  std::string text = "[Application]\r\n";
  if (!name.empty()) text += "Name=" + name + "\r\n";
  if (!defaultPath.empty()) text += "DefaultPath=" + defaultPath + "\r\n";
  if (!patch.empty()) text += "Patch=" + patch + "\r\n";
  WriteBytes(path, Bytes(text.begin(), text.end()));
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

const TDosStamp OldStamp = MakeDosStamp(2001, 3, 4, 10, 20, 30);
const TDosStamp NewStamp = MakeDosStamp(2002, 5, 6, 11, 22, 44);

class MenditTest : public testing::Test {
 protected:
  void SetUp() override {
    Work = WorkDir();
    RemoveFolderTree(Work);
    MakeFolders(Work + "\\APP");
    MakeFolders(Work + "\\PATCH");
    // The installed application's main program: a run refuses a folder without it.
    WriteBytes(Work + "\\APP\\TOOL.EXE", Pattern(10, 0));
    Cabinet = Work + "\\PATCH\\APP.CAB";
    Description = Work + "\\PATCH\\APP.MNI";
  }

  // Packs the writer's data file into the test's cabinet (the library's messages go to
  // standard error).
  void Pack(const TPatchWriter& writer) {
    TCABPacker::SetConsoleMode(true);
    TCABPacker packer;
    ASSERT_TRUE(PackData(packer, Cabinet, writer.Bytes(), "APP.PAT"));
  }

  // Starts mendit on the test's description file (or the given arguments).
  void Start(const std::string& args = "") {
    ASSERT_TRUE(Session.Start(Win(MENDIT_EXE), args.empty() ? Quoted(Description) : args))
        << "mendit's window did not appear";
  }

  // Ends the program through Quit and expects a clean exit.
  void Quit() {
    PostMessageW(Session.Dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    DWORD code = 99;
    ASSERT_TRUE(Session.Program.WaitForExit(15000, &code));
    EXPECT_EQ(0u, code);
  }

  void Screenshot(const std::string& name) {
    std::string dir = Win(MENDIT_E2E_SCREENSHOTS);
    MakeFolders(dir);
    e2e::Image shot = e2e::CaptureScreen(e2e::WindowRect(Session.Frame));
    EXPECT_TRUE(e2e::SavePng(shot, dir + "\\" + name));
  }

  std::string Work, Cabinet, Description;
  TMenditSession Session;
};

TEST_F(MenditTest, CopyModifyAndDeleteInOneRun) {
  const std::string app = Work + "\\APP";
  Bytes previous = Pattern(1000, 1), next = NextVersion(previous, 1200, 2);
  ASSERT_TRUE(WriteBytes(app + "\\TOOL.EXE", previous));
  SetStamp(app + "\\TOOL.EXE", OldStamp);
  ASSERT_TRUE(WriteBytes(app + "\\OLD.DLL", Pattern(300, 3)));
  SetStamp(app + "\\OLD.DLL", OldStamp);
  Bytes added = Pattern(700, 4);

  TPatchWriter writer;
  writer.AddModify("&ROOT&\\TOOL.EXE", OldStamp, NewStamp, DeltaFor(next));
  writer.AddCopy("&ROOT&\\HELP\\NEW.HLP", NewStamp, added);
  writer.AddDelete("&ROOT&\\OLD.DLL", OldStamp);
  Pack(writer);
  WriteDescription(Description, "TOOL.EXE", app + "\\", Cabinet);

  Start();
  EXPECT_EQ(std::wstring(app.begin(), app.end()) + L"\\TOOL.EXE", Session.Path());
  ASSERT_TRUE(Session.Install());
  std::vector<std::wstring> want = {
      L"Unpacking patch...",
      L"Installing patch...",
      L"Reading patch directory...",
      L"Applying modify patch (TOOL.EXE)",
      L"Applying copy patch (NEW.HLP)",
      L"Applying delete patch (OLD.DLL)",
      L"Patching completed !",
  };
  EXPECT_EQ(want, Session.Rows());
  for (int i = 0; i < static_cast<int>(want.size()); ++i) EXPECT_EQ(White, Session.RowBackground(i)) << i;
  EXPECT_LT(0, SendMessageW(Session.ProgressBar, PBM_GETPOS, 0, 0));
  Screenshot("mendit_after_run.png");

  EXPECT_EQ(next, ReadBytes(app + "\\TOOL.EXE"));
  EXPECT_EQ(NewStamp, LocalStampOf(app + "\\TOOL.EXE"));
  EXPECT_EQ(previous, ReadBytes(app + "\\TOOL.$$$"));
  EXPECT_EQ(added, ReadBytes(app + "\\HELP\\NEW.HLP"));
  EXPECT_FALSE(Exists(app + "\\OLD.DLL"));
  Quit();
}

TEST_F(MenditTest, WarningsAndErrorsDoNotStopTheRun) {
  const std::string app = Work + "\\APP";
  ASSERT_TRUE(WriteBytes(app + "\\STALE.DLL", Pattern(100, 5)));
  SetStamp(app + "\\STALE.DLL", NewStamp);  // not the version the record was made for
  Bytes added = Pattern(50, 6);

  TPatchWriter writer;
  writer.AddDelete("&ROOT&\\STALE.DLL", OldStamp);
  writer.AddModify("&ROOT&\\MISSING.EXE", OldStamp, NewStamp, DeltaFor(NextVersion(Pattern(300, 1), 300, 2)));
  // A file name with a line break (refused: no record may name it): its error is one report
  // of two lines.
  writer.AddRecord(MakePatchInfo("&ROOT&\\TWO\nLINES.DAT", ptDelete, OldStamp), {});
  writer.AddCopy("&ROOT&\\LAST.TXT", NewStamp, added);
  Pack(writer);
  WriteDescription(Description, "TOOL.EXE", app + "\\", Cabinet);

  Start();
  ASSERT_TRUE(Session.Install());
  struct Row {
    std::wstring text;
    e2e::Rgb background;
  };
  std::vector<Row> want = {
      {L"Unpacking patch...", White},
      {L"Installing patch...", White},
      {L"Reading patch directory...", White},
      {L"File: STALE.DLL has improper date/time stamp - skipping...", Yellow},
      {L"Cannot open source file: MISSING.EXE", Red},
      {L"Unsafe path refused: &ROOT&\\TWO", Red},
      {L"LINES.DAT", Red},
      {L"Applying copy patch (LAST.TXT)", White},
      {L"Patching completed !", White},
  };
  std::vector<std::wstring> rows = Session.Rows();
  ASSERT_EQ(want.size(), rows.size());
  // Scroll to the top so that every row can be seen.
  SendMessageW(Session.Log, LB_SETTOPINDEX, 0, 0);
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(want[i].text, rows[i]) << i;
    int index = static_cast<int>(i);
    if (index >= e2e::ListBoxVisibleRows(Session.Log)) SendMessageW(Session.Log, LB_SETTOPINDEX, index, 0);
    e2e::Rgb background = 0;
    e2e::WaitUntil([&] { return (background = Session.RowBackground(index)) == want[i].background; }, 2000);
    EXPECT_EQ(want[i].background, background) << i;
  }
  Screenshot("mendit_row_kinds.png");
  EXPECT_TRUE(Exists(app + "\\STALE.DLL"));
  EXPECT_EQ(added, ReadBytes(app + "\\LAST.TXT"));
  Quit();
}

// Whether a patch fits is judged before the first change when it carries content checks: a
// file that would fail or is of another version is named in one question, whose default is
// No; No changes nothing, Yes installs as the format describes (the record is left alone, the
// rest applies). A patch without content checks runs by its date/times alone, without a
// question, with the system's own rows.
TEST_F(MenditTest, APatchThatDoesNotFitAsksBeforeTheFirstChange) {
  const std::string app = Work + "\\APP";
  const Bytes previous = Pattern(1000, 1), next = NextVersion(previous, 1200, 2), added = Pattern(300, 3);
  Bytes other = previous;
  for (int i = 600; i < 616; ++i) other[i] ^= 0x5A;
  const std::wstring completed = L"Patching completed !";
  const std::wstring notFit = L"Cannot install patch: it does not fit this installation - nothing was changed";
  const std::wstring otherContent = L"File: TOOL.EXE has the expected date/time but different content - skipping...";
  const std::wstring otherStamp = L"File: TOOL.EXE has improper date/time stamp - skipping...";
  const std::vector<std::wstring> head = {L"Unpacking patch...", L"Installing patch...", L"Reading patch directory..."};
  const struct {
    const char* What;
    bool Checks;
    Bytes Installed;
    TDosStamp Stamp;
    int Answer;  // the button pressed in the question; 0: no question
    std::vector<std::wstring> Tail;  // the rows after head (after "Unpacking patch..." when stopped)
  } cases[] = {
      {"fits", true, previous, OldStamp, 0,
       {L"Applying modify patch (TOOL.EXE)", L"Applying copy patch (ADDED.DAT)", completed}},
      {"would fail, No", true, other, OldStamp, IDNO, {L"Would fail: " + otherContent, notFit}},
      {"another version, Yes", true, other, NewStamp + 1, IDYES,
       {otherStamp, L"Applying copy patch (ADDED.DAT)", completed}},
      {"no verification records", false, other, NewStamp + 1, 0,
       {otherStamp, L"Applying copy patch (ADDED.DAT)", completed}},
  };
  WriteDescription(Description, "TOOL.EXE", app + "\\", Cabinet);
  Start();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    RemoveFolderTree(app);
    MakeFolders(app);
    ASSERT_TRUE(WriteBytes(app + "\\TOOL.EXE", c.Installed));
    SetStamp(app + "\\TOOL.EXE", c.Stamp);
    TVerifyInfo checks, copyChecks;
    SetVerifyOld(checks, previous.data(), previous.size());
    SetVerifyNew(checks, next.data(), next.size());
    SetVerifyNew(copyChecks, added.data(), added.size());
    TPatchWriter writer;
    if (c.Checks) {
      ASSERT_TRUE(writer.AddVerify("&ROOT&\\TOOL.EXE", checks));
    }
    writer.AddModify("&ROOT&\\TOOL.EXE", OldStamp, NewStamp, DeltaFor(next));
    if (c.Checks) {
      ASSERT_TRUE(writer.AddVerify("&ROOT&\\ADDED.DAT", copyChecks));
    }
    writer.AddCopy("&ROOT&\\ADDED.DAT", NewStamp, added);
    Pack(writer);

    if (c.Answer == 0) {
      ASSERT_TRUE(Session.Install());
    } else {
      Session.PressInstall();
      HWND box = e2e::WaitForMessageBox(Session.Program.Id(), L"Patch does not fit", 30000);
      ASSERT_NE(nullptr, box);
      EXPECT_NE(std::wstring::npos, e2e::MessageBoxText(box).find(c.Stamp == OldStamp ? L"Would fail: " + otherContent
                                                                                      : L"Would skip: " + otherStamp));
      EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongW(GetDlgItem(box, IDNO), GWL_STYLE) & BS_TYPEMASK);  // No by default
      EXPECT_TRUE(Exists(app + "\\TOOL.EXE") && !Exists(app + "\\ADDED.DAT"));  // nothing changed yet
      if (c.Answer == IDNO) Screenshot("mendit_does_not_fit.png");
      ASSERT_TRUE(e2e::PressMessageBoxButton(box, c.Answer));
      ASSERT_TRUE(Session.WaitForRunEnd(30000));
    }
    std::vector<std::wstring> want = c.Answer == IDNO ? std::vector<std::wstring>{head[0]} : head;
    want.insert(want.end(), c.Tail.begin(), c.Tail.end());
    EXPECT_EQ(want, Session.Rows());
    const bool applied = c.Installed == previous;
    EXPECT_EQ(applied ? next : c.Installed, ReadBytes(app + "\\TOOL.EXE"));
    EXPECT_EQ(c.Answer != IDNO, Exists(app + "\\ADDED.DAT"));
  }
  Quit();
}

TEST_F(MenditTest, MissingPatchFileEndsTheRunWithAnError) {
  WriteDescription(Description, "TOOL.EXE", Work + "\\APP\\", Work + "\\PATCH\\NOWHERE.CAB");
  Start();
  // The window starts with the focus in the path field: Enter presses "Install patch".
  ASSERT_TRUE(Session.InstallWithEnter());
  std::vector<std::wstring> rows = Session.Rows();
  ASSERT_LE(2u, rows.size());
  EXPECT_EQ(L"Unpacking patch...", rows.front());
  std::string patch = Work + "\\PATCH\\NOWHERE.CAB";
  EXPECT_EQ(L"Cannot open patch file: " + std::wstring(patch.begin(), patch.end()), rows.back());
  e2e::Rgb last = 0;
  e2e::WaitUntil([&] { return (last = Session.RowBackground(static_cast<int>(rows.size()) - 1)) == Red; }, 2000);
  EXPECT_EQ(Red, last);
  EXPECT_TRUE(IsWindowEnabled(Session.InstallButton));
  // A second run starts from a cleared log.
  ASSERT_TRUE(Session.Install());
  EXPECT_EQ(rows, Session.Rows());
  Quit();
}

TEST_F(MenditTest, LogScrollsSoThatTheLastRowIsVisible) {
  TPatchWriter writer;
  for (int i = 0; i < 30; ++i) writer.AddCopy("&ROOT&\\F" + std::to_string(i) + ".TXT", NewStamp, Pattern(10, i));
  Pack(writer);
  WriteDescription(Description, "TOOL.EXE", Work + "\\APP\\", Cabinet);
  Start();
  ASSERT_TRUE(Session.Install());
  int count = static_cast<int>(Session.Rows().size());
  ASSERT_EQ(34, count);
  int visible = e2e::ListBoxVisibleRows(Session.Log);
  ASSERT_LT(visible, count);
  EXPECT_EQ(count - visible, e2e::ListBoxTopIndex(Session.Log));
  EXPECT_EQ(White, Session.RowBackground(count - 1));
  for (int i = 0; i < 30; ++i) EXPECT_TRUE(Exists(Work + "\\APP\\F" + std::to_string(i) + ".TXT")) << i;
  Quit();
}

TEST_F(MenditTest, InitFailedBoxAndExitCodeOne) {
  struct Case {
    const char* what;
    std::string name, defaultPath, patch;
  } cases[] = {
      {"no file", "", "", ""},
      {"empty Name", "", "C:\\X\\", "P.CAB"},
      {"no Patch", "TOOL.EXE", "C:\\X\\", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = Work + "\\PATCH\\" + (c.name.empty() && c.patch.empty() ? "NONE.MNI" : "BAD.MNI");
    if (std::string(c.what) != "no file") WriteDescription(path, c.name, c.defaultPath, c.patch);
    TMenditSession session;
    ASSERT_TRUE(session.StartOnly(Win(MENDIT_EXE), Quoted(path)));
    HWND box = e2e::WaitForMessageBox(session.Program.Id(), L"Init failed", 30000);
    ASSERT_NE(nullptr, box);
    std::wstring widePath(path.begin(), path.end());
    EXPECT_EQ(L"Cannot read patch description file (" + widePath +
                  L").\nIf you want to apply patch, please run MENDIT\nwith description file as a parameter.\n"
                  L"To create the patch run Mendit Wizard.\n",
              e2e::MessageBoxText(box));
    ASSERT_TRUE(e2e::PressMessageBoxButton(box, IDOK));
    DWORD code = 0;
    ASSERT_TRUE(session.Program.WaitForExit(15000, &code));
    EXPECT_EQ(1u, code);
  }
}

// A self-applying program made from mendit.exe and a small payload, written to
// Work\name without its last cut bytes.
std::string WriteSelfApplyingProgram(const std::string& work, const char* name, size_t cut) {
  TDiskFileSystem disk;
  std::vector<uint8_t> stub, image;
  std::string problem;
  if (!ReadWholeFile(disk, Win(MENDIT_EXE), stub) || !StubImage(stub, image, problem)) return "";
  std::vector<uint8_t> program = MakePayloadProgram(
      image, "[Application]\r\nName=TOOL.EXE\r\nDefaultPath=C:\\\r\nPatch=P.CAB\r\n", std::vector<uint8_t>(5000, 7));
  program.resize(program.size() - cut);
  const std::string path = work + "\\" + name;
  return WriteWholeFile(disk, path, program) ? path : "";
}

TEST_F(MenditTest, DamagedSelfApplyingProgramSaysWhyAndInstallsNothing) {
  const std::string path = WriteSelfApplyingProgram(Work, "CUT.EXE", 100);  // a download that stopped early
  ASSERT_FALSE(path.empty());
  TMenditSession session;
  ASSERT_TRUE(session.StartOnly(path, ""));
  HWND box = e2e::WaitForMessageBox(session.Program.Id(), L"Damaged patch", 30000);
  ASSERT_NE(nullptr, box);
  EXPECT_NE(std::wstring::npos, e2e::MessageBoxText(box).find(L"the file is cut short"));
  ASSERT_TRUE(e2e::PressMessageBoxButton(box, IDOK));
  DWORD code = 0;
  ASSERT_TRUE(session.Program.WaitForExit(15000, &code));
  EXPECT_EQ(4u, code);
}

// A self-applying program says who signed it (here: nobody) as soon as its window opens,
// before "Install patch" is pressed.
TEST_F(MenditTest, SelfApplyingProgramShowsItsSignerWhenItOpens) {
  const std::string path = WriteSelfApplyingProgram(Work, "WHOLE.EXE", 0);
  ASSERT_FALSE(path.empty());
  TMenditSession session;
  ASSERT_TRUE(session.Start(path, ""));
  const std::vector<std::wstring> rows = session.Rows();
  ASSERT_EQ(1u, rows.size());
  EXPECT_EQ(0u, rows[0].find(L"Not signed")) << rows[0];
  PostMessageW(session.Frame, WM_CLOSE, 0, 0);
  DWORD code = 99;
  ASSERT_TRUE(session.Program.WaitForExit(15000, &code));
}

TEST_F(MenditTest, DescriptionFileWithAndWithoutDrive) {
  // A copy of the program in a directory of its own, with description files beside it.
  const std::string program = Work + "\\PROG";
  MakeFolders(program + "\\SUB");
  ASSERT_TRUE(CopyFileA(Win(MENDIT_EXE).c_str(), (program + "\\MENDIT.EXE").c_str(), FALSE));
  WriteDescription(program + "\\MENDIT.MNI", "DEFAULT.EXE", "C:\\D\\", "P.CAB");
  WriteDescription(program + "\\SUB\\REL.MNI", "RELATIVE.EXE", "C:\\R\\", "P.CAB");
  WriteDescription(Description, "ABSOLUTE.EXE", "C:\\A\\", "P.CAB");
  WriteDescription(program + "\\ONE.MNI", "ONE.EXE", "&WINDOWS&\\", "P.CAB");
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  struct Case {
    std::string args;
    std::string path;
  } cases[] = {
      {"", "C:\\D\\DEFAULT.EXE"},
      {"SUB\\REL.MNI", "C:\\R\\RELATIVE.EXE"},
      {Quoted(Description), "C:\\A\\ABSOLUTE.EXE"},
      {"ONE.MNI", std::string(windows) + "\\ONE.EXE"},
      {"ONE.MNI SUB\\REL.MNI", "C:\\D\\DEFAULT.EXE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    TMenditSession session;
    ASSERT_TRUE(session.Start(program + "\\MENDIT.EXE", c.args));
    EXPECT_EQ(std::wstring(c.path.begin(), c.path.end()), session.Path());
    PostMessageW(session.Frame, WM_CLOSE, 0, 0);
    DWORD code = 99;
    ASSERT_TRUE(session.Program.WaitForExit(15000, &code));
    EXPECT_EQ(0u, code);
  }
}

TEST_F(MenditTest, QuitEscAndCloseEndTheProgram) {
  WriteDescription(Description, "TOOL.EXE", Work + "\\APP\\", Cabinet);
  enum Way { QuitButton, EscKey, CloseBox };
  for (Way way : {QuitButton, EscKey, CloseBox}) {
    SCOPED_TRACE(way);
    // Started maximised, the window still opens in its normal size.
    TMenditSession session;
    ASSERT_TRUE(session.Start(Win(MENDIT_EXE), Quoted(Description), SW_SHOWMAXIMIZED));
    EXPECT_FALSE(IsZoomed(session.Frame));
    RECT dialog = e2e::WindowRect(session.Dialog), client = e2e::ClientRectOnScreen(session.Frame);
    EXPECT_EQ(dialog.right - dialog.left, client.right - client.left);
    EXPECT_EQ(dialog.bottom - dialog.top, client.bottom - client.top);
    e2e::BringToFront(session.Frame);
    if (way == QuitButton) {
      RECT quit = e2e::WindowRect(session.QuitButton);
      e2e::Click((quit.left + quit.right) / 2, (quit.top + quit.bottom) / 2);
    } else if (way == EscKey) {
      e2e::WaitUntil([&] { return GetForegroundWindow() == session.Frame; }, 3000);
      e2e::PressKey(VK_ESCAPE);
    } else {
      PostMessageW(session.Frame, WM_CLOSE, 0, 0);
    }
    DWORD code = 99;
    ASSERT_TRUE(session.Program.WaitForExit(15000, &code));
    EXPECT_EQ(0u, code);
  }
}

// The offsets just past each data block of a one-folder cabinet, read from its headers.
std::vector<size_t> DataBlockEnds(const Bytes& cabinet) {
  auto byteAt = [&](size_t at) { return at < cabinet.size() ? size_t(cabinet[at]) : 0; };
  auto word = [&](size_t at) { return byteAt(at) | byteAt(at + 1) << 8; };
  std::vector<size_t> ends;
  size_t at = word(36) | word(38) << 16;  // the first folder's first data block
  for (size_t blocks = word(40); blocks > 0 && at + 8 <= cabinet.size(); --blocks) {
    at += 8 + word(at + 4);
    ends.push_back(at);
  }
  return ends;
}

// A cabinet cut short, wherever the cut leaves the patch data (at a record boundary, inside a
// record header, inside a record's data): mendit installs nothing and says so in red.
TEST_F(MenditTest, ACutCabinetInstallsNothing) {
  const std::string app = Work + "\\APP";
  // Each data block holds 32768 bytes of the patch data: the first record ends with the
  // first block, the third record's header straddles the end of the second.
  const size_t block = 32768, header = 221;
  TPatchWriter writer;
  writer.AddCopy("&ROOT&\\ONE.BIN", NewStamp, Pattern(block - header, 1));
  writer.AddCopy("&ROOT&\\TWO.BIN", NewStamp, Pattern(block - header - 100, 2));
  writer.AddCopy("&ROOT&\\THREE.BIN", NewStamp, Pattern(3000, 3));
  Pack(writer);
  const Bytes whole = ReadBytes(Cabinet);
  const std::vector<size_t> ends = DataBlockEnds(whole);
  ASSERT_EQ(3u, ends.size());
  WriteDescription(Description, "TOOL.EXE", app + "\\", Cabinet);

  Start();
  for (size_t cut : {ends[0], ends[1], ends[1] - 500, ends[2] - 1}) {
    SCOPED_TRACE(cut);
    ASSERT_TRUE(WriteBytes(Cabinet, Bytes(whole.begin(), whole.begin() + cut)));
    ASSERT_TRUE(Session.Install());
    const std::vector<std::wstring> rows = Session.Rows();
    const std::wstring patch(Cabinet.begin(), Cabinet.end());
    EXPECT_EQ(L"Cannot unpack patch file: " + patch, rows.back());
    EXPECT_EQ(rows.end(), std::find(rows.begin(), rows.end(), L"Installing patch..."));
    e2e::Rgb last = 0;
    e2e::WaitUntil([&] { return (last = Session.RowBackground(static_cast<int>(rows.size()) - 1)) == Red; }, 2000);
    EXPECT_EQ(Red, last);
    EXPECT_FALSE(Exists(app + "\\ONE.BIN"));
  }
  ASSERT_TRUE(WriteBytes(Cabinet, whole));
  ASSERT_TRUE(Session.Install());
  EXPECT_EQ(L"Patching completed !", Session.Rows().back());
  EXPECT_EQ(Pattern(3000, 3), ReadBytes(app + "\\THREE.BIN"));
  Quit();
}

// A path field that names no file: empty, too long for the system, an existing folder, or a
// folder without its closing backslash (the main program's name glued to it). All but the
// folder are refused before anything is unpacked; a folder holding the main executable is
// taken as its folder. Nothing is ever written outside the folder the field names.
TEST_F(MenditTest, MisdirectedPathFieldsWriteNothingOutsideTheChosenFolder) {
  const std::string app = Work + "\\APP";
  const std::string stray = "MENDIT_E2E_STRAY";  // a folder a wrong root would create
  TPatchWriter writer;
  writer.AddCopy("&ROOT&\\" + stray + "\\NEW.TXT", NewStamp, Pattern(100, 9));
  Pack(writer);
  WriteDescription(Description, "TOOL.EXE", app + "\\", Cabinet);
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  const std::string driveRoot = std::string(current).substr(0, 3);
  const std::string tooLong = app + "\\" + std::string(300, 'L') + "\\TOOL.EXE";
  struct Case {
    std::string path;
    std::wstring lastRow;  // how the last row begins
    std::string written;  // where the record's file must land ("" for nowhere)
  } cases[] = {
      {"", L"Cannot install patch: the path field is empty", ""},
      {tooLong, L"Cannot install patch: path too long: ", ""},
      {app + "TOOL.EXE", L"Cannot install patch: " + std::wstring(app.begin(), app.end()) + L"TOOL.EXE not found", ""},
      {app, L"Patching completed !", app + "\\" + stray + "\\NEW.TXT"},
      {app + "\\", L"Patching completed !", app + "\\" + stray + "\\NEW.TXT"},
  };
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    RemoveFolderTree(app + "\\" + stray);
    Session.SetPath(c.path);
    ASSERT_TRUE(Session.Install());
    const std::vector<std::wstring> rows = Session.Rows();
    EXPECT_EQ(c.lastRow, rows.back().substr(0, c.lastRow.size()));
    for (const std::string& wrong : {driveRoot + stray, Work + "\\" + stray}) {
      EXPECT_FALSE(Exists(wrong)) << wrong;
      RemoveFolderTree(wrong);  // what an unguarded run would have made
    }
    if (!c.written.empty()) {
      EXPECT_TRUE(Exists(c.written));
    }
  }
  Quit();
}

TEST_F(MenditTest, CloseDuringARunWaitsForTheRunToEnd) {
  const std::string app = Work + "\\APP";
  Bytes previous = Pattern(3 << 19, 7), next = NextVersion(previous, 3 << 19, 8);
  ASSERT_TRUE(WriteBytes(app + "\\BIG.EXE", previous));
  SetStamp(app + "\\BIG.EXE", OldStamp);
  TPatchWriter writer;
  writer.AddModify("&ROOT&\\BIG.EXE", OldStamp, NewStamp, DeltaFor(next));
  Pack(writer);
  WriteDescription(Description, "BIG.EXE", app + "\\", Cabinet);

  Start();
  Session.PressInstall();
  ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindowEnabled(Session.InstallButton); }, 20000));
  PostMessageW(Session.Frame, WM_CLOSE, 0, 0);
  DWORD code = 99;
  ASSERT_TRUE(Session.Program.WaitForExit(120000, &code));
  EXPECT_EQ(0u, code);
  EXPECT_EQ(next, ReadBytes(app + "\\BIG.EXE"));
  EXPECT_EQ(NewStamp, LocalStampOf(app + "\\BIG.EXE"));
}

// MAIN.EXE held by another program without sharing: one question names it before anything
// changes; Cancel leaves every file as it was, with error rows; Retry while it is still held
// asks again, and Retry once the program has ended applies the whole patch.
TEST_F(MenditTest, FilesInUseAreNamedBeforeAnythingChanges) {
  const std::string app = Work + "\\APP\\";
  std::vector<Bytes> previous, next;
  TPatchWriter writer;
  const std::string names[] = {"A.DAT", "MAIN.EXE", "Z.DAT"};
  for (unsigned i = 0; i < 3; ++i) {
    previous.push_back(Pattern(600, 20 + i));
    next.push_back(NextVersion(previous[i], 700, 30 + i));
    ASSERT_TRUE(WriteBytes(app + names[i], previous[i]));
    SetStamp(app + names[i], OldStamp);
    writer.AddModify("&ROOT&\\" + names[i], OldStamp, NewStamp, DeltaFor(next[i]));
  }
  Pack(writer);
  WriteDescription(Description, "MAIN.EXE", app, Cabinet);
  // The holder cannot take the file while anything else still has it open (on a loaded
  // machine, the previous test's program may not have ended yet): it then exits, and is
  // started again.
  e2e::Process holder;
  ASSERT_TRUE(e2e::WaitUntil([&] {
    if (!holder.Running() && !holder.Start(Quoted(Win(HOLD_FILE_EXE)) + " " + Quoted(app + "MAIN.EXE"))) return false;
    e2e::WaitUntil([&] { return ReadBytes(app + "MAIN.EXE").empty() || !holder.Running(); }, 20000);
    return holder.Running() && ReadBytes(app + "MAIN.EXE").empty();
  }, 60000));
  auto unchanged = [&] {  // MAIN.EXE cannot be read while it is held
    EXPECT_EQ(previous[0], ReadBytes(app + "A.DAT"));
    EXPECT_EQ(previous[2], ReadBytes(app + "Z.DAT"));
    EXPECT_FALSE(Exists(app + "A.$$$") || Exists(app + "MAIN.$$$") || Exists(app + "Z.$$$"));
  };
  std::wstring mainPath;
  for (char c : app + "MAIN.EXE") mainPath += static_cast<wchar_t>(toupper(static_cast<unsigned char>(c)));

  Start();
  Session.PressInstall();
  HWND box = e2e::WaitForMessageBox(Session.Program.Id(), L"Files in use", 30000);
  ASSERT_NE(nullptr, box);
  EXPECT_EQ(L"These files are in use by other programs:\n\n" + mainPath +
                L"\n\nClose these programs, then press Retry.\nCancel stops the installation; nothing has been changed.",
            e2e::MessageBoxText(box));
  DWORD_PTR answer = 0;  // the window behind the question still answers
  EXPECT_NE(0, SendMessageTimeoutW(Session.Dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
  ASSERT_TRUE(e2e::PressMessageBoxButton(box, IDCANCEL));
  ASSERT_TRUE(Session.WaitForRunEnd(20000));
  EXPECT_EQ(std::vector<std::wstring>({L"Unpacking patch...", L"File in use: " + mainPath,
                                       L"Cannot install patch: files in use - nothing was changed"}),
            Session.Rows());
  unchanged();

  Session.PressInstall();
  ASSERT_TRUE(e2e::PressMessageBoxButton(e2e::WaitForMessageBox(Session.Program.Id(), L"Files in use", 30000), IDRETRY));
  box = e2e::WaitForMessageBox(Session.Program.Id(), L"Files in use", 30000);
  ASSERT_NE(nullptr, box);
  unchanged();
  holder.End();
  ASSERT_TRUE(e2e::PressMessageBoxButton(box, IDRETRY));
  ASSERT_TRUE(Session.WaitForRunEnd(60000));
  EXPECT_EQ(L"Patching completed !", Session.Rows().back());
  for (unsigned i = 0; i < 3; ++i) EXPECT_EQ(next[i], ReadBytes(app + names[i])) << names[i];
  Quit();
}

}  // namespace
