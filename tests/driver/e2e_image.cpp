#include "e2e_image.h"

namespace e2e {

namespace {

// Copies a bitmap into an image through a 32-bit top-down DIB.
Image FromBitmap(HDC dc, HBITMAP bitmap, int width, int height) {
  Image image;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<Rgb> pixels(static_cast<size_t>(width) * height);
  if (GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS) != height) return image;
  for (Rgb& pixel : pixels) pixel &= 0x00FFFFFFu;
  image.width = width;
  image.height = height;
  image.pixels.swap(pixels);
  return image;
}

}  // namespace

Image Image::Crop(const RECT& rect) const {
  Image part;
  if (rect.left < 0 || rect.top < 0 || rect.right > width || rect.bottom > height ||
      rect.left >= rect.right || rect.top >= rect.bottom)
    return part;
  part.width = rect.right - rect.left;
  part.height = rect.bottom - rect.top;
  part.pixels.reserve(static_cast<size_t>(part.width) * part.height);
  for (int y = rect.top; y < rect.bottom; ++y)
    for (int x = rect.left; x < rect.right; ++x) part.pixels.push_back(At(x, y));
  return part;
}

Image CaptureScreen(const RECT& rect) {
  Image image;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return image;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BOOL copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);
  if (copied) image = FromBitmap(memory, bitmap, width, height);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return image;
}

Image CaptureWholeScreen() {
  RECT all = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return CaptureScreen(all);
}

Rgb ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  COLORREF colour = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

Image LoadBitmapResource(const std::string& modulePath, int resourceId) {
  Image image;
  HMODULE module = LoadLibraryExA(modulePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return image;
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(module, MAKEINTRESOURCEA(resourceId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (bitmap) {
    BITMAP info = {};
    GetObject(bitmap, sizeof info, &info);
    HDC screen = GetDC(nullptr);
    image = FromBitmap(screen, bitmap, info.bmWidth, info.bmHeight);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
  }
  FreeLibrary(module);
  return image;
}

}  // namespace e2e
