#include "framework/dialog.h"

#include <cstring>
#include <vector>

#include "framework/response_table.h"

namespace {

// A copy of a dialog template with the style of a child window: the frame's client must not
// have a caption, a frame or popup behaviour of its own. Works for both template layouts
// (DLGTEMPLATE and DLGTEMPLATEEX, told apart by the 0xFFFF signature).
std::vector<DWORD> ChildTemplate(HINSTANCE module, int resourceId) {
  std::vector<DWORD> copy;
  HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
  if (!info) return copy;
  HGLOBAL loaded = LoadResource(module, info);
  DWORD size = SizeofResource(module, info);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size < sizeof(DLGTEMPLATE)) return copy;
  copy.resize((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  std::memcpy(copy.data(), data, size);

  auto* bytes = reinterpret_cast<unsigned char*>(copy.data());
  WORD signature;
  std::memcpy(&signature, bytes + 2, sizeof signature);
  // DLGTEMPLATEEX: version, signature, help id, extended style, style; DLGTEMPLATE: style, extended style.
  size_t styleAt = signature == 0xFFFF ? 12 : 0;
  size_t exStyleAt = signature == 0xFFFF ? 8 : 4;
  DWORD style, exStyle;
  std::memcpy(&style, bytes + styleAt, sizeof style);
  std::memcpy(&exStyle, bytes + exStyleAt, sizeof exStyle);
  style &= ~(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_VISIBLE |
             DS_MODALFRAME | DS_CENTER | DS_SYSMODAL);
  style |= WS_CHILD | WS_CLIPSIBLINGS;
  exStyle &= ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_APPWINDOW);
  exStyle |= WS_EX_CONTROLPARENT;
  std::memcpy(bytes + styleAt, &style, sizeof style);
  std::memcpy(bytes + exStyleAt, &exStyle, sizeof exStyle);
  return copy;
}

}  // namespace

TDialog::TDialog(TWindow* parent, int resourceId, HINSTANCE module)
    : TWindow(parent, nullptr, module), ResourceId(resourceId) {
  AutoCreate = false;
}

bool TDialog::Create() {
  if (Handle) return true;
  Modal = false;
  HWND parentHandle = Parent ? Parent->GetHandle() : nullptr;
  OwnsHandle = true;
  HWND handle;
  if (parentHandle) {
    std::vector<DWORD> child = ChildTemplate(Module, ResourceId);
    if (child.empty()) return false;
    handle = CreateDialogIndirectParamA(Module, reinterpret_cast<LPCDLGTEMPLATEA>(child.data()), parentHandle,
                                        &TWindow::DialogProc, reinterpret_cast<LPARAM>(this));
  } else {
    handle = CreateDialogParamA(Module, MAKEINTRESOURCEA(ResourceId), nullptr, &TWindow::DialogProc,
                                reinterpret_cast<LPARAM>(this));
  }
  if (!handle) OwnsHandle = false;
  return handle != nullptr;
}

INT_PTR TDialog::Execute() {
  Modal = true;
  HWND parentHandle = Parent ? Parent->GetHandle() : nullptr;
  INT_PTR result = DialogBoxParamA(Module, MAKEINTRESOURCEA(ResourceId), parentHandle, &TWindow::DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  Modal = false;
  return result;
}

void TDialog::Destroy(int returnValue) {
  if (!Handle) return;
  if (Modal)
    EndDialog(Handle, returnValue);
  else
    DestroyWindow(Handle);
}

bool TDialog::PreProcessMsg(MSG& msg) { return Handle && IsDialogMessageA(Handle, &msg); }

void TDialog::CmOk() { CloseWindow(IDOK); }

void TDialog::CmCancel() { CloseWindow(IDCANCEL); }

bool TDialog::Respond(const TMessage& msg, LRESULT& result) {
  using R = TResponse<TDialog>;
  static const R table[] = {
      R::Command(IDOK, &TDialog::CmOk),
      R::Command(IDCANCEL, &TDialog::CmCancel),
  };
  return R::Find(this, table, msg, result) || TWindow::Respond(msg, result);
}

LRESULT TDialog::DefaultProcessing() {
  PassOn = true;
  return 0;
}
