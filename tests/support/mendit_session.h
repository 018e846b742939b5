#pragma once
// One mendit.exe under test: started with a command line, its main window and the main
// dialog's controls found, an installation pressed and waited for.

#include <windows.h>

#include <string>
#include <vector>

#include "tests/driver/e2e_driver.h"
#include "tests/driver/list_box_reader.h"

class TMenditSession {
 public:
  // Starts program with args (already quoted where needed) and waits for the main window.
  // False when the process or its window did not come up.
  bool Start(const std::string& program, const std::string& args, WORD showCommand = SW_SHOWNORMAL);
  bool StartOnly(const std::string& program, const std::string& args, WORD showCommand = SW_SHOWNORMAL);

  // Replaces the path field's text.
  void SetPath(const std::string& path);
  std::wstring Path() const;
  // Presses "Install patch" with the pointer and waits until the button is enabled again
  // after a run has ended (the log's last row closes a run). False on timeout.
  bool Install(unsigned timeoutMs = 60000);
  // The same with the Enter key instead of the pointer.
  bool InstallWithEnter(unsigned timeoutMs = 60000);
  // Presses "Install patch" without waiting.
  void PressInstall();
  std::vector<std::wstring> Rows() const { return e2e::ListBoxRows(Log); }
  // Background colour of row index (what most of its text area shows).
  e2e::Rgb RowBackground(int index) const;

  // Waits until the button is enabled and the log's last row closes a run.
  bool WaitForRunEnd(unsigned timeoutMs);

  e2e::Process Program;
  HWND Frame = nullptr;
  HWND Dialog = nullptr;
  HWND PathField = nullptr;
  HWND InstallButton = nullptr;
  HWND QuitButton = nullptr;
  HWND Log = nullptr;
  HWND ProgressBar = nullptr;
};
