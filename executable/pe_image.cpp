#include "pe_image.h"

#include <algorithm>

#include "byte_order/little_endian.h"

namespace {

constexpr uint32_t ExecuteFlag = 0x20000000;  // IMAGE_SCN_MEM_EXECUTE
constexpr uint32_t CodeFlag = 0x00000020;     // IMAGE_SCN_CNT_CODE
constexpr size_t SectionHeaderSize = 40;
constexpr uint32_t ExceptionDirectory = 3;
constexpr uint32_t RelocationDirectory = 5;

// The file range of a table given by its RVA and size, when it lies inside one section.
void TableRange(const TPeImage& image, uint32_t rva, uint32_t size, uint32_t& offset, uint32_t& length) {
  offset = length = 0;
  const TPeSection* section = image.SectionAtRva(rva);
  if (!section || size == 0) return;
  const uint64_t inside = rva - section->Rva;
  if (inside + size > section->FileSize) return;
  offset = static_cast<uint32_t>(section->FileOffset + inside);
  length = size;
}

}  // namespace

const TPeSection* TPeImage::SectionAtOffset(uint32_t offset) const {
  for (const TPeSection& section : Sections) {
    if (offset >= section.FileOffset && offset - section.FileOffset < section.FileSize) return &section;
  }
  return nullptr;
}

const TPeSection* TPeImage::SectionAtRva(uint32_t rva) const {
  for (const TPeSection& section : Sections) {
    if (rva >= section.Rva && rva - section.Rva < section.VirtualSize) return &section;
  }
  return nullptr;
}

bool ParsePeImage(const uint8_t* bytes, size_t size, TPeImage& image) {
  image = TPeImage();
  if (size < 0x40 || size > 0x7FFFFFFF || bytes[0] != 'M' || bytes[1] != 'Z') return false;
  const uint64_t pe = ReadUInt32le(bytes + 0x3C);
  if (pe + 24 > size || ReadUInt32le(bytes + pe) != 0x00004550) return false;  // "PE\0\0"
  const uint8_t* coff = bytes + pe + 4;
  image.Machine = ReadUInt16le(coff);
  const uint32_t sectionCount = ReadUInt16le(coff + 2);
  const uint32_t optionalSize = ReadUInt16le(coff + 16);
  if (image.Machine != PeMachineX86 && image.Machine != PeMachineX64) return false;
  if (sectionCount == 0 || sectionCount > MaxPeSections) return false;
  const uint64_t optional = pe + 24;
  if (optional + optionalSize > size) return false;
  const uint8_t* header = bytes + optional;
  const bool wide = image.Machine == PeMachineX64;
  // PE32 (0x10B) for x86, PE32+ (0x20B) for x64; directories follow the fixed fields.
  const uint32_t fixedSize = wide ? 112 : 96;
  if (optionalSize < fixedSize || ReadUInt16le(header) != (wide ? 0x20B : 0x10B)) return false;
  image.ImageBase = wide ? ReadUInt64le(header + 24) : ReadUInt32le(header + 28);
  image.ImageSize = ReadUInt32le(header + 56);
  const uint32_t directoryCount = ReadUInt32le(header + (wide ? 108 : 92));
  auto directory = [&](uint32_t index, uint32_t& rva, uint32_t& length) {
    rva = length = 0;
    if (index >= directoryCount || fixedSize + 8 * (index + 1) > optionalSize) return;
    rva = ReadUInt32le(header + fixedSize + 8 * index);
    length = ReadUInt32le(header + fixedSize + 8 * index + 4);
  };

  const uint64_t table = optional + optionalSize;
  if (table + sectionCount * SectionHeaderSize > size) return false;
  for (uint32_t i = 0; i < sectionCount; i++) {
    const uint8_t* at = bytes + table + i * SectionHeaderSize;
    TPeSection section;
    section.VirtualSize = ReadUInt32le(at + 8);
    section.Rva = ReadUInt32le(at + 12);
    const uint32_t rawSize = ReadUInt32le(at + 16);
    const uint32_t rawOffset = ReadUInt32le(at + 20);
    const uint32_t flags = ReadUInt32le(at + 36);
    if (uint64_t{section.Rva} + section.VirtualSize > image.ImageSize) return false;
    if (rawOffset < size && rawSize > 0) {
      section.FileOffset = rawOffset;
      section.FileSize = static_cast<uint32_t>(std::min<uint64_t>({rawSize, size - rawOffset, section.VirtualSize}));
    }
    section.Executable = (flags & (ExecuteFlag | CodeFlag)) != 0;
    image.Sections.push_back(section);
  }
  uint32_t rva, length;
  directory(ExceptionDirectory, rva, length);
  TableRange(image, rva, length, image.ExceptionOffset, image.ExceptionSize);
  directory(RelocationDirectory, rva, length);
  TableRange(image, rva, length, image.RelocationOffset, image.RelocationSize);
  return true;
}
