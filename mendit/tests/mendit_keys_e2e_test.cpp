// mendit.exe end to end under Wine, with the keyboard and the log's context menu: after a run
// the focus is back where the run was started from, and the log can be copied and saved
// through its menu (right button, Shift+F10, the menu key) and Ctrl+C / Ctrl+A.

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/driver/e2e_driver.h"
#include "tests/support/mendit_session.h"

namespace {

std::string Win(const std::string& unixPath) { return e2e::WinePath(unixPath); }

// The cabinet of this description file does not exist: a run ends at once with an error row.
class MenditKeysTest : public testing::Test {
 protected:
  void SetUp() override {
    Work = Win(MENDIT_E2E_WORK) + "\\keys";
    CreateDirectoryA(Win(MENDIT_E2E_WORK).c_str(), nullptr);
    CreateDirectoryA(Work.c_str(), nullptr);
    Description = Work + "\\APP.MNI";
    std::ofstream(Work + "\\TOOL.EXE", std::ios::binary) << "main program";
    std::ofstream(Description, std::ios::binary)
        << "[Application]\r\nName=TOOL.EXE\r\nDefaultPath=" << Work << "\\\r\nPatch=" << Work << "\\NOWHERE.CAB\r\n";
    ASSERT_TRUE(Session.Start(Win(MENDIT_EXE), "\"" + Description + "\""));
    e2e::BringToFront(Session.Frame);
    ASSERT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == Session.Frame; }, 3000));
  }

  HWND Focus() const {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(Session.Frame, nullptr), &info);
    return info.hwndFocus;
  }

  bool WaitForFocus(HWND window) const {
    return e2e::WaitUntil([&] { return Focus() == window; }, 5000);
  }

  void ExpectEscQuits() {
    e2e::PressKey(VK_ESCAPE);
    DWORD code = 99;
    ASSERT_TRUE(Session.Program.WaitForExit(15000, &code));
    EXPECT_EQ(0u, code);
  }

  // Opens the log's menu (already asked for by the caller's input) and picks an item by key.
  bool PickFromMenu(WORD key) {
    HWND menu = nullptr;
    if (!e2e::WaitUntil([&] { return (menu = e2e::FindTopWindow(Session.Program.Id(), L"#32768", nullptr)) &&
                                     IsWindowVisible(menu); }, 5000))
      return false;
    e2e::PressKey(key);
    return e2e::WaitUntil([&] { return !IsWindow(menu) || !IsWindowVisible(menu); }, 5000);
  }

  static void EmptyClipboardText() {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    CloseClipboard();
  }

  static std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
      if (const char* bytes = static_cast<const char*>(GlobalLock(data))) text = bytes;
      GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
  }

  std::string WaitForClipboard() {
    std::string text;
    e2e::WaitUntil([&] { return !(text = ClipboardText()).empty(); }, 5000);
    return text;
  }

  POINT RowCentre(int index) const {
    RECT row = {};
    SendMessageW(Session.Log, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&row));
    POINT at = {(row.left + row.right) / 2, (row.top + row.bottom) / 2};
    ClientToScreen(Session.Log, &at);
    return at;
  }

  std::string Work, Description;
  TMenditSession Session;
};

TEST_F(MenditKeysTest, FocusReturnsAfterARunStartedFromTheKeyboard) {
  // Enter in the path field presses "Install patch"; the focus stays in the field.
  ASSERT_TRUE(WaitForFocus(Session.PathField));
  e2e::PressKey(VK_RETURN);
  ASSERT_TRUE(Session.WaitForRunEnd(30000));
  EXPECT_TRUE(WaitForFocus(Session.PathField));
  // Tab over "Browse" to "Install patch" and Space: the focus comes back to the button.
  SendMessageW(Session.Log, LB_RESETCONTENT, 0, 0);
  e2e::PressKey(VK_TAB);
  e2e::PressKey(VK_TAB);
  ASSERT_TRUE(WaitForFocus(Session.InstallButton));
  e2e::PressKey(VK_SPACE);
  ASSERT_TRUE(Session.WaitForRunEnd(30000));
  EXPECT_TRUE(WaitForFocus(Session.InstallButton));
  ExpectEscQuits();
}

TEST_F(MenditKeysTest, LogCopiedAndSavedThroughItsMenuAndKeys) {
  // A run started with the pointer gives the focus back to the button too.
  ASSERT_TRUE(Session.Install());
  EXPECT_TRUE(WaitForFocus(Session.InstallButton));
  std::vector<std::wstring> rows = Session.Rows();
  ASSERT_LE(2u, rows.size());
  const std::string patch = Work + "\\NOWHERE.CAB";
  const std::string first = "\tUnpacking patch...\r\n", last = "[ERROR]\tCannot open patch file: " + patch + "\r\n";

  // A click selects row 0; the menu key opens the menu, "Copy" copies that row.
  POINT row0 = RowCentre(0);
  e2e::Click(row0.x, row0.y);
  ASSERT_TRUE(WaitForFocus(Session.Log));
  EmptyClipboardText();
  e2e::PressKey(VK_APPS);
  ASSERT_TRUE(PickFromMenu('C'));
  EXPECT_EQ(first, WaitForClipboard());

  // Ctrl+A, Ctrl+C: every row, in order.
  EmptyClipboardText();
  e2e::PressKeys({VK_CONTROL, 'A'});
  // Every row shows selected (inverted): the white first row black, the red last one cyan.
  const int lastIndex = static_cast<int>(rows.size()) - 1;
  EXPECT_TRUE(e2e::WaitUntil([&] { return Session.RowBackground(0) == 0x000000; }, 3000));
  EXPECT_TRUE(e2e::WaitUntil([&] { return Session.RowBackground(lastIndex) == 0x00FFFF; }, 3000));
  e2e::PressKeys({VK_CONTROL, 'C'});
  std::string all = WaitForClipboard();
  EXPECT_EQ(0u, all.find(first)) << all;
  ASSERT_LE(last.size(), all.size());
  EXPECT_EQ(last, all.substr(all.size() - last.size()));
  size_t lines = 0;
  for (char c : all) lines += c == '\n';
  EXPECT_EQ(rows.size(), lines);

  // Home selects one row again; the right button on the last row selects that one, and
  // "Copy" copies it alone.
  e2e::PressKey(VK_HOME);
  EXPECT_TRUE(e2e::WaitUntil([&] { return SendMessageW(Session.Log, LB_GETCURSEL, 0, 0) == 0; }, 3000));
  POINT lastRow = RowCentre(lastIndex);
  EmptyClipboardText();
  e2e::RightClick(lastRow.x, lastRow.y);
  ASSERT_TRUE(PickFromMenu('C'));
  EXPECT_EQ(lastIndex, SendMessageW(Session.Log, LB_GETCURSEL, 0, 0));
  EXPECT_EQ(last, WaitForClipboard());

  // Shift+F10, "Save log as...": the Save dialog proposes a name after the cabinet.
  e2e::PressKeys({VK_SHIFT, VK_F10});
  ASSERT_TRUE(PickFromMenu('S'));
  HWND save = e2e::WaitForTopWindow(Session.Program.Id(), L"#32770", L"Save log as", 10000);
  ASSERT_NE(nullptr, save);
  HWND name = GetDlgItem(save, 0x47c);  // the file name box of the explorer-style dialog
  if (!name) name = GetDlgItem(save, 0x480);
  ASSERT_NE(nullptr, name);
  EXPECT_EQ(L"NOWHERE.log", e2e::WindowText(name));
  EXPECT_EQ(L"Log files (*.log)", e2e::WindowText(GetDlgItem(save, 0x470)));
  const std::string target = Work + "\\SAVED.log";
  DeleteFileA(target.c_str());
  std::wstring wideTarget(target.begin(), target.end());
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wideTarget.c_str()));
  e2e::BringToFront(save);
  e2e::PressKey(VK_RETURN);
  // The log is written after the dialog has gone.
  std::string saved;
  e2e::WaitUntil([&] {
    std::stringstream text;
    text << std::ifstream(target, std::ios::binary).rdbuf();
    return (saved = text.str()) == all;
  }, 10000);
  EXPECT_EQ(all, saved);

  e2e::BringToFront(Session.Frame);
  ExpectEscQuits();
}

}  // namespace
