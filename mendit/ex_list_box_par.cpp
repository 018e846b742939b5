#include "ex_list_box_par.h"

#include <cstring>

TExListBoxPar::TExListBoxPar(HINSTANCE module, int bitmapId, COLORREF bkColor, COLORREF textColor,
                             const char* label, bool noBitmap)
    : BkColor(bkColor), TextColor(textColor), NoBitmap(noBitmap ? 1 : 0), Label(label) {
  HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(bitmapId), MAKEINTRESOURCEA(2) /* RT_BITMAP */);
  HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  DWORD size = info ? SizeofResource(module, info) : 0;
  if (!data || size < sizeof(BITMAPINFOHEADER)) return;
  Bitmap.resize((size + 3) / 4);
  std::memcpy(Bitmap.data(), data, size);
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(Bitmap.data());
  size_t colours = header->biClrUsed;
  if (colours == 0 && header->biBitCount <= 8) colours = size_t{1} << header->biBitCount;
  BitsOffset = header->biSize + colours * sizeof(RGBQUAD);
  if (header->biCompression == BI_BITFIELDS) BitsOffset += 3 * sizeof(DWORD);
  if (BitsOffset >= size) {
    Bitmap.clear();
    BitsOffset = 0;
  }
}

int TExListBoxPar::BitmapWidth() const { return Bitmap.empty() ? 0 : BitmapInfo()->bmiHeader.biWidth; }

int TExListBoxPar::BitmapHeight() const {
  if (Bitmap.empty()) return 0;
  LONG height = BitmapInfo()->bmiHeader.biHeight;
  return height < 0 ? -height : height;
}

const BITMAPINFO* TExListBoxPar::BitmapInfo() const {
  return Bitmap.empty() ? nullptr : reinterpret_cast<const BITMAPINFO*>(Bitmap.data());
}

const void* TExListBoxPar::BitmapBits() const {
  return Bitmap.empty() ? nullptr : reinterpret_cast<const unsigned char*>(Bitmap.data()) + BitsOffset;
}
