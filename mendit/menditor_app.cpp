#include "menditor_app.h"

#include <commctrl.h>

#include <cstdlib>
#include <vector>

#include "description/startup.h"
#include "framework/common_controls.h"
#include "framework/module_folder.h"
#include "framework/show_command.h"
#include "patch_dlg_client.h"
#include "pattern/pattern.h"
#include "resource_ids.h"
#include "sdi_dec_frame.h"

namespace {

const char ApplicationName[] = "Tarvel Application Patcher";

}  // namespace

TMenditorApp::TMenditorApp(const TCarriedPatch* carried) : TApplication(ApplicationName), Carried(carried) {
  ModuleDir = ProgramFolder(ModulePathSize);
  DefineStartupMacros();
}

void TMenditorApp::DefineStartupMacros() { ::DefineStartupMacros(Macros); }

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
  TDescription description;
  std::string path;
  bool complete;
  if (Carried) {
    path = Carried->Cabinet.File;
    const TKeyReader read = DescriptionTextReader(Carried->DescriptionText);
    complete = ReadDescription(read, description);
    if (complete) ReadVendorIdentity(read, description.Vendor);
  } else {
    path = DescriptionFilePath(ModuleDir, __argc > 0 ? __argc - 1 : 0, __argv ? __argv + 1 : nullptr);
    complete = ::ReadDescriptionFile(path, description);
    description.Patch = PatchBesideDescription(description.Patch, path, [](const std::string& file) {
      const DWORD attributes = GetFileAttributesA(file.c_str());
      return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    });
  }
  Name = description.Name;
  DefaultPath = description.DefaultPath;
  Patch = description.Patch;
  Vendor = description.Vendor;
  if (!complete) MessageBoxExA(nullptr, InitFailedText(path).c_str(), "Init failed", MB_ICONHAND, 0);
  return complete;
}
