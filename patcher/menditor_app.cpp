#include "menditor_app.h"

#include <commctrl.h>

#include <cstdlib>
#include <vector>

#include "description_file.h"
#include "framework/common_controls.h"
#include "patch_dlg_client.h"
#include "pattern/pattern.h"
#include "resource_ids.h"
#include "sdi_dec_frame.h"
#include "show_command.h"

namespace {

const char kApplicationName[] = "Tarvel Application Patcher";
// Drive letter, colon, backslash and every directory up to the last backslash: tag 1.
const char kModuleDirPattern[] = "{*/:\\(*\\)#}*";

std::string ProgramFilesDir() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS)
    return "";
  char value[MAX_PATH + 1] = "";
  DWORD size = MAX_PATH;  // one byte spare for a terminator the registry may not have stored
  DWORD type = 0;
  LONG status = RegQueryValueExA(key, "ProgramFilesDir", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return "";
  value[size < MAX_PATH ? size : MAX_PATH] = '\0';
  return value;
}

}  // namespace

TMenditorApp::TMenditorApp() : TApplication(kApplicationName) {
  FindModuleDir();
  DefineStartupMacros();
}

void TMenditorApp::FindModuleDir() {
  char path[ModulePathSize] = "";
  if (GetModuleFileNameA(nullptr, path, ModulePathSize) == 0) {
    MessageBoxExA(nullptr, "GetModuleFileName failed!", "Error", MB_ICONHAND, 0);
    return;
  }
  path[ModulePathSize - 1] = '\0';  // a cut path is not terminated on older systems
  TPattern pattern(kModuleDirPattern);
  if (pattern.Match(path)) ModuleDir = TPattern::Tag(1);
}

void TMenditorApp::DefineStartupMacros() {
  char systemDir[DirectorySize] = "";
  char windowsDir[DirectorySize] = "";
  if (GetSystemDirectoryA(systemDir, DirectorySize) >= static_cast<UINT>(DirectorySize)) systemDir[0] = '\0';
  if (GetWindowsDirectoryA(windowsDir, DirectorySize) >= static_cast<UINT>(DirectorySize)) windowsDir[0] = '\0';
  // Added in this order, so "&WINDOWS&" is the first definition the expander applies.
  Macros.AddMacro(new TMacroDef("&PROGRAMS&", ProgramFilesDir()));
  Macros.AddMacro(new TMacroDef("&SYSTEM&", systemDir));
  Macros.AddMacro(new TMacroDef("&WINDOWS&", windowsDir));
}

int TMenditorApp::NormalizeCmdShow(int cmdShow) { return NormalizedShowCommand(cmdShow); }

void TMenditorApp::InitMainWindow() {
  LoadCommonControls(ICC_PROGRESS_CLASS);
  auto* frame = new TSDIDecFrame(nullptr, GetName().c_str(), new TPatchDlgClient(nullptr, IDD_PATCH_CLIENT));
  TWindow::TAttr& attr = frame->GetAttr();
  attr.Style |= WS_VISIBLE | WS_SYSMENU;
  attr.Style &= ~(WS_CHILD | WS_CLIPCHILDREN | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME | WS_MINIMIZEBOX |
                  WS_MAXIMIZEBOX);
  frame->SetIcon(IDI_MAIN, IDI_MAIN);
  SetMainWindow(frame);

  if (!ReadDescriptionFile()) PostQuitMessage(1);  // the window is still created; the loop ends at once
  DefaultPath = Macros.ExpandMacros(DefaultPath, true);
}

bool TMenditorApp::ReadDescriptionFile() {
  std::string path = DescriptionFilePath(ModuleDir, __argc > 0 ? __argc - 1 : 0, __argv ? __argv + 1 : nullptr);
  TDescription description;
  bool complete = ReadDescription(
      [&path](const char* key) {
        char value[DescriptionValueSize] = "";
        GetPrivateProfileStringA("Application", key, "", value, DescriptionValueSize, path.c_str());
        return std::string(value);
      },
      description);
  Name = description.Name;
  DefaultPath = description.DefaultPath;
  Patch = description.Patch;
  if (!complete) MessageBoxExA(nullptr, InitFailedText(path).c_str(), "Init failed", MB_ICONHAND, 0);
  return complete;
}
