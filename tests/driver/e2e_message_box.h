// Message boxes shown by another process: find one by its caption, read its text,
// press one of its buttons.
#pragma once
#include <windows.h>

#include <string>

namespace e2e {

// Waits for a dialog-class (#32770) top-level window of processId with this caption.
HWND WaitForMessageBox(DWORD processId, const wchar_t* caption, unsigned timeoutMs);

// The message: the text of the box's static control that carries text (the icon's
// static has none).
std::wstring MessageBoxText(HWND box);

// Presses the button with control id buttonId (IDOK, IDCANCEL, ...) as a click would,
// and waits until the box has gone. False if the box has no such button or stays.
bool PressMessageBoxButton(HWND box, int buttonId, unsigned timeoutMs = 5000);

}  // namespace e2e
