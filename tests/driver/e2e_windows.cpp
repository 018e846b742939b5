#include "e2e_windows.h"

#include "e2e_wait.h"

namespace e2e {

namespace {

struct Search {
  DWORD processId;
  const wchar_t* className;
  const wchar_t* title;
  HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM param) {
  Search& search = *reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.processId) return TRUE;
  if (search.className && ClassName(window) != search.className) return TRUE;
  if (search.title && WindowText(window) != search.title) return TRUE;
  search.found = window;
  return FALSE;
}

}  // namespace

HWND FindTopWindow(DWORD processId, const wchar_t* className, const wchar_t* title) {
  Search search = {processId, className, title, nullptr};
  EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForTopWindow(DWORD processId, const wchar_t* className, const wchar_t* title,
                      unsigned timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindTopWindow(processId, className, title)) != nullptr; },
            timeoutMs);
  return found;
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = L"";
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, sizeof text / sizeof text[0],
                           reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &length))
    return L"";
  return std::wstring(text, length);
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = L"";
  int length = GetClassNameW(window, name, sizeof name / sizeof name[0]);
  return std::wstring(name, length > 0 ? length : 0);
}

RECT WindowRect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

RECT ClientRectOnScreen(HWND window) {
  RECT rect = {};
  GetClientRect(window, &rect);
  MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool BringToFront(HWND window) {
  SetForegroundWindow(window);
  return WaitUntil([&] { return GetForegroundWindow() == window; }, 2000);
}

}  // namespace e2e
