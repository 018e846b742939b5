// Finding windows of another process and reading their state. Texts are read with the
// wide messages: the ANSI ones come back cut short across processes under Wine.
#pragma once
#include <windows.h>

#include <string>

namespace e2e {

// The first visible-or-not top-level window of process processId whose class and title
// equal the given ones (nullptr: any). nullptr when there is none.
HWND FindTopWindow(DWORD processId, const wchar_t* className, const wchar_t* title);

// FindTopWindow, polled until it finds a window or timeoutMs passed.
HWND WaitForTopWindow(DWORD processId, const wchar_t* className, const wchar_t* title,
                      unsigned timeoutMs);

// The window's text (WM_GETTEXT, works across processes) and class name.
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);

// Window and client rectangles in screen coordinates.
RECT WindowRect(HWND window);
RECT ClientRectOnScreen(HWND window);

// Makes the window the foreground window, so that keyboard input goes to it.
bool BringToFront(HWND window);

}  // namespace e2e
