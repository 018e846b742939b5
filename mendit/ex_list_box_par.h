#pragma once
// TExListBoxPar: the descriptor of one kind of log row (information, warning, error): the
// picture at the row's left end, the colours of its text area and the label used when the
// log is written to a file. Rows point to their descriptor; its creator keeps it alive as
// long as the list exists.

#include <windows.h>

#include <cstdint>
#include <vector>

class TExListBoxPar {
 public:
  // bitmapId: a bitmap resource of module (a packed device-independent bitmap), copied.
  TExListBoxPar(HINSTANCE module, int bitmapId, COLORREF bkColor, COLORREF textColor, const char* label,
                bool noBitmap = false);

  int BitmapWidth() const;
  int BitmapHeight() const;
  // Header with palette, and pixel bits, as StretchDIBits takes them; null without a bitmap.
  const BITMAPINFO* BitmapInfo() const;
  const void* BitmapBits() const;

  COLORREF BkColor;
  COLORREF TextColor;
  uint8_t NoBitmap;
  uint8_t Reserved = 0;  // a second flag that nothing reads
  const char* Label;

 private:
  std::vector<uint32_t> Bitmap;  // the resource's bytes, 4-byte aligned
  size_t BitsOffset = 0;
};
