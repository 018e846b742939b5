#include "setup_app.h"

#include "frame_placement.h"
#include "framework/module_folder.h"
#include "framework/show_command.h"
#include "resource_ids.h"
#include "sdi_dec_frame.h"

namespace {

const char AppName[] = "Tarvel DEMO PACK";

// The system truncates a longer module path to this many characters; the directory is
// then taken from what is left.
const DWORD ModuleNameSize = 130;

}  // namespace

TSetupApp::TSetupApp() : TApplication(AppName) {
  ModuleDir = ProgramFolder(ModuleNameSize);
}

int TSetupApp::NormalizeCmdShow(int cmdShow) { return NormalizedShowCommand(cmdShow); }

void TSetupApp::InitMainWindow() {
  auto* frame = new TSDIDecFrame(nullptr, GetName().c_str());
  frame->SetShrinkToClient(true);
  // A fixed window: no caption, no system menu, no sizing border, no minimise or
  // maximise box.
  TWindow::TAttr& attr = frame->GetAttr();
  attr.Style |= WS_VISIBLE | WS_CLIPCHILDREN;
  attr.Style &= ~(WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  frame->SetIcon(IDI_SHOWDISK, IDI_SHOWDISK);
  SetMainWindow(frame);
}
