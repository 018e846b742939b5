#pragma once
// Explicit little-endian access to the integers of every binary format the programs read and
// write (the patch data file and its records, block deltas, difference records, the
// self-applying program's payload, cabinets): byte by byte, never a cast of a struct, so the
// formats read the same on every machine.

#include <cstdint>
#include <vector>

inline uint16_t ReadUInt16le(const uint8_t* p) {
  return static_cast<uint16_t>(static_cast<uint16_t>(p[0]) | (static_cast<uint16_t>(p[1]) << 8));
}

inline uint32_t ReadUInt32le(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline int32_t ReadInt32le(const uint8_t* p) { return static_cast<int32_t>(ReadUInt32le(p)); }

inline uint64_t ReadUInt64le(const uint8_t* p) {
  return static_cast<uint64_t>(ReadUInt32le(p)) | (static_cast<uint64_t>(ReadUInt32le(p + 4)) << 32);
}

inline void WriteUInt16le(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

inline void WriteUInt32le(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

inline void WriteUInt64le(uint8_t* p, uint64_t value) {
  WriteUInt32le(p, static_cast<uint32_t>(value));
  WriteUInt32le(p + 4, static_cast<uint32_t>(value >> 32));
}

// The same, appended to a growing buffer.
inline void AppendUInt16le(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void AppendUInt32le(std::vector<uint8_t>& out, uint32_t value) {
  AppendUInt16le(out, static_cast<uint16_t>(value));
  AppendUInt16le(out, static_cast<uint16_t>(value >> 16));
}
