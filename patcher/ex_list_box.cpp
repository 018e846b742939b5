#include "ex_list_box.h"

#include <cstring>
#include <new>
#include <vector>

#include "framework/dc.h"
#include "framework/response_table.h"

namespace {

// Bytes of the buffer a row is fetched into when the log is written.
const int kWriteBufferSize = 10000;

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
  std::vector<char> buffer;
  try {
    buffer.resize(kWriteBufferSize);
  } catch (const std::bad_alloc&) {
    return;
  }
  for (int i = 0; i < GetCount(); ++i) {
    int length = GetStringLen(i);
    if (length < 0) continue;
    // Rows of other callers may be longer than the usual buffer.
    if (static_cast<size_t>(length) >= buffer.size()) buffer.resize(length + 1);
    buffer[0] = '\0';
    GetString(buffer.data(), i);
    TExListBoxPar* kind = KindOf(GetItemData(i));
    if (kind && kind->Label && kind->Label[0])
      std::fprintf(stream, "[%s]\t%s\n", kind->Label, buffer.data());
    else
      std::fprintf(stream, "\t%s\n", buffer.data());
  }
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
  };
  return R::Find(this, table, msg, result) || TListBox::Respond(msg, result);
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
  if (item.itemState & ODS_SELECTED) InvertRect(dc, &r);
}

void TExListBox::ODAFocus(DRAWITEMSTRUCT& item) {
  TExListBoxPar* kind = KindOf(item.itemData);
  if (!kind) return;
  RECT r = TextArea(item, *kind);
  DrawFocusRect(item.hDC, &r);
}

void TExListBox::ODASelect(DRAWITEMSTRUCT& item) {
  TExListBoxPar* kind = KindOf(item.itemData);
  if (!kind) return;
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
