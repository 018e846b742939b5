#include "framework/window.h"

#include <algorithm>
#include <exception>
#include <string>

#include "framework/application.h"
#include "framework/response_table.h"

namespace {

// The property that binds a handle to its object.
const char ObjectProperty[] = "mendit.TWindow";

}  // namespace

TWindow::TWindow(TWindow* parent, const char* title, HINSTANCE module)
    : Title(title ? title : ""), Module(module ? module : GetModuleHandleA(nullptr)), Parent(nullptr) {
  SetParentObject(parent);
}

TWindow::~TWindow() {
  HWND handle = Handle;
  if (handle) {
    // Messages sent while the handle goes away must not reach a half-destroyed object.
    Detach();
    if (OwnsHandle) DestroyWindow(handle);
  }
  for (TWindow* child : Children) child->Parent = nullptr;
  if (Parent) {
    auto& siblings = Parent->Children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

void TWindow::SetParentObject(TWindow* parent) {
  if (Parent) {
    auto& siblings = Parent->Children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  Parent = parent;
  if (Parent) Parent->Children.push_back(this);
}

TApplication* TWindow::GetApplication() const { return TApplication::Current(); }

bool TWindow::RegisterClass() {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExA(Module, GetClassName(), &wc)) return true;
  wc.lpfnWndProc = &TWindow::WindowProc;
  wc.hInstance = Module;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = GetClassName();
  return RegisterClassExA(&wc) != 0;
}

bool TWindow::Create() {
  if (Handle) return true;
  if (IsAlias) {
    HWND control = Parent ? ::GetDlgItem(Parent->Handle, Attr.Id) : nullptr;
    if (!control) return false;
    Subclass(control);
    SetupWindow();
    return true;
  }
  if (!RegisterClass()) return false;
  HWND parentHandle = Parent ? Parent->Handle : nullptr;
  HMENU menuOrId = (Attr.Style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(Attr.Id)) : nullptr;
  OwnsHandle = true;
  HWND handle = CreateWindowExA(Attr.ExStyle, GetClassName(), Title.c_str(), Attr.Style, Attr.X, Attr.Y,
                                Attr.W, Attr.H, parentHandle, menuOrId, Module, this);
  if (!handle) {
    OwnsHandle = false;
    return false;
  }
  // Classes of the system (controls created by code) never see our WM_NCCREATE.
  if (!Handle) {
    Subclass(handle);
    SetupWindow();
  }
  return true;
}

void TWindow::SetupWindow() { CreateChildren(); }

void TWindow::CreateChildren() {
  // Copy: creating a child may register further windows.
  std::vector<TWindow*> children = Children;
  for (TWindow* child : children) {
    if (child->AutoCreate && !child->Handle) child->Create();
  }
}

bool TWindow::PreProcessMsg(MSG&) { return false; }

void TWindow::CloseWindow(int returnValue) {
  if (CanClose()) Destroy(returnValue);
}

void TWindow::Destroy(int) {
  if (Handle) DestroyWindow(Handle);
}

void TWindow::DrawItem(DRAWITEMSTRUCT&) {}

void TWindow::ChildDestroyed(TWindow*) {}

void TWindow::ChildResized(TWindow*) {}

bool TWindow::EnableWindow(bool enable) { return ::EnableWindow(Handle, enable) != 0; }

bool TWindow::IsWindowEnabled() const { return ::IsWindowEnabled(Handle) != 0; }

void TWindow::Show(int showCommand) { ShowWindow(Handle, showCommand); }

void TWindow::SetText(const char* text) { SetWindowTextA(Handle, text); }

int TWindow::GetText(char* buffer, int size) const { return GetWindowTextA(Handle, buffer, size); }

LRESULT TWindow::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageA(Handle, message, wParam, lParam);
}

bool TWindow::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::PostMessageA(Handle, message, wParam, lParam) != 0;
}

int TWindow::MessageBox(const char* text, const char* caption, UINT type) const {
  return ::MessageBoxA(Handle, text, caption, type);
}

HWND TWindow::GetDlgItem(int id) const { return ::GetDlgItem(Handle, id); }

RECT TWindow::GetClientRect() const {
  RECT r = {0, 0, 0, 0};
  ::GetClientRect(Handle, &r);
  return r;
}

RECT TWindow::GetWindowRect() const {
  RECT r = {0, 0, 0, 0};
  ::GetWindowRect(Handle, &r);
  return r;
}

TWindow* TWindow::FromHandle(HWND handle) {
  return handle ? reinterpret_cast<TWindow*>(GetPropA(handle, ObjectProperty)) : nullptr;
}

bool TWindow::Respond(const TMessage& msg, LRESULT& result) {
  using R = TResponse<TWindow>;
  static const R table[] = {
      R::Message(WM_DRAWITEM, &TWindow::EvDrawItem),
  };
  return R::Find(this, table, msg, result);
}

LRESULT TWindow::DefaultProcessing() {
  if (PrevWndProc) return CallWindowProcA(PrevWndProc, Handle, Current.Message, Current.WParam, Current.LParam);
  return DefWindowProcA(Handle, Current.Message, Current.WParam, Current.LParam);
}

LRESULT TWindow::EvDrawItem(WPARAM, LPARAM lParam) {
  auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
  TWindow* child = item->CtlType == ODT_MENU ? nullptr : FromHandle(item->hwndItem);
  if (!child) return DefaultProcessing();
  child->DrawItem(*item);
  return TRUE;
}

void TWindow::Attach(HWND handle) {
  Handle = handle;
  SetPropA(handle, ObjectProperty, reinterpret_cast<HANDLE>(this));
}

void TWindow::Subclass(HWND handle) {
  Attach(handle);
  PrevWndProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWindow::WindowProc)));
}

void TWindow::Detach() {
  if (!Handle) return;
  if (PrevWndProc) {
    SetWindowLongPtrA(Handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PrevWndProc));
  }
  RemovePropA(Handle, ObjectProperty);
  Handle = nullptr;
}

LRESULT TWindow::ReceiveMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& passedOn) {
  TMessage saved = Current;
  bool savedPassOn = PassOn;
  Current = {message, wParam, lParam};
  PassOn = false;
  LRESULT result = 0;
  try {
    if (!Respond(Current, result)) result = DefaultProcessing();
  } catch (...) {
    // The message that was being answered before this one is current again.
    Current = saved;
    PassOn = savedPassOn;
    throw;
  }
  passedOn = PassOn;
  Current = saved;
  PassOn = savedPassOn;
  // Framework bookkeeping that no response table may skip.
  switch (message) {
    case WM_CREATE:
      if (result != -1) SetupWindow();
      break;
    case WM_DESTROY:
      if (Parent) Parent->ChildDestroyed(this);
      break;
    case WM_SIZE:
      if (Parent) Parent->ChildResized(this);
      break;
    case WM_NCDESTROY:
      Detach();
      break;
  }
  return result;
}

TWindow::TFailureReporter TWindow::FailureReporter = &TWindow::ShowFailure;

void TWindow::ShowFailure(HWND handle, const char* what) {
  // One box at a time: a failure while the box is up (its own painting, say) is not shown again.
  static bool showing = false;
  if (showing) return;
  showing = true;
  const std::string text = std::string("The action could not be completed: ") + what;
  ::MessageBoxA(IsWindow(handle) ? GetAncestor(handle, GA_ROOT) : nullptr, text.c_str(), "Error", MB_OK | MB_ICONHAND);
  showing = false;
}

namespace {

// The exception barrier: call answers the message; an exception it throws goes to the
// failure reporter, and the message is answered with failed.
template <typename TResult, typename TCall>
TResult Barrier(HWND handle, UINT message, TResult failed, TCall call) {
  std::string what;
  try {
    return call();
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
    what = "unknown exception";
  }
  // A paint that failed counts as done, or the system would ask for it again at once.
  if (message == WM_PAINT) ValidateRect(handle, nullptr);
  if (TWindow::FailureReporter) TWindow::FailureReporter(handle, what.c_str());
  return failed;
}

}  // namespace

LRESULT CALLBACK TWindow::WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  // A window whose creation failed is not made.
  const LRESULT failed = message == WM_NCCREATE ? FALSE : message == WM_CREATE ? -1 : 0;
  return Barrier(handle, message, failed, [&] { return WindowProcedure(handle, message, wParam, lParam); });
}

INT_PTR CALLBACK TWindow::DialogProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  return Barrier(handle, message, static_cast<INT_PTR>(FALSE),
                 [&] { return DialogProcedure(handle, message, wParam, lParam); });
}

LRESULT TWindow::WindowProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    if (auto* self = static_cast<TWindow*>(create->lpCreateParams)) self->Attach(handle);
  }
  TWindow* self = FromHandle(handle);
  if (!self) return DefWindowProcA(handle, message, wParam, lParam);
  bool passedOn = false;
  return self->ReceiveMessage(message, wParam, lParam, passedOn);
}

INT_PTR TWindow::DialogProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) reinterpret_cast<TWindow*>(lParam)->Attach(handle);
  TWindow* self = FromHandle(handle);
  if (!self) return FALSE;
  bool passedOn = false;
  LRESULT result = self->ReceiveMessage(message, wParam, lParam, passedOn);
  if (message == WM_INITDIALOG) {
    HWND focus = GetFocus();
    self->SetupWindow();
    // TRUE lets the dialog manager focus the first tab stop, unless SetupWindow chose a
    // control itself.
    HWND chosen = GetFocus();
    return chosen != focus && IsChild(handle, chosen) ? FALSE : TRUE;
  }
  if (passedOn) return FALSE;
  switch (message) {
    // These answer through the dialog procedure's own return value.
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_QUERYDRAGICON:
    case WM_VKEYTOITEM:
      return static_cast<INT_PTR>(result);
  }
  SetWindowLongPtrA(handle, DWLP_MSGRESULT, result);
  return TRUE;
}
