#include "tests/support/mendit_session.h"

#include <commctrl.h>

#include "tests/driver/list_box_reader.h"
#include "mendit/resource_ids.h"

namespace {

const wchar_t FrameTitle[] = L"Tarvel Application Patcher";

bool EndsRun(const std::wstring& row) {
  return row == L"Patching completed !" || row.rfind(L"Cannot open patch file: ", 0) == 0 ||
         row.rfind(L"Cannot unpack patch file: ", 0) == 0 || row.rfind(L"Cannot install patch: ", 0) == 0;
}

}  // namespace

bool TMenditSession::StartOnly(const std::string& program, const std::string& args, WORD showCommand) {
  return Program.Start("\"" + program + "\"" + (args.empty() ? "" : " " + args), "", showCommand);
}

bool TMenditSession::Start(const std::string& program, const std::string& args, WORD showCommand) {
  if (!StartOnly(program, args, showCommand)) return false;
  // The title is the program's, followed by the vendor's product where the patch names one.
  Frame = e2e::WaitForTopWindow(Program.Id(), L"TFrameWindow", nullptr, 90000);
  if (!Frame || e2e::WindowText(Frame).rfind(FrameTitle, 0) != 0) return false;
  e2e::WaitUntil([&] { return (Dialog = FindWindowExW(Frame, nullptr, L"#32770", nullptr)) != nullptr; }, 10000);
  if (!Dialog) return false;
  PathField = GetDlgItem(Dialog, IDC_PATH);
  InstallButton = GetDlgItem(Dialog, IDC_INSTALL);
  QuitButton = GetDlgItem(Dialog, IDOK);
  Log = GetDlgItem(Dialog, IDC_LOG);
  ProgressBar = GetDlgItem(Dialog, IDC_PROGRESS);
  return e2e::WaitUntil([&] { return IsWindowVisible(Frame) != FALSE; }, 10000);
}

void TMenditSession::SetPath(const std::string& path) {
  std::wstring wide(path.begin(), path.end());
  SendMessageW(PathField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

std::wstring TMenditSession::Path() const { return e2e::WindowText(PathField); }

void TMenditSession::PressInstall() {
  e2e::BringToFront(Frame);
  RECT button = e2e::WindowRect(InstallButton);
  e2e::Click((button.left + button.right) / 2, (button.top + button.bottom) / 2);
}

bool TMenditSession::Install(unsigned timeoutMs) {
  SendMessageW(Log, LB_RESETCONTENT, 0, 0);
  PressInstall();
  return WaitForRunEnd(timeoutMs);
}

bool TMenditSession::InstallWithEnter(unsigned timeoutMs) {
  SendMessageW(Log, LB_RESETCONTENT, 0, 0);
  e2e::BringToFront(Frame);
  e2e::WaitUntil([&] { return GetForegroundWindow() == Frame; }, 3000);
  e2e::PressKey(VK_RETURN);
  return WaitForRunEnd(timeoutMs);
}

bool TMenditSession::WaitForRunEnd(unsigned timeoutMs) {
  return e2e::WaitUntil(
      [&] {
        if (!IsWindowEnabled(InstallButton)) return false;
        std::vector<std::wstring> rows = Rows();
        return !rows.empty() && EndsRun(rows.back());
      },
      timeoutMs, 50);
}

e2e::Rgb TMenditSession::RowBackground(int index) const {
  // Right of the 16-pixel picture.
  return e2e::ListBoxRowBackground(Log, index, 20);
}
