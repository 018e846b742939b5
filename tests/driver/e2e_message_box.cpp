#include "e2e_message_box.h"

#include "e2e_wait.h"
#include "e2e_windows.h"

namespace e2e {

namespace {

struct TextSearch {
  std::wstring text;
};

BOOL CALLBACK VisitChild(HWND child, LPARAM param) {
  TextSearch& search = *reinterpret_cast<TextSearch*>(param);
  if (_wcsicmp(ClassName(child).c_str(), L"Static") != 0) return TRUE;
  std::wstring text = WindowText(child);
  if (text.empty()) return TRUE;
  search.text = text;
  return FALSE;
}

}  // namespace

HWND WaitForMessageBox(DWORD processId, const wchar_t* caption, unsigned timeoutMs) {
  return WaitForTopWindow(processId, L"#32770", caption, timeoutMs);
}

std::wstring MessageBoxText(HWND box) {
  TextSearch search;
  EnumChildWindows(box, VisitChild, reinterpret_cast<LPARAM>(&search));
  return search.text;
}

bool PressMessageBoxButton(HWND box, int buttonId, unsigned timeoutMs) {
  HWND button = GetDlgItem(box, buttonId);
  if (!button) return false;
  // The notification a click sends; works whether or not the box is in front.
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return WaitUntil([&] { return !IsWindow(box); }, timeoutMs);
}

}  // namespace e2e
