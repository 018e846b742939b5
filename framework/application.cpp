#include "framework/application.h"

#include "framework/window.h"

TApplication* TApplication::Instance_ = nullptr;

namespace {

// The show command the program was started with (what WinMain would receive).
int StartupCmdShow() {
  STARTUPINFOA info = {};
  info.cb = sizeof info;
  GetStartupInfoA(&info);
  return (info.dwFlags & STARTF_USESHOWWINDOW) ? info.wShowWindow : SW_SHOWDEFAULT;
}

// Parent of a child window; null for a top-level window (whose "parent" is its owner).
HWND ParentOf(HWND window) {
  return (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) ? GetParent(window) : nullptr;
}

}  // namespace

TApplication::TApplication(const char* name, HINSTANCE instance)
    : Name(name ? name : ""), Instance(instance ? instance : GetModuleHandleA(nullptr)), CmdShow(StartupCmdShow()) {
  Instance_ = this;
}

TApplication::~TApplication() {
  // Destroy the windows while every object is still whole, then the objects.
  if (MainWindow && MainWindow->GetHandle()) DestroyWindow(MainWindow->GetHandle());
  MainWindow.reset();
  if (Instance_ == this) Instance_ = nullptr;
}

void TApplication::SetMainWindow(TWindow* window) { MainWindow.reset(window); }

int TApplication::Run() {
  CmdShow = NormalizeCmdShow(CmdShow);
  InitMainWindow();
  if (MainWindow) {
    if (!MainWindow->Create()) return -1;
    MainWindow->Show(CmdShow);
    UpdateWindow(MainWindow->GetHandle());
  }
  return MessageLoop();
}

int TApplication::MessageLoop() {
  MSG msg;
  for (;;) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return -1;
    ProcessMessage(msg);
  }
}

void TApplication::ProcessMessage(MSG& msg) {
  for (HWND window = msg.hwnd; window; window = ParentOf(window)) {
    TWindow* object = TWindow::FromHandle(window);
    if (object && object->PreProcessMsg(msg)) return;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

bool TApplication::PumpWaitingMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    ProcessMessage(msg);
  }
  return true;
}
