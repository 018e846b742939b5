#pragma once
// TPatchInfo: the 221-byte header of one record of a patch data file.
//
// On disk (little-endian, no padding):
//   0  200  Path          zero-terminated within the 200 bytes; may hold macros (&ROOT&)
//   200  4  Stamp         DOS date/time pair the existing file must carry (copy: given to it)
//   204  4  NewStamp      DOS date/time pair given to the rebuilt file of a modify patch
//   208  4  PatchType     0 modify, 1 copy, 2 delete, 0x10 verify, 0x11 difference, 0x12
//                         difference of version 2 (executable-aware); bit 0x400
//                          reserved and ignored; other types are passed over
//   212  4  RecordOffset  absolute offset of this header in the patch data file
//   216  4  RecordSize    221 plus the length of the record's data
//   220  1  reserved
// The header is read and written field by field; the in-memory form keeps Path terminated
// even when the 200 bytes on disk hold no zero.

#include <cstddef>
#include <cstdint>

#include "files/dos_stamp.h"

// ptVerify carries the content checks of the record after it (verify_info.h); ptDifference
// rebuilds a file as ptModify does, from a difference record (difference/README.md) instead of
// a block delta; ptExecutableDifference does the same from a difference record of version 2 or 3,
// which codes a program's references by what they point to. Each has a type of its own so
// that readers that do not know it pass it over, as every unknown type: a reader that knows
// version 1 records only never meets a version 2 one.
enum TPatchType : uint32_t {
  ptModify = 0,
  ptCopy = 1,
  ptDelete = 2,
  ptVerify = 0x10,
  ptDifference = 0x11,
  ptExecutableDifference = 0x12,
};

// Whether a record rebuilds its file from a difference record (either version).
constexpr bool IsDifference(uint32_t type) { return type == ptDifference || type == ptExecutableDifference; }

constexpr uint32_t PatchTypeReservedBit = 0x400;

// What a record of each type does: the one rule the installer, the look for files in use,
// the record log and the tools' tracker all ask, so that a new type is known everywhere or
// nowhere.
// Whether a record acts on the file its path names (modify, difference, copy, delete). The
// rest have no step of their own: a verification record belongs to the record after it,
// and a record of unknown type is passed over.
constexpr bool ActsOnFile(uint32_t type) {
  return type == ptModify || IsDifference(type) || type == ptCopy || type == ptDelete;
}
// Whether a record rebuilds the file from its previous version (modify, difference): the
// previous version is renamed to the "$$$" backup, replacing an earlier one, so the backup is
// touched as well as the file.
constexpr bool RebuildsFile(uint32_t type) { return type == ptModify || IsDifference(type); }
// How the tools name a record's kind: "modify" (a difference record too), "copy", "delete",
// "unknown" (a record with no step of its own).
constexpr const char* RecordKindName(uint32_t type) {
  return RebuildsFile(type) ? "modify" : type == ptCopy ? "copy" : type == ptDelete ? "delete" : "unknown";
}

struct TPatchInfo {
  static constexpr size_t Size = 221;      // bytes of a header in the patch data file
  static constexpr size_t PathSize = 200;  // bytes of the Path field

  char Path[PathSize + 1] = {};
  TDosStamp Stamp = 0;
  TDosStamp NewStamp = 0;
  uint32_t PatchType = 0;
  int32_t RecordOffset = 0;
  int32_t RecordSize = 0;

  // The type the engine dispatches on: the reserved bit cleared.
  uint32_t Type() const { return PatchType & ~PatchTypeReservedBit; }
  // Length of the record's data; negative for a header whose RecordSize is below 221.
  int64_t DataSize() const { return static_cast<int64_t>(RecordSize) - static_cast<int64_t>(Size); }
  // Offset of the record's data in the patch data file.
  int64_t DataOffset() const { return static_cast<int64_t>(RecordOffset) + static_cast<int64_t>(Size); }
};

// Fills info from the Size bytes at bytes. A Path without a zero within its 200 bytes is
// taken whole (200 characters).
void ParsePatchInfo(const uint8_t* bytes, TPatchInfo& info);
// Writes info as Size bytes at bytes: the first 200 characters of Path padded with zeros
// (so a 200-character path has no terminating zero), the reserved byte zero.
void FormatPatchInfo(const TPatchInfo& info, uint8_t* bytes);
