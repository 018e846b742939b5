#include "x86_references.h"

#include <algorithm>

#include "byte_order/little_endian.h"

namespace {

bool RvaOfOffset(const TPeImage& image, uint32_t offset, const TPeSection*& section, uint32_t& rva) {
  section = image.SectionAtOffset(offset);
  if (!section) return false;
  rva = section->Rva + (offset - section->FileOffset);
  return true;
}

// One-byte opcodes whose only operand after a RIP-relative ModRM is the disp32.
bool TakesNoImmediate(uint8_t opcode, uint8_t modrm) {
  switch (opcode) {
    case 0x01: case 0x03: case 0x09: case 0x0B: case 0x21: case 0x23: case 0x29: case 0x2B:
    case 0x31: case 0x33: case 0x39: case 0x3B: case 0x63: case 0x85: case 0x87: case 0x89:
    case 0x8B: case 0x8D:
      return true;
    case 0xFF:  // call, jmp, push through memory
      return modrm == 0x15 || modrm == 0x25 || modrm == 0x35;
    default:
      return false;
  }
}

// One-byte opcodes (and the second bytes of common 0F opcodes) that take a ModRM byte.
bool TakesModRm(uint8_t opcode) {
  if (opcode < 0x40) return (opcode & 0x07) < 4;  // add, or, adc, sbb, and, sub, xor, cmp
  switch (opcode) {
    case 0x62: case 0x63: case 0x69: case 0x6B: case 0xC0: case 0xC1: case 0xC6: case 0xC7: case 0xD0:
    case 0xD1: case 0xD2: case 0xD3: case 0xF6: case 0xF7: case 0xFE: case 0xFF:
    case 0x6E: case 0x6F: case 0x7E: case 0x7F: case 0xAF: case 0xB6: case 0xB7: case 0xBE: case 0xBF: case 0xD6:
    case 0x58: case 0x59: case 0x5C: case 0x5E:
      return true;
    default:
      return (opcode >= 0x80 && opcode <= 0x8F) || (opcode >= 0xD8 && opcode <= 0xDF);
  }
}

// Bytes just before an x86 operand that make it an address or immediate a compiler puts a
// pointer in (0 when none): see PlacedAbsolute32.
uint32_t PointerOperandBytes(const uint8_t* at, size_t before) {
  if (before < 1) return 0;
  const uint8_t last = at[-1];
  if (last == 0x68 || last == 0xA1 || last == 0xA3 || (last >= 0xB8 && last <= 0xBF)) return 1;
  if (before < 2) return 0;
  const uint8_t previous = at[-2];
  if ((last & 0xC7) == 0x05 && TakesModRm(previous)) return 2;          // [disp32]
  if ((previous & 0xC7) == 0x04 && (last & 0x07) == 0x05) return 2;     // [index*scale + disp32]
  return 0;
}

// What the two bytes just before an operand in code make it a candidate for, as bits, so that
// the scan between references passes over most code bytes with one look-up: the bytes before
// a rel32 branch or call, before a RIP-relative disp32 (x64), and before a placed pointer
// (x86). Each bit is exactly the test the scan makes of those two bytes.
enum : uint8_t { BeforeRelative = 1, BeforeRipRelative = 2, BeforePlacedPointer = 4 };

struct TBytePairClasses {
  uint8_t Of[65536] = {};
  TBytePairClasses() {
    for (unsigned pair = 0; pair < 65536; pair++) {
      const uint8_t previous = static_cast<uint8_t>(pair >> 8), last = static_cast<uint8_t>(pair);
      const uint8_t bytes[2] = {previous, last};
      if (last == 0xE8 || last == 0xE9 || (previous == 0x0F && (last & 0xF0) == 0x80)) Of[pair] |= BeforeRelative;
      if ((last & 0xC7) == 0x05 && TakesNoImmediate(previous, last)) Of[pair] |= BeforeRipRelative;
      if (PointerOperandBytes(bytes + 2, 2) != 0) Of[pair] |= BeforePlacedPointer;
    }
  }
  uint8_t Before(const uint8_t* at) const { return Of[at[-2] << 8 | at[-1]]; }
};

const TBytePairClasses BytePairClasses;

// The scan's quick passes, each the first index from i below last where its test may hold, or
// last: code bytes whose two bytes before hold none of classes, and where every byte may start
// a pointer, also a value outside the image (its high half, or for x86 the value itself).
size_t PassCode(const uint8_t* at, size_t i, size_t last, uint8_t classes) {
  const uint8_t* p = at + i;
  const uint8_t* const end = at + last;
  while (p < end && (BytePairClasses.Before(p) & classes) == 0) p++;
  return static_cast<size_t>(p - at);
}

size_t PassPointers64(const uint8_t* at, size_t i, size_t last, uint8_t classes, uint32_t baseHigh) {
  const uint8_t* p = at + i;
  const uint8_t* const end = at + last;
  while (p < end && (BytePairClasses.Before(p) & classes) == 0 && ReadUInt32le(p + 4) != baseHigh) p++;
  return static_cast<size_t>(p - at);
}

size_t PassPointers32(const uint8_t* at, size_t i, size_t last, uint8_t classes, uint32_t baseLow, uint32_t size) {
  const uint8_t* p = at + i;
  const uint8_t* const end = at + last;
  while (p < end && (BytePairClasses.Before(p) & classes) == 0 && ReadUInt32le(p) - baseLow >= size) p++;
  return static_cast<size_t>(p - at);
}

TFoundReference Found(TReferenceKind kind, uint32_t target, uint32_t width, uint32_t opcodeBytes) {
  TFoundReference found;
  found.Kind = kind;
  found.TargetRva = target;
  found.Width = width;
  found.OpcodeBytes = opcodeBytes;
  return found;
}

}  // namespace

TFoundReference FindReference(const TPeImage& image, uint32_t offset, const TOperandBytes& bytes, unsigned kinds) {
  const TPeSection* section;
  uint32_t rva;
  if (bytes.After < 4 || !RvaOfOffset(image, offset, section, rva)) return TFoundReference();
  // The operand lies within its section's bytes.
  if (offset - section->FileOffset + uint64_t{4} > section->FileSize) return TFoundReference();
  const uint8_t* at = bytes.At;
  const uint32_t value = ReadUInt32le(at);
  const bool wide = image.Machine == PeMachineX64;
  auto inSection = [&](uint32_t target, bool executable) {
    const TPeSection* to = image.SectionAtRva(target);
    return to && (!executable || to->Executable);
  };

  if (section->Executable && bytes.Before >= 1) {
    const uint32_t target = rva + 4 + value;
    const uint8_t opcode = at[-1];
    if ((kinds & ReferenceBit(TReferenceKind::Relative32)) && inSection(target, true)) {
      if (opcode == 0xE8 || opcode == 0xE9) return Found(TReferenceKind::Relative32, target, 4, 1);
      if (bytes.Before >= 2 && at[-2] == 0x0F && (opcode & 0xF0) == 0x80)
        return Found(TReferenceKind::Relative32, target, 4, 2);
    }
    if (wide && (kinds & ReferenceBit(TReferenceKind::RipRelative32)) && bytes.Before >= 2 &&
        (opcode & 0xC7) == 0x05 && TakesNoImmediate(at[-2], opcode) && inSection(target, false)) {
      return Found(TReferenceKind::RipRelative32, target, 4, 2);
    }
  }
  if (wide && (kinds & ReferenceBit(TReferenceKind::Rva32)) && image.ExceptionSize != 0 &&
      offset >= image.ExceptionOffset && offset - image.ExceptionOffset < image.ExceptionSize &&
      (offset - image.ExceptionOffset) % 4 == 0 && inSection(value, false)) {
    return Found(TReferenceKind::Rva32, value, 4, 0);
  }
  if (!wide && (kinds & ReferenceBit(TReferenceKind::PlacedAbsolute32))) {
    const uint64_t target = uint64_t{value} - image.ImageBase;
    if (value >= image.ImageBase && target < image.ImageSize && inSection(static_cast<uint32_t>(target), false)) {
      if (!section->Executable && rva % 4 == 0) return Found(TReferenceKind::PlacedAbsolute32, static_cast<uint32_t>(target), 4, 0);
      const uint32_t opcodeBytes = section->Executable ? PointerOperandBytes(at, bytes.Before) : 0;
      if (opcodeBytes != 0) return Found(TReferenceKind::PlacedAbsolute32, static_cast<uint32_t>(target), 4, opcodeBytes);
    }
  }
  if (!wide && (kinds & ReferenceBit(TReferenceKind::Absolute32))) {
    const uint64_t target = uint64_t{value} - image.ImageBase;
    if (value >= image.ImageBase && target < image.ImageSize && inSection(static_cast<uint32_t>(target), false))
      return Found(TReferenceKind::Absolute32, static_cast<uint32_t>(target), 4, 0);
  }
  if (wide && (kinds & ReferenceBit(TReferenceKind::Absolute64)) && bytes.After >= 8 &&
      offset - section->FileOffset + uint64_t{8} <= section->FileSize) {
    const uint64_t pointer = value | uint64_t{ReadUInt32le(at + 4)} << 32;
    const uint64_t target = pointer - image.ImageBase;
    if (pointer >= image.ImageBase && target < image.ImageSize && inSection(static_cast<uint32_t>(target), false))
      return Found(TReferenceKind::Absolute64, static_cast<uint32_t>(target), 8, 0);
  }
  return TFoundReference();
}

size_t SkipNonReferences(const TPeImage& image, uint32_t offset, const uint8_t* at, size_t count, size_t readable,
                         unsigned kinds, TReferenceScan* scan) {
  const bool wide = image.Machine == PeMachineX64;
  const bool relative = (kinds & ReferenceBit(TReferenceKind::Relative32)) != 0;
  const bool ripRelative = wide && (kinds & ReferenceBit(TReferenceKind::RipRelative32)) != 0;
  const bool rvas = wide && (kinds & ReferenceBit(TReferenceKind::Rva32)) != 0 && image.ExceptionSize != 0;
  const bool absolute32 = !wide && (kinds & ReferenceBit(TReferenceKind::Absolute32)) != 0;
  const bool placed32 = !wide && (kinds & ReferenceBit(TReferenceKind::PlacedAbsolute32)) != 0;
  const bool absolute64 = wide && (kinds & ReferenceBit(TReferenceKind::Absolute64)) != 0;
  const uint64_t exceptionEnd = uint64_t{image.ExceptionOffset} + image.ExceptionSize;
  // Where every byte may start a pointer, a value can only be one when it lies in the image.
  // The images a pointer can name share their high 32 bits (x64) or fit below 2^32 (x86) in
  // nearly every program; then one 32-bit test per byte rules out the rest, as the full test
  // would, so the scan passes over them at once.
  const uint64_t imageLast = image.ImageBase + image.ImageSize - 1;
  const bool pointerTest = image.ImageSize != 0 && ((absolute64 && imageLast >> 32 == image.ImageBase >> 32) ||
                                                     (absolute32 && imageLast >> 32 == 0));
  const uint32_t baseHigh = static_cast<uint32_t>(image.ImageBase >> 32);
  const uint32_t baseLow = static_cast<uint32_t>(image.ImageBase);
  const size_t pointerBytes = absolute64 ? 8 : 4;
  // The classes of the byte before an operand in code that the kinds look for.
  const uint8_t codeClasses = static_cast<uint8_t>((relative ? BeforeRelative : 0) | (ripRelative ? BeforeRipRelative : 0) |
                                                   (placed32 ? BeforePlacedPointer : 0));
  size_t i = 0;
  while (i < count) {
    // A stretch [from, end) where the first section of the table that holds the offset is one
    // and the same (or none), and which is all inside or all outside the exception table.
    const uint64_t from = uint64_t{offset} + i;
    const TPeSection* section;
    uint64_t end;
    bool inExceptions;
    if (scan && from >= scan->From && from < scan->End) {
      section = scan->Section;
      end = scan->End;
      inExceptions = scan->InExceptions;
    } else {
      section = image.SectionAtOffset(static_cast<uint32_t>(from));
      end = section ? uint64_t{section->FileOffset} + section->FileSize : UINT64_MAX;
      for (const TPeSection& other : image.Sections) {
        if (other.FileSize != 0 && other.FileOffset > from && other.FileOffset < end) end = other.FileOffset;
      }
      inExceptions = rvas && from >= image.ExceptionOffset && from < exceptionEnd;
      if (rvas && !inExceptions && image.ExceptionOffset > from && image.ExceptionOffset < end) end = image.ExceptionOffset;
      if (inExceptions && exceptionEnd < end) end = exceptionEnd;
      if (scan) {
        scan->From = from;
        scan->End = end;
        scan->Section = section;
        scan->InExceptions = inExceptions;
      }
    }
    const size_t stop = static_cast<size_t>(std::min<uint64_t>(end - offset, count));
    if (!section) {
      i = stop;
      continue;
    }
    const bool executable = section->Executable;
    // Offsets of 4-aligned RVAs in this section (file offsets and RVAs differ by a constant).
    const uint64_t aligned = (uint64_t{section->FileOffset} - section->Rva) & 3;
    // Where only the bytes before an operand in code can make a candidate, or only aligned
    // positions outside the code, whole runs of bytes are passed over at once.
    const bool everyByte = absolute32 || absolute64 || inExceptions;
    const size_t last = std::min(stop, readable >= 4 ? readable - 3 : 0);  // candidates need 4 bytes
    const uint8_t classes = executable ? codeClasses : 0;
    // Positions from which a whole pointer is readable, for the quick pointer test.
    const size_t pointerLast = std::min(stop, readable >= pointerBytes ? readable - (pointerBytes - 1) : 0);
    for (; i < stop; i++) {
      if (offset + uint64_t{i} >= 2) {
        if (!everyByte) {
          if (executable) {
            if (i < last) i = PassCode(at, i, last, codeClasses);
          } else if (placed32) {
            while (i < last && ((offset + i) & 3) != aligned) i++;
          } else {
            i = last;
          }
        } else if (pointerTest && !inExceptions) {
          if (i < pointerLast) {
            i = absolute64 ? PassPointers64(at, i, pointerLast, classes, baseHigh)
                           : PassPointers32(at, i, pointerLast, classes, baseLow, image.ImageSize);
          }
        }
        if (i >= stop) break;
      }
      // FindReference wants 4 readable bytes (8 for a 64-bit pointer); fewer means the file ends.
      const size_t after = readable - i;
      if (after < 4) break;
      const uint64_t position = uint64_t{offset} + i;
      bool candidate = false;
      if (executable && position >= 1) {
        const uint8_t opcode = at[i - 1];
        candidate = relative && (opcode == 0xE8 || opcode == 0xE9);
        if (!candidate && position >= 2) {
          const uint8_t before = at[i - 2];
          candidate = (relative && before == 0x0F && (opcode & 0xF0) == 0x80) ||
                      (ripRelative && (opcode & 0xC7) == 0x05 && TakesNoImmediate(before, opcode));
        }
      }
      candidate = candidate || (inExceptions && (position - image.ExceptionOffset) % 4 == 0);
      // Placed pointers: after the instruction bytes that take one in code, aligned elsewhere.
      candidate = candidate ||
                  ((absolute32 || (placed32 && (executable ? PointerOperandBytes(at + i, std::min<uint64_t>(position, 2)) != 0
                                                           : (position & 3) == aligned))) &&
                   ReadUInt32le(at + i) - image.ImageBase < image.ImageSize);
      candidate = candidate ||
                  (absolute64 && after >= 8 &&
                   (ReadUInt32le(at + i) | uint64_t{ReadUInt32le(at + i + 4)} << 32) - image.ImageBase < image.ImageSize);
      // Most candidates are not references (a call's byte in data, a target outside the code):
      // the full test passes over those too, so that the caller stops only where one is.
      if (candidate) {
        TOperandBytes bytes;
        bytes.At = at + i;
        bytes.Before = static_cast<size_t>(std::min<uint64_t>(position, 2));
        bytes.After = std::min<size_t>(after, 8);
        const TFoundReference found = FindReference(image, static_cast<uint32_t>(position), bytes, kinds);
        if (found.Kind != TReferenceKind::None) {
          if (scan) scan->Found = found;
          return i;
        }
      }
    }
    i = stop;
  }
  return count;
}

bool ReferenceValue(const TPeImage& image, TReferenceKind kind, uint32_t offset, uint32_t targetRva,
                    uint32_t& value) {
  switch (kind) {
    case TReferenceKind::Relative32:
    case TReferenceKind::RipRelative32: {
      const TPeSection* section;
      uint32_t rva;
      if (!RvaOfOffset(image, offset, section, rva)) return false;
      value = targetRva - (rva + 4);
      return true;
    }
    case TReferenceKind::Rva32:
      value = targetRva;
      return true;
    case TReferenceKind::Absolute32:
    case TReferenceKind::Absolute64:
    case TReferenceKind::PlacedAbsolute32:
      value = static_cast<uint32_t>(image.ImageBase + targetRva);
      return true;
    case TReferenceKind::None:
      break;
  }
  return false;
}
