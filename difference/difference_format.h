#pragma once
// The byte layout of a difference record, shared by the encoder and the decoder; the
// README of this folder describes it byte by byte. Every number is little-endian and is
// read and written a byte at a time: fixed 32-bit numbers in the header, variable-length
// numbers (7 bits a byte, low group first, the top bit set on every byte but the last; at
// most 5 bytes) in the streams.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "byte_order/little_endian.h"

constexpr uint8_t DifferenceMagic[4] = {'M', 'D', 'I', 'F'};
constexpr uint32_t DifferenceVersion = 1;
// Version 2 codes the references of x86/x64 PE files by what they point to: after the
// header a 32-bit length and the executable part (executable_part.h), then the streams.
constexpr uint32_t ExecutableDifferenceVersion = 2;
// Version 3 is version 2 that may also use the references found where x86 compilers place
// pointers (TReferenceKind::PlacedAbsolute32); the encoder writes it only for records that do.
constexpr uint32_t PlacedPointerDifferenceVersion = 3;
constexpr bool IsExecutableDifferenceVersion(uint32_t version) {
  return version == ExecutableDifferenceVersion || version == PlacedPointerDifferenceVersion;
}
constexpr size_t DifferenceHeaderSize = 40;
// The executable part holds two section tables and at most MaxReferenceSegments segments.
constexpr uint32_t MaxExecutablePartLength = 2 * 1024 * 1024;
constexpr size_t MaxNumberSize = 5;
// Old and new files are below 2 GB: every size, position and seek fits a signed 32-bit number.
constexpr uint32_t MaxDifferenceFileSize = 0x7FFFFFFF;

struct TDifferenceHeader {
  uint32_t Version = DifferenceVersion;
  uint32_t ExecutableLength = 0;  // version 2: bytes of the executable part
  uint32_t OldSize = 0;
  uint32_t NewSize = 0;
  uint32_t EntryCount = 0;
  uint32_t ControlLength = 0;     // bytes of the control stream
  uint32_t DifferenceLength = 0;  // bytes of new - old: the sum of the add lengths
  uint32_t ChangeCount = 0;       // of those, the ones that are not zero: the changes stream
  uint32_t RunLength = 0;         // bytes of the runs stream
  uint32_t ExtraLength = 0;       // bytes of the extra stream: the sum of the copy lengths

  // Where each stream starts, and the size of the whole record.
  uint64_t ExecutableStart() const { return DifferenceHeaderSize + 4; }
  uint64_t ControlStart() const {
    return IsExecutableDifferenceVersion(Version) ? ExecutableStart() + ExecutableLength : DifferenceHeaderSize;
  }
  uint64_t RunsStart() const { return ControlStart() + ControlLength; }
  uint64_t ChangesStart() const { return RunsStart() + RunLength; }
  uint64_t ExtraStart() const { return ChangesStart() + ChangeCount; }
  uint64_t RecordSize() const { return ExtraStart() + ExtraLength; }
};

// One control entry: add Add bytes (old + difference), copy Copy bytes of the extra
// stream, then move the old position by Seek.
struct TDifferenceEntry {
  uint32_t Add = 0;
  uint32_t Copy = 0;
  int32_t Seek = 0;
};

// Seeks are stored with the sign in the lowest bit (0, -1, 1, -2, ... as 0, 1, 2, 3, ...),
// so that short seeks either way take few bytes.
inline uint32_t SeekToNumber(int32_t seek) {
  return seek < 0 ? static_cast<uint32_t>(-(static_cast<int64_t>(seek) + 1)) * 2 + 1 : static_cast<uint32_t>(seek) * 2;
}

inline int32_t NumberToSeek(uint32_t number) {
  const int64_t half = number >> 1;
  return static_cast<int32_t>(number & 1 ? -half - 1 : half);
}

inline void PutNumber(std::vector<uint8_t>& out, uint32_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<uint8_t>(value | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<uint8_t>(value));
}

inline void PutDifferenceHeader(uint8_t* at, const TDifferenceHeader& header) {
  for (int i = 0; i < 4; i++) at[i] = DifferenceMagic[i];
  const uint32_t fields[] = {header.Version,                header.OldSize,     header.NewSize,
                             header.EntryCount,        header.ControlLength, header.DifferenceLength,
                             header.ChangeCount,       header.RunLength,   header.ExtraLength};
  for (uint32_t field : fields) WriteUInt32le(at += 4, field);
  if (IsExecutableDifferenceVersion(header.Version)) WriteUInt32le(at + 4, header.ExecutableLength);
}

// Bytes of the header as written: 44 with the executable part's length.
inline size_t DifferenceHeaderBytes(const TDifferenceHeader& header) {
  return IsExecutableDifferenceVersion(header.Version) ? DifferenceHeaderSize + 4 : DifferenceHeaderSize;
}

inline void PutDifferenceEntry(std::vector<uint8_t>& out, const TDifferenceEntry& entry) {
  PutNumber(out, entry.Add);
  PutNumber(out, entry.Copy);
  PutNumber(out, SeekToNumber(entry.Seek));
}
