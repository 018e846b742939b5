#include "framework/frame_window.h"

#include "framework/application.h"
#include "framework/response_table.h"

TFrameWindow::TFrameWindow(TWindow* parent, const char* title, TWindow* client, bool shrinkToClient,
                           HINSTANCE module)
    : TWindow(parent, title, module), Client(client), ShrinkToClient(shrinkToClient) {
  Attr.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  if (Client) Client->SetParentObject(this);
}

TFrameWindow::~TFrameWindow() {
  // The client's handle goes with ours; destroy ours first while both objects still live.
  if (Handle && OwnsHandle) DestroyWindow(Handle);
  Client.reset();
  if (LargeIcon) DestroyIcon(LargeIcon);
  if (SmallIcon) DestroyIcon(SmallIcon);
}

void TFrameWindow::SetIcon(int largeIconId, int smallIconId, HINSTANCE module) {
  LargeIconId = largeIconId;
  SmallIconId = smallIconId;
  IconModule = module ? module : Module;
}

void TFrameWindow::SetupWindow() {
  TWindow::SetupWindow();
  if (LargeIconId) {
    LargeIcon = static_cast<HICON>(LoadImageA(IconModule, MAKEINTRESOURCEA(LargeIconId), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LargeIcon));
  }
  if (SmallIconId) {
    SmallIcon = static_cast<HICON>(LoadImageA(IconModule, MAKEINTRESOURCEA(SmallIconId), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(SmallIcon));
  }
  if (Client && Client->Create()) {
    SetWindowPos(Client->GetHandle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (ShrinkToClient)
      FitAroundClient();
    else {
      RECT area = GetClientRect();
      MoveWindow(Client->GetHandle(), 0, 0, area.right, area.bottom, TRUE);
    }
    Client->Show(SW_SHOW);
  }
}

void TFrameWindow::FitAroundClient() {
  if (!Client || !Client->GetHandle()) return;
  RECT client = Client->GetWindowRect();
  int wantW = client.right - client.left;
  int wantH = client.bottom - client.top;
  RECT frame = {0, 0, wantW, wantH};
  AdjustWindowRectEx(&frame, GetWindowLongA(Handle, GWL_STYLE), GetMenu(Handle) != nullptr,
                     GetWindowLongA(Handle, GWL_EXSTYLE));
  int w = frame.right - frame.left;
  int h = frame.bottom - frame.top;
  SetWindowPos(Handle, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // A caption or menu that wraps makes the estimate wrong; correct by what we got.
  RECT got = GetClientRect();
  if (got.right != wantW || got.bottom != wantH) {
    SetWindowPos(Handle, nullptr, 0, 0, w + wantW - got.right, h + wantH - got.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

bool TFrameWindow::CanClose() { return !Client || !Client->GetHandle() || Client->CanClose(); }

void TFrameWindow::ChildDestroyed(TWindow* child) {
  if (child == Client.get() && Handle) PostMessage(WM_CLOSE);
}

void TFrameWindow::ChildResized(TWindow* child) {
  if (child == Client.get() && ShrinkToClient) FitAroundClient();
}

bool TFrameWindow::Respond(const TMessage& msg, LRESULT& result) {
  using R = TResponse<TFrameWindow>;
  static const R table[] = {
      R::Message(WM_CLOSE, &TFrameWindow::EvClose),
      R::Message(WM_DESTROY, &TFrameWindow::EvDestroy),
      R::Message(WM_SETFOCUS, &TFrameWindow::EvSetFocus),
      R::Message(WM_SIZE, &TFrameWindow::EvSize),
  };
  return R::Find(this, table, msg, result) || TWindow::Respond(msg, result);
}

LRESULT TFrameWindow::EvClose(WPARAM, LPARAM) {
  CloseWindow();
  return 0;
}

LRESULT TFrameWindow::EvDestroy(WPARAM, LPARAM) {
  TApplication* app = GetApplication();
  if (app && app->GetMainWindow() == this) PostQuitMessage(0);
  return DefaultProcessing();
}

LRESULT TFrameWindow::EvSetFocus(WPARAM, LPARAM) {
  // The dialog client passes the focus on to its first (or last focused) control.
  if (Client && Client->GetHandle()) SetFocus(Client->GetHandle());
  return 0;
}

LRESULT TFrameWindow::EvSize(WPARAM wParam, LPARAM lParam) {
  if (!ShrinkToClient && Client && Client->GetHandle() && wParam != SIZE_MINIMIZED) {
    MoveWindow(Client->GetHandle(), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
  }
  return DefaultProcessing();
}
