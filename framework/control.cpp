#include "framework/control.h"

TControl::TControl(TWindow* parent, int resourceId, HINSTANCE module) : TWindow(parent, nullptr, module) {
  Attr.Id = resourceId;
  IsAlias = true;
}

TControl::TControl(TWindow* parent, int id, const char* title, int x, int y, int w, int h, HINSTANCE module)
    : TWindow(parent, title, module) {
  Attr.Id = id;
  Attr.Style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
  Attr.X = x;
  Attr.Y = y;
  Attr.W = w;
  Attr.H = h;
}

void TControl::DrawItem(DRAWITEMSTRUCT& item) {
  if (item.itemAction & ODA_DRAWENTIRE) {
    ODADrawEntire(item);
    return;
  }
  if (item.itemAction & ODA_FOCUS) ODAFocus(item);
  if (item.itemAction & ODA_SELECT) ODASelect(item);
}

void TControl::ODADrawEntire(DRAWITEMSTRUCT&) {}

void TControl::ODAFocus(DRAWITEMSTRUCT&) {}

void TControl::ODASelect(DRAWITEMSTRUCT&) {}
