// Image files for screenshots. PNG is written with stored (uncompressed) deflate blocks,
// which every reader accepts and which needs no compression library.
#include <cstdio>
#include <memory>

#include "e2e_image.h"

namespace e2e {

namespace {

using Bytes = std::vector<unsigned char>;

void PutU32Be(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

void PutU32Le(Bytes& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

void PutU16Le(Bytes& out, unsigned value) {
  out.push_back(static_cast<unsigned char>(value));
  out.push_back(static_cast<unsigned char>(value >> 8));
}

std::uint32_t Crc32(const unsigned char* data, size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutChunk(Bytes& out, const char* type, const Bytes& data) {
  PutU32Be(out, static_cast<std::uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutU32Be(out, Crc32(out.data() + start, out.size() - start));
}

// zlib stream of stored blocks (each at most 65535 bytes) with its Adler-32.
Bytes StoredZlib(const Bytes& raw) {
  Bytes out = {0x78, 0x01};
  size_t done = 0;
  do {
    size_t length = raw.size() - done < 65535 ? raw.size() - done : 65535;
    bool last = done + length == raw.size();
    out.push_back(last ? 1 : 0);
    PutU16Le(out, static_cast<unsigned>(length));
    PutU16Le(out, static_cast<unsigned>(~length & 0xFFFF));
    out.insert(out.end(), raw.begin() + done, raw.begin() + done + length);
    done += length;
  } while (done < raw.size());
  std::uint32_t a = 1, b = 0;
  for (unsigned char byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutU32Be(out, (b << 16) | a);
  return out;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  return file && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
}

}  // namespace

bool SavePng(const Image& image, const std::string& path) {
  if (image.width <= 0 || image.height <= 0) return false;
  Bytes raw;
  raw.reserve(static_cast<size_t>(image.width * 3 + 1) * image.height);
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < image.width; ++x) {
      Rgb pixel = image.At(x, y);
      raw.push_back(static_cast<unsigned char>(pixel >> 16));
      raw.push_back(static_cast<unsigned char>(pixel >> 8));
      raw.push_back(static_cast<unsigned char>(pixel));
    }
  }
  Bytes header;
  PutU32Be(header, static_cast<std::uint32_t>(image.width));
  PutU32Be(header, static_cast<std::uint32_t>(image.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
  Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(file, "IHDR", header);
  PutChunk(file, "IDAT", StoredZlib(raw));
  PutChunk(file, "IEND", Bytes());
  return WriteFile(path, file);
}

bool SaveBmp(const Image& image, const std::string& path) {
  if (image.width <= 0 || image.height <= 0) return false;
  const std::uint32_t rowSize = (static_cast<std::uint32_t>(image.width) * 3 + 3) & ~3u;
  const std::uint32_t pixelBytes = rowSize * image.height;
  Bytes file = {'B', 'M'};
  PutU32Le(file, 54 + pixelBytes);
  PutU32Le(file, 0);
  PutU32Le(file, 54);
  PutU32Le(file, 40);
  PutU32Le(file, static_cast<std::uint32_t>(image.width));
  PutU32Le(file, static_cast<std::uint32_t>(image.height));  // bottom-up rows
  PutU16Le(file, 1);
  PutU16Le(file, 24);
  for (int i = 0; i < 6; ++i) PutU32Le(file, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    size_t rowStart = file.size();
    for (int x = 0; x < image.width; ++x) {
      Rgb pixel = image.At(x, y);
      file.push_back(static_cast<unsigned char>(pixel));
      file.push_back(static_cast<unsigned char>(pixel >> 8));
      file.push_back(static_cast<unsigned char>(pixel >> 16));
    }
    file.resize(rowStart + rowSize, 0);
  }
  return WriteFile(path, file);
}

}  // namespace e2e
