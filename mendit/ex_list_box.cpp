#include "ex_list_box.h"

#include <commdlg.h>

#include <cstring>
#include <new>
#include <vector>

#include "framework/dc.h"
#include "framework/response_table.h"
#include "report/formatting_reporter.h"

namespace {

// Bytes of the buffer a row is fetched into when the log is written.
const int WriteBufferSize = 10000;

}  // namespace

TExListBox::TExListBox(TWindow* parent, int resourceId, HINSTANCE module) : TListBox(parent, resourceId, module) {
  Attr.Style |= LBS_OWNERDRAWFIXED;
}

TExListBox::TExListBox(TWindow* parent, int id, int x, int y, int w, int h, HINSTANCE module)
    : TListBox(parent, id, x, y, w, h, module) {
  Attr.Style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
}

TExListBox::~TExListBox() = default;

void TExListBox::SetTabStops(int count, const int* tabStops) {
  TabStops.reset();
  TabCount = 0;
  if (count <= 0 || !tabStops) return;
  TabStops.reset(new int[count]);
  std::memcpy(TabStops.get(), tabStops, sizeof(int) * count);
  TabCount = count;
}

int TExListBox::AddItem(const char* text, TExListBoxPar* kind) {
  SendMessage(WM_SETREDRAW, FALSE);
  int index = AddString(text);
  if (index >= 0) SetItemData(index, reinterpret_cast<LPARAM>(kind));
  SendMessage(WM_SETREDRAW, TRUE);
  // Turning redrawing back on does not repaint: show the new row.
  RECT row;
  if (index >= 0 && GetItemRect(index, row) != LB_ERR) InvalidateRect(Handle, &row, TRUE);
  return index;
}

void TExListBox::WriteItems(FILE* stream) {
  if (GetCount() < 0) {
    MessageBox("This list is too big...", "Error", MB_ICONHAND);
    return;
  }
  try {
    for (int i = 0; i < GetCount(); ++i) std::fprintf(stream, "%s\n", RowLine(i).c_str());
  } catch (const std::bad_alloc&) {
    // Nothing more is written.
  }
}

std::string TExListBox::RowLine(int index) const {
  int length = GetStringLen(index);
  // Rows of other callers may be longer than the usual buffer.
  std::vector<char> buffer(length < WriteBufferSize ? WriteBufferSize : length + 1, '\0');
  if (length >= 0) GetString(buffer.data(), index);
  TExListBoxPar* kind = KindOf(GetItemData(index));
  return FormatLogRow(kind ? kind->Label : nullptr, buffer.data());
}

bool TExListBox::CopyRows() {
  int count = GetCount();
  int selected = static_cast<int>(SendMessage(LB_GETCURSEL));
  int first = 0, last = count - 1;
  if (!AllRowsSelected && selected >= 0 && selected < count) first = last = selected;
  std::string text;
  try {
    for (int i = first; i <= last; ++i) text += RowLine(i) + "\r\n";
  } catch (const std::bad_alloc&) {
    return false;  // no exception may cross the window procedure
  }

  if (!OpenClipboard(Handle)) return false;
  EmptyClipboard();
  bool copied = false;
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
    if (void* bytes = GlobalLock(memory)) {
      std::memcpy(bytes, text.c_str(), text.size() + 1);
      GlobalUnlock(memory);
      copied = SetClipboardData(CF_TEXT, memory) != nullptr;
    }
    if (!copied) GlobalFree(memory);
  }
  CloseClipboard();
  return copied;
}

void TExListBox::SelectAll() {
  SendMessage(LB_SETCURSEL, static_cast<WPARAM>(-1));
  AllRowsSelected = true;
  InvalidateRect(Handle, nullptr, FALSE);
}

void TExListBox::ClearAllSelected() {
  if (!AllRowsSelected) return;
  AllRowsSelected = false;
  // Repaint now, before the list box draws the change of its one selected row.
  InvalidateRect(Handle, nullptr, FALSE);
  UpdateWindow(Handle);
}

void TExListBox::SaveAs() {
  char filter[] = "Log files (*.log)|*.log|Text files (*.txt)|*.txt|";
  for (char& c : filter)
    if (c == '|') c = '\0';
  char fileName[MAX_PATH];
  std::snprintf(fileName, sizeof fileName, "%s", SaveName.c_str());
  OPENFILENAMEA request = {};
  request.lStructSize = sizeof request;
  request.hwndOwner = GetAncestor(Handle, GA_ROOT);
  request.lpstrFilter = filter;
  request.nFilterIndex = 1;
  request.lpstrFile = fileName;
  request.nMaxFile = sizeof fileName;
  request.lpstrTitle = "Save log as";
  request.lpstrDefExt = "log";
  request.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
  if (GetSaveFileNameA(&request)) SaveToFile(fileName);
}

int TExListBox::SaveToFile(const char* fileName) {
  return WriteToFile(fileName, "wt", "Cannot open file for writing");
}

int TExListBox::AppendToFile(const char* fileName) {
  return WriteToFile(fileName, "at", "Cannot open file for appending");
}

int TExListBox::WriteToFile(const char* fileName, const char* mode, const char* failure) {
  for (;;) {
    if (FILE* stream = std::fopen(fileName, mode)) {
      WriteItems(stream);
      return std::fclose(stream);
    }
    int answer = MessageBox(failure, "File error", MB_RETRYCANCEL | MB_ICONHAND);
    if (answer != IDRETRY) return answer;
  }
}

bool TExListBox::Respond(const TMessage& msg, LRESULT& result) {
  using R = TResponse<TExListBox>;
  static const R table[] = {
      R::Message(WM_ERASEBKGND, &TExListBox::EvEraseBkgnd),
      R::Message(WM_CONTEXTMENU, &TExListBox::EvContextMenu),
      R::Message(WM_KEYDOWN, &TExListBox::EvKeyDown),
      R::Message(WM_CHAR, &TExListBox::EvChar),
      R::Message(WM_LBUTTONDOWN, &TExListBox::EvSelectOne),
      R::Message(WM_LBUTTONDBLCLK, &TExListBox::EvSelectOne),
      R::Message(LB_SETCURSEL, &TExListBox::EvSelectOne),
      R::Message(LB_RESETCONTENT, &TExListBox::EvSelectOne),
  };
  return R::Find(this, table, msg, result) || TListBox::Respond(msg, result);
}

LRESULT TExListBox::EvContextMenu(WPARAM, LPARAM lParam) {
  POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  if (lParam == -1) {
    at = KeyboardMenuPoint();
  } else if (!AllRowsSelected) {
    // The right button selects the row under it first, as a left click would.
    POINT client = at;
    ScreenToClient(Handle, &client);
    LRESULT hit = SendMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
    if (HIWORD(hit) == 0 && LOWORD(hit) < GetCount()) SendMessage(LB_SETCURSEL, LOWORD(hit));
  }
  HMENU menu = CreatePopupMenu();
  if (!menu) return 0;
  UINT hasRows = GetCount() > 0 ? MF_ENABLED : MF_GRAYED;
  AppendMenuA(menu, MF_STRING | hasRows, CmCopyId, "&Copy\tCtrl+C");
  AppendMenuA(menu, MF_STRING | hasRows, CmSelectAllId, "Select &all\tCtrl+A");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  // "..." as the one ellipsis character of the ANSI code pages.
  AppendMenuA(menu, MF_STRING, CmSaveAsId, "&Save log as\x85");
  int command = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, 0,
                               Handle, nullptr);
  DestroyMenu(menu);
  switch (command) {
    case CmCopyId:
      CopyRows();
      break;
    case CmSelectAllId:
      SelectAll();
      break;
    case CmSaveAsId:
      SaveAs();
      break;
  }
  return 0;
}

POINT TExListBox::KeyboardMenuPoint() const {
  POINT at = {0, 0};
  RECT row;
  int selected = static_cast<int>(SendMessage(LB_GETCURSEL));
  if (!AllRowsSelected && selected >= 0 && GetItemRect(selected, row) != LB_ERR) {
    RECT area = GetClientRect();
    if (row.bottom > area.top && row.top < area.bottom) at = {row.left + 16, row.bottom};
  }
  ClientToScreen(Handle, &at);
  return at;
}

LRESULT TExListBox::EvKeyDown(WPARAM wParam, LPARAM) {
  if (GetKeyState(VK_CONTROL) < 0 && (wParam == 'C' || wParam == VK_INSERT)) {
    CopyRows();
    return 0;
  }
  if (GetKeyState(VK_CONTROL) < 0 && wParam == 'A') {
    SelectAll();
    return 0;
  }
  switch (wParam) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END:
    case VK_SPACE:
      ClearAllSelected();
      break;
  }
  return DefaultProcessing();
}

LRESULT TExListBox::EvChar(WPARAM wParam, LPARAM) {
  // The characters of Ctrl+A and Ctrl+C must not start the list box's search by first letter.
  if (wParam == 1 || wParam == 3) return 0;
  return DefaultProcessing();
}

LRESULT TExListBox::EvSelectOne(WPARAM, LPARAM) {
  ClearAllSelected();
  return DefaultProcessing();
}

// Rows paint their whole width, so only the part of the list below the last row is erased;
// erasing under the rows too would make the log flicker as it grows.
LRESULT TExListBox::EvEraseBkgnd(WPARAM wParam, LPARAM) {
  HDC dc = reinterpret_cast<HDC>(wParam);
  RECT area = GetClientRect();
  int count = GetCount();
  int limit = area.top;
  if (count > 0) {
    RECT last;
    if (GetItemRect(count - 1, last) != LB_ERR) limit = last.bottom;
  }
  if (limit < area.bottom) {
    if (limit > area.top) area.top = limit;
    HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
    FillRect(dc, &area, brush);
    DeleteObject(brush);
  }
  return TRUE;
}

void TExListBox::ODADrawEntire(DRAWITEMSTRUCT& item) {
  TExListBoxPar* kind = KindOf(item.itemData);
  if (!kind) return;
  RECT r = item.rcItem;
  int length = GetStringLen(item.itemID);
  if (length < 0) return;
  std::vector<char> text(length + 10, '\0');
  GetString(text.data(), item.itemID);
  length = static_cast<int>(std::strlen(text.data()));

  TDC dc(item.hDC);
  if (!kind->NoBitmap && kind->BitmapInfo()) {
    int w = kind->BitmapWidth();
    int h = kind->BitmapHeight();
    StretchDIBits(dc, r.left, r.top, w, h, 0, 0, w, h, kind->BitmapBits(), kind->BitmapInfo(), DIB_RGB_COLORS,
                  SRCCOPY);
    r.left = w;
  }
  SetBkColor(dc, kind->BkColor);
  SetTextColor(dc, kind->TextColor);
  if (!TabStops) {
    ExtTextOutA(dc, r.left, r.top, ETO_OPAQUE | ETO_CLIPPED, &r, text.data(), length, nullptr);
  } else {
    HBRUSH brush = CreateSolidBrush(kind->BkColor);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    TabbedTextOutA(dc, r.left, r.top, text.data(), length, TabCount, TabStops.get(), 0);
  }
  if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &r);
  if ((item.itemState & ODS_SELECTED) || AllRowsSelected) InvertRect(dc, &r);
}

void TExListBox::ODAFocus(DRAWITEMSTRUCT& item) {
  TExListBoxPar* kind = KindOf(item.itemData);
  if (!kind) return;
  RECT r = TextArea(item, *kind);
  DrawFocusRect(item.hDC, &r);
}

void TExListBox::ODASelect(DRAWITEMSTRUCT& item) {
  TExListBoxPar* kind = KindOf(item.itemData);
  if (!kind || AllRowsSelected) return;
  RECT r = TextArea(item, *kind);
  InvertRect(item.hDC, &r);
}

TExListBoxPar* TExListBox::KindOf(ULONG_PTR itemData) {
  if (itemData == 0 || itemData == static_cast<ULONG_PTR>(LB_ERR)) return nullptr;
  return reinterpret_cast<TExListBoxPar*>(itemData);
}

RECT TExListBox::TextArea(const DRAWITEMSTRUCT& item, const TExListBoxPar& kind) {
  RECT r = item.rcItem;
  if (!kind.NoBitmap && kind.BitmapInfo()) r.left = kind.BitmapWidth();
  return r;
}
