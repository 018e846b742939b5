// Pixels of the screen: captures of a rectangle as an image to compare and to save as
// a build artefact.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// Colour as 0x00RRGGBB.
using Rgb = std::uint32_t;

struct Image {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;  // rows top to bottom

  Rgb At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  // The part of this image inside rect (coordinates of this image).
  Image Crop(const RECT& rect) const;
  bool operator==(const Image& other) const {
    return width == other.width && height == other.height && pixels == other.pixels;
  }
  bool operator!=(const Image& other) const { return !(*this == other); }
};

// What is on the screen inside rect (screen coordinates). Empty on failure.
Image CaptureScreen(const RECT& rect);
Image CaptureWholeScreen();

// One screen pixel (GetPixel on the screen's device context).
Rgb ScreenPixel(int x, int y);

// The colour InvertRect gives a pixel.
inline Rgb Inverted(Rgb colour) { return ~colour & 0x00FFFFFFu; }

// A bitmap resource of a module (loaded as data, no code run), as an image.
Image LoadBitmapResource(const std::string& modulePath, int resourceId);

// Writes the image as a PNG file (uncompressed deflate: needs no library) or a 24-bit BMP.
bool SavePng(const Image& image, const std::string& path);
bool SaveBmp(const Image& image, const std::string& path);

}  // namespace e2e
