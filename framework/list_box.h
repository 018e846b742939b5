#pragma once
// TListBox: a list box (class "LISTBOX"); each access is one LB_* message.

#include "framework/control.h"

class TListBox : public TControl {
 public:
  TListBox(TWindow* parent, int resourceId, HINSTANCE module = nullptr) : TControl(parent, resourceId, module) {}
  TListBox(TWindow* parent, int id, int x, int y, int w, int h, HINSTANCE module = nullptr);

  int GetCount() const;                                // LB_GETCOUNT; LB_ERR on failure
  int SetTopIndex(int index);                          // LB_SETTOPINDEX
  int GetStringLen(int index) const;                   // LB_GETTEXTLEN
  int GetString(char* buffer, int index) const;        // LB_GETTEXT; buffer holds GetStringLen + 1
  LPARAM GetItemData(int index) const;                 // LB_GETITEMDATA
  int SetItemData(int index, LPARAM data);             // LB_SETITEMDATA
  int GetItemHeight(int index) const;                  // LB_GETITEMHEIGHT
  void ClearList();                                    // LB_RESETCONTENT
  int AddString(const char* text);                     // LB_ADDSTRING; index or LB_ERR/LB_ERRSPACE
  int DeleteString(int index);                         // LB_DELETESTRING
  int GetItemRect(int index, RECT& rect) const;        // LB_GETITEMRECT

 protected:
  const char* GetClassName() const override { return "LISTBOX"; }
  bool RegisterClass() override { return true; }
};
