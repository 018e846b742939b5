#include "sdi_dec_frame.h"

#include "frame_placement.h"
#include "setup_dlg_client.h"

TSDIDecFrame::TSDIDecFrame(TWindow* parent, const char* title, TWindow* client, bool shrinkToClient,
                           HINSTANCE module)
    : TDecoratedFrame(parent, title, client ? client : new TSetupDlgClient(nullptr, IDD_CLIENT, module),
                      shrinkToClient, module) {}

void TSDIDecFrame::SetupWindow() {
  DropForcedCaption();
  TDecoratedFrame::SetupWindow();
  CentreOnScreen();
}

void TSDIDecFrame::DropForcedCaption() {
  // The system gives every top-level window that is not a popup a caption when it is
  // created, whatever its style asked for. Take it away again before the frame fits
  // itself around the dialog, so the window is exactly the picture.
  LONG style = GetWindowLongA(Handle, GWL_STYLE);
  if ((style & WS_CAPTION) && !(Attr.Style & WS_CAPTION)) {
    SetWindowLongA(Handle, GWL_STYLE, style & ~WS_CAPTION);
    SetWindowPos(Handle, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
}

void TSDIDecFrame::CentreOnScreen() {
  RECT frame = GetWindowRect();
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  POINT origin = CentredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), width, height);
  SetWindowPos(Handle, nullptr, origin.x, origin.y, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}
