#pragma once
// Finds the references of x86 and x64 machine code and data in a PE image, one candidate
// operand at a time, judging only from the bytes around it (at most 2 before, 8 from it):
//
// - Relative32: the rel32 operand of `call` (E8), `jmp` (E9) and `jcc` (0F 80-8F), in an
//   executable section, whose target lies in an executable section;
// - RipRelative32: on x64, the disp32 of a RIP-relative operand (ModRM mod 00, r/m 101)
//   after a one-byte opcode that takes no immediate (mov, lea, cmp, add, ..., FF /2 /4 /6);
//   its target is counted from the operand's end, 4 bytes short of the instruction's end
//   for none of these opcodes carries an immediate;
// - Rva32: on x64, each 32-bit field of the exception table (function begin, end, unwind);
// - Absolute32 / Absolute64: a pointer (image base + RVA) into one of the image's sections,
//   32-bit on x86, 64-bit on x64: what the base-relocation table lists;
// - PlacedAbsolute32: on x86, such a pointer where compilers place one: in code as the
//   address of an instruction's operand (after a ModRM byte of mod 00 r/m 101, or a SIB byte
//   without base after one of mod 00) or its immediate (push, mov r32 / eax); elsewhere at an
//   RVA that is a multiple of 4. Far fewer false finds than Absolute32 in code, whose
//   instruction bytes often read as a number in the image's range. Found before Absolute32.
//
// Being local, the finder can run on any byte of a file in any order, which lets a decoder
// that reads its old file at arbitrary offsets ask it with bounded memory. Where a candidate
// is a false one (data that looks like a call), the only cost is a worse prediction.

#include <cstddef>
#include <cstdint>

#include "pe_image.h"

enum class TReferenceKind : uint8_t { None, Relative32, RipRelative32, Rva32, Absolute32, Absolute64, PlacedAbsolute32 };

// Kinds as bits of a mask, so a caller can switch each off.
constexpr unsigned ReferenceBit(TReferenceKind kind) { return 1u << static_cast<unsigned>(kind); }
constexpr unsigned AllReferenceKinds = ReferenceBit(TReferenceKind::Relative32) |
                                       ReferenceBit(TReferenceKind::RipRelative32) |
                                       ReferenceBit(TReferenceKind::Rva32) | ReferenceBit(TReferenceKind::Absolute32) |
                                       ReferenceBit(TReferenceKind::Absolute64) |
                                       ReferenceBit(TReferenceKind::PlacedAbsolute32);
// The kinds of the first executable records (version 2); PlacedAbsolute32 came later.
constexpr unsigned FirstReferenceKinds = AllReferenceKinds & ~ReferenceBit(TReferenceKind::PlacedAbsolute32);

// The bytes around a candidate operand: At points at its first byte; Before bytes before it
// and After bytes from it on are readable.
struct TOperandBytes {
  const uint8_t* At = nullptr;
  size_t Before = 0;
  size_t After = 0;
};

struct TFoundReference {
  TReferenceKind Kind = TReferenceKind::None;
  uint32_t TargetRva = 0;
  uint32_t Width = 0;        // bytes of the operand (the low 4 of them hold what points)
  uint32_t OpcodeBytes = 0;  // bytes just before the operand that say what it is
};

// The reference whose operand starts at file offset offset of image, among kinds (a mask
// of ReferenceBit); Kind None when there is none.
TFoundReference FindReference(const TPeImage& image, uint32_t offset, const TOperandBytes& bytes, unsigned kinds);

// How many of the count bytes from file offset offset on start no reference of kinds: the
// index of the first one where FindReference finds one, count when there is none. Quick
// tests of the bytes before an operand and of a pointer's range pass over most bytes; only
// where those hold does FindReference itself decide. at points at offset's byte; the min(offset, 2) bytes
// before it and readable bytes from it (readable >= count, and at least min(8, bytes to the
// file's end) past the last of the count) can be read.
//
// scan, when given, is kept by the caller from one call to the next with the same image and
// kinds: it remembers the stretch of the file around the last call (its section and side of the
// exception table), which a call near there need not work out again, and gets the reference
// found where the call stops (Found), so that the caller need not ask FindReference again.
struct TReferenceScan {
  uint64_t From = 0, End = 0;  // a stretch of file offsets, empty at first
  const TPeSection* Section = nullptr;
  bool InExceptions = false;
  TFoundReference Found;
};
size_t SkipNonReferences(const TPeImage& image, uint32_t offset, const uint8_t* at, size_t count, size_t readable,
                         unsigned kinds, TReferenceScan* scan = nullptr);

// The low 32 bits of an operand of kind at file offset offset that point at targetRva.
// False when offset is in no section (a relative operand cannot be placed).
bool ReferenceValue(const TPeImage& image, TReferenceKind kind, uint32_t offset, uint32_t targetRva,
                    uint32_t& value);
