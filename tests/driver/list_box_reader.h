// Rows of a list box in another process: their texts and the colour they are painted with.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "e2e_image.h"

namespace e2e {

// Every row's text, read with the wide messages (LB_GETTEXT in ANSI comes back cut).
std::vector<std::wstring> ListBoxRows(HWND list);

// Index of the first visible row and the number of whole rows the list shows.
int ListBoxTopIndex(HWND list);
int ListBoxVisibleRows(HWND list);

// The screen colour of row index at x pixels from the list's client left edge, sampled
// halfway down the row; 0xFFFFFFFF when the row is not visible.
Rgb ListBoxRowPixel(HWND list, int index, int x);

// The colour most pixels of row index show between fromX and the client area's right edge,
// along the row's middle line: the row's background even where text covers parts of it.
// 0xFFFFFFFF when the row is not visible.
Rgb ListBoxRowBackground(HWND list, int index, int fromX);

}  // namespace e2e
