#include "base_relocations.h"

#include "byte_order/little_endian.h"

namespace {

constexpr unsigned HighLow = 3;  // IMAGE_REL_BASED_HIGHLOW
constexpr unsigned Dir64 = 10;   // IMAGE_REL_BASED_DIR64

}  // namespace

std::vector<uint32_t> ReadBaseRelocations(const uint8_t* bytes, size_t size, const TPeImage& image) {
  std::vector<uint32_t> rvas;
  const uint64_t end = uint64_t{image.RelocationOffset} + image.RelocationSize;
  if (image.RelocationSize == 0 || end > size) return rvas;
  // Each block: page RVA, block size (header included), then 16-bit entries: type in the
  // top 4 bits, offset in the page in the low 12.
  for (uint64_t at = image.RelocationOffset; at + 8 <= end;) {
    const uint32_t page = ReadUInt32le(bytes + at);
    const uint32_t blockSize = ReadUInt32le(bytes + at + 4);
    if (blockSize < 8 || at + blockSize > end) break;
    for (uint64_t entry = at + 8; entry + 2 <= at + blockSize; entry += 2) {
      const unsigned word = bytes[entry] | bytes[entry + 1] << 8;
      const unsigned type = word >> 12;
      if (type == HighLow || type == Dir64) rvas.push_back(page + (word & 0xFFF));
    }
    at += blockSize;
  }
  return rvas;
}
