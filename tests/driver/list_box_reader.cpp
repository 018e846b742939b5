#include "list_box_reader.h"

#include <map>

#include "e2e_windows.h"

namespace e2e {

std::vector<std::wstring> ListBoxRows(HWND list) {
  std::vector<std::wstring> rows;
  LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
    if (length < 0) length = 0;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT got = SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    rows.push_back(text);
  }
  return rows;
}

int ListBoxTopIndex(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0)); }

int ListBoxVisibleRows(HWND list) {
  RECT client;
  GetClientRect(list, &client);
  LRESULT height = SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
  return height > 0 ? static_cast<int>(client.bottom / height) : 0;
}

Rgb ListBoxRowPixel(HWND list, int index, int x) {
  int top = ListBoxTopIndex(list);
  int height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  if (index < top || index >= top + ListBoxVisibleRows(list) || height <= 0) return 0xFFFFFFFFu;
  RECT client = ClientRectOnScreen(list);
  return ScreenPixel(client.left + x, client.top + (index - top) * height + height / 2);
}

Rgb ListBoxRowBackground(HWND list, int index, int fromX) {
  int top = ListBoxTopIndex(list);
  int height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  if (index < top || index >= top + ListBoxVisibleRows(list) || height <= 0) return 0xFFFFFFFFu;
  RECT client = ClientRectOnScreen(list);
  int y = client.top + (index - top) * height + height / 2;
  RECT line = {client.left + fromX, y, client.right, y + 1};
  Image pixels = CaptureScreen(line);
  std::map<Rgb, int> counts;
  for (Rgb colour : pixels.pixels) ++counts[colour];
  Rgb best = 0xFFFFFFFFu;
  int bestCount = 0;
  for (const auto& entry : counts) {
    if (entry.second > bestCount) {
      best = entry.first;
      bestCount = entry.second;
    }
  }
  return best;
}

}  // namespace e2e
