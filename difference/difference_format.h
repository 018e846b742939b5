#pragma once
// The byte layout of a difference record, shared by the encoder and the decoder. Every
// number is little-endian and is read and written a byte at a time. difference/README.md
// describes the layout.

#include <cstddef>
#include <cstdint>

constexpr uint8_t DifferenceMagic[4] = {'M', 'D', 'I', 'F'};
constexpr uint32_t DifferenceVersion = 1;
constexpr size_t DifferenceHeaderSize = 28;
constexpr size_t DifferenceEntrySize = 12;
// Old and new files are below 2 GB: every size, position and seek fits a signed 32-bit number.
constexpr uint32_t MaxDifferenceFileSize = 0x7FFFFFFF;

struct TDifferenceHeader {
  uint32_t OldSize = 0;
  uint32_t NewSize = 0;
  uint32_t EntryCount = 0;
  uint32_t DiffLength = 0;   // bytes of the difference stream: the sum of the add lengths
  uint32_t ExtraLength = 0;  // bytes of the extra stream: the sum of the copy lengths

  // The size of the whole record this header announces.
  uint64_t RecordSize() const {
    return DifferenceHeaderSize + uint64_t{EntryCount} * DifferenceEntrySize + DiffLength + ExtraLength;
  }
};

// One control entry: add Add bytes (old + difference), copy Copy bytes of the extra
// stream, then move the old position by Seek.
struct TDifferenceEntry {
  uint32_t Add = 0;
  uint32_t Copy = 0;
  int32_t Seek = 0;
};

inline void PutLittleEndian32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
  at[3] = static_cast<uint8_t>(value >> 24);
}

inline uint32_t GetLittleEndian32(const uint8_t* at) {
  return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

// Two's complement, without relying on how the compiler converts out-of-range values.
inline uint32_t SignedToBits(int32_t value) {
  return value < 0 ? ~static_cast<uint32_t>(-(static_cast<int64_t>(value) + 1)) : static_cast<uint32_t>(value);
}

inline int32_t BitsToSigned(uint32_t bits) {
  return bits & 0x80000000u ? static_cast<int32_t>(-static_cast<int64_t>(~bits) - 1) : static_cast<int32_t>(bits);
}

inline void PutDifferenceHeader(uint8_t* at, const TDifferenceHeader& header) {
  for (int i = 0; i < 4; i++) at[i] = DifferenceMagic[i];
  PutLittleEndian32(at + 4, DifferenceVersion);
  PutLittleEndian32(at + 8, header.OldSize);
  PutLittleEndian32(at + 12, header.NewSize);
  PutLittleEndian32(at + 16, header.EntryCount);
  PutLittleEndian32(at + 20, header.DiffLength);
  PutLittleEndian32(at + 24, header.ExtraLength);
}

inline void PutDifferenceEntry(uint8_t* at, const TDifferenceEntry& entry) {
  PutLittleEndian32(at, entry.Add);
  PutLittleEndian32(at + 4, entry.Copy);
  PutLittleEndian32(at + 8, SignedToBits(entry.Seek));
}

inline TDifferenceEntry GetDifferenceEntry(const uint8_t* at) {
  TDifferenceEntry entry;
  entry.Add = GetLittleEndian32(at);
  entry.Copy = GetLittleEndian32(at + 4);
  entry.Seek = BitsToSigned(GetLittleEndian32(at + 8));
  return entry;
}
