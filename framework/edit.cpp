#include "framework/edit.h"

TEdit::TEdit(TWindow* parent, int resourceId, int textLimit, HINSTANCE module)
    : TControl(parent, resourceId, module), TextLimit(textLimit) {}

void TEdit::SetupWindow() {
  TControl::SetupWindow();
  if (TextLimit > 0) LimitText(TextLimit - 1);
}

void TEdit::LimitText(int maxChars) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(maxChars)); }
