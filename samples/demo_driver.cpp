// demo_driver: plays the user of mendit on a virtual display. Starts mendit.exe with the
// description file, presses "Install patch", prints the log rows with their kinds (and a box
// the run shows, which it dismisses with OK), saves a screenshot of the window and quits the
// program.
//
//   demo_driver MENDIT.EXE DESCRIPTION.MNI SCREENSHOT.PNG

#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/driver/e2e_driver.h"
#include "tests/support/mendit_session.h"

namespace {

const char* KindOf(e2e::Rgb background) {
  switch (background) {
    case 0xFF0000:
      return "ERROR  ";
    case 0xFFFF00:
      return "WARNING";
    default:
      return "       ";
  }
}

// A visible message box (a top-level dialog window) of the process; null when there is none.
struct TBoxSearch {
  DWORD ProcessId;
  HWND Found;
};

BOOL CALLBACK VisitBox(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<TBoxSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.ProcessId || !IsWindowVisible(window) || e2e::ClassName(window) != L"#32770") return TRUE;
  search.Found = window;
  return FALSE;
}

HWND VisibleBox(DWORD processId) {
  TBoxSearch search = {processId, nullptr};
  EnumWindows(VisitBox, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: demo_driver MENDIT.EXE DESCRIPTION.MNI SCREENSHOT.PNG\n");
    return 2;
  }
  TMenditSession session;
  if (!session.Start(argv[1], std::string("\"") + argv[2] + "\"")) {
    std::fprintf(stderr, "demo: mendit's window did not appear\n");
    return 1;
  }
  std::wstring path = session.Path();
  std::printf("demo: path field: %ls\ndemo: pressing \"Install patch\"\n", path.c_str());
  SendMessageW(session.Log, LB_RESETCONTENT, 0, 0);
  session.PressInstall();
  // A box the run shows (a signature that does not hold) is read out and dismissed with OK.
  // The run starts (the button goes grey), then ends or shows a box; nothing is sent to the
  // window meanwhile (a message sent while it works waits for it). The patch's content checks
  // find the settings file the user changed: mendit asks before the first change, and the
  // demo's user installs anyway ("Yes"; the file stays as the user has it).
  e2e::WaitUntil([&] { return !IsWindowEnabled(session.InstallButton); }, 10000);
  for (int boxes = 0; boxes < 2; ++boxes) {
    HWND box = nullptr;
    e2e::WaitUntil([&] { return (box = VisibleBox(session.Program.Id())) || IsWindowEnabled(session.InstallButton); },
                   120000, 100);
    if (!box) break;
    const bool fit = e2e::WindowText(box) == L"Patch does not fit";
    std::printf("demo: box \"%ls\": %ls\n", e2e::WindowText(box).c_str(), e2e::MessageBoxText(box).c_str());
    if (fit) std::printf("demo: pressing \"Yes\"\n");
    std::fflush(stdout);
    e2e::PressMessageBoxButton(box, fit ? IDYES : IDOK);
    if (!fit) break;
  }
  if (!session.WaitForRunEnd(120000)) {
    e2e::SavePng(e2e::CaptureScreen({0, 0, 1024, 768}), argv[3]);
    std::fprintf(stderr, "demo: the installation did not end in time\n");
    return 1;
  }
  std::printf("demo: log rows:\n");
  std::vector<std::wstring> rows = session.Rows();
  SendMessageW(session.Log, LB_SETTOPINDEX, 0, 0);
  for (size_t i = 0; i < rows.size(); ++i) {
    int index = static_cast<int>(i);
    if (index >= e2e::ListBoxTopIndex(session.Log) + e2e::ListBoxVisibleRows(session.Log))
      SendMessageW(session.Log, LB_SETTOPINDEX, index, 0);
    Sleep(100);  // let the list repaint before its colours are read
    std::printf("  %s %ls\n", KindOf(session.RowBackground(index)), rows[i].c_str());
  }
  SendMessageW(session.Log, LB_SETTOPINDEX, rows.size(), 0);
  Sleep(300);
  e2e::Image shot = e2e::CaptureScreen(e2e::WindowRect(session.Frame));
  bool saved = e2e::SavePng(shot, argv[3]);
  PostMessageW(session.Dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  DWORD code = 1;
  session.Program.WaitForExit(15000, &code);
  std::printf("demo: mendit ended with exit code %lu\n", static_cast<unsigned long>(code));
  if (!saved) std::fprintf(stderr, "demo: cannot save the screenshot %s\n", argv[3]);
  return saved && code == 0 ? 0 : 1;
}
