#pragma once
// TVerifyInfo: the content checks of one record, carried by a record of its own.
//
// A verification record has PatchType ptVerify, the same Path as the record it covers and
// stands right before it. Readers that know only modify, copy and delete pass it over
// without a word (unknown types are skipped), so a patch with checks still applies wherever
// such a reader would apply it, by date/time alone.
//
// Its data (little-endian, no padding; later versions only add fields at the end):
//   0   4  Version      1
//   4   4  Flags        1 OldKnown (the file the record acts on), 2 NewKnown (the file it writes)
//   8   8  OldSize      size of the file the record acts on (modify, delete)
//   16 32  OldHash      its SHA-256
//   48  8  NewSize      size of the file the record produces (modify, copy)
//   56 32  NewHash      its SHA-256
//   88  4  Alternative  0, or a number shared by records that are alternatives for one file
//                       (one per old version the patch can bring up to date)

#include <cstddef>
#include <cstdint>

constexpr uint32_t VerifyVersion = 1;
constexpr uint32_t VerifyOldKnown = 1;
constexpr uint32_t VerifyNewKnown = 2;
constexpr size_t VerifyHashSize = 32;

struct TVerifyInfo {
  static constexpr size_t Size = 92;  // bytes of the data as written

  uint32_t Flags = 0;
  uint64_t OldSize = 0;
  uint8_t OldHash[VerifyHashSize] = {};
  uint64_t NewSize = 0;
  uint8_t NewHash[VerifyHashSize] = {};
  uint32_t Alternative = 0;

  bool OldKnown() const { return (Flags & VerifyOldKnown) != 0; }
  bool NewKnown() const { return (Flags & VerifyNewKnown) != 0; }
};

// Fills info from size bytes; false (info untouched) for data shorter than Size or of a
// version other than 1. Unknown flag bits are dropped.
bool ParseVerifyInfo(const uint8_t* bytes, size_t size, TVerifyInfo& info);
// Writes info as Size bytes at bytes.
void FormatVerifyInfo(const TVerifyInfo& info, uint8_t* bytes);
// Marks the file the record acts on (old) or produces (new) as known: its size and SHA-256.
void SetVerifyOld(TVerifyInfo& info, const uint8_t* bytes, size_t size);
void SetVerifyNew(TVerifyInfo& info, const uint8_t* bytes, size_t size);
