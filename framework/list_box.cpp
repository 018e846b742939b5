#include "framework/list_box.h"

TListBox::TListBox(TWindow* parent, int id, int x, int y, int w, int h, HINSTANCE module)
    : TControl(parent, id, nullptr, x, y, w, h, module) {
  Attr.Style |= WS_BORDER | WS_VSCROLL | LBS_NOTIFY;
}

int TListBox::GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }

int TListBox::SetTopIndex(int index) { return static_cast<int>(SendMessage(LB_SETTOPINDEX, index)); }

int TListBox::GetStringLen(int index) const { return static_cast<int>(SendMessage(LB_GETTEXTLEN, index)); }

int TListBox::GetString(char* buffer, int index) const {
  return static_cast<int>(SendMessage(LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer)));
}

LPARAM TListBox::GetItemData(int index) const { return SendMessage(LB_GETITEMDATA, index); }

int TListBox::SetItemData(int index, LPARAM data) {
  return static_cast<int>(SendMessage(LB_SETITEMDATA, index, data));
}

int TListBox::GetItemHeight(int index) const { return static_cast<int>(SendMessage(LB_GETITEMHEIGHT, index)); }

void TListBox::ClearList() { SendMessage(LB_RESETCONTENT); }

int TListBox::AddString(const char* text) {
  return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}

int TListBox::DeleteString(int index) { return static_cast<int>(SendMessage(LB_DELETESTRING, index)); }

int TListBox::GetItemRect(int index, RECT& rect) const {
  return static_cast<int>(SendMessage(LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect)));
}
