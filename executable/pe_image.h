#pragma once
// Reads the headers of a PE file (32- and 64-bit Windows programs and DLLs for x86 and x64):
// the machine, the preferred load address, the sections with where their bytes lie in the
// file and in memory, and the file ranges of the exception and base-relocation tables.
// Every field is read a byte at a time, little-endian, and checked against the file's size;
// a file that is not such a PE file, or whose headers do not hold together, is refused.
// Portable: no Windows headers.

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint16_t PeMachineX86 = 0x014C;
constexpr uint16_t PeMachineX64 = 0x8664;
constexpr size_t MaxPeSections = 96;  // the loader's own limit

struct TPeSection {
  uint32_t FileOffset = 0;   // where the section's bytes start in the file
  uint32_t FileSize = 0;     // bytes of it in the file (never past the file's end)
  uint32_t Rva = 0;          // where it is loaded, relative to the image base
  uint32_t VirtualSize = 0;  // bytes of it in memory (at least FileSize)
  bool Executable = false;
};

struct TPeImage {
  uint16_t Machine = 0;
  uint64_t ImageBase = 0;
  uint32_t ImageSize = 0;
  std::vector<TPeSection> Sections;  // in the order of the section table
  // File ranges of the exception table (x64 function entries) and of the base-relocation
  // table; zero size when absent or not inside one section's bytes.
  uint32_t ExceptionOffset = 0, ExceptionSize = 0;
  uint32_t RelocationOffset = 0, RelocationSize = 0;

  // The section whose file bytes hold offset, or null.
  const TPeSection* SectionAtOffset(uint32_t offset) const;
  // The section whose memory range holds rva, or null.
  const TPeSection* SectionAtRva(uint32_t rva) const;
};

// True when bytes are an x86 or x64 PE image whose headers and section table are in range.
bool ParsePeImage(const uint8_t* bytes, size_t size, TPeImage& image);
