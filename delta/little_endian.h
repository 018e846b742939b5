#pragma once
// Explicit little-endian access to the integers of the patch data file.

#include <cstdint>

inline uint32_t ReadUInt32le(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline int32_t ReadInt32le(const uint8_t* p) { return static_cast<int32_t>(ReadUInt32le(p)); }

inline void WriteUInt32le(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

inline uint64_t ReadUInt64le(const uint8_t* p) {
  return static_cast<uint64_t>(ReadUInt32le(p)) | (static_cast<uint64_t>(ReadUInt32le(p + 4)) << 32);
}

inline void WriteUInt64le(uint8_t* p, uint64_t value) {
  WriteUInt32le(p, static_cast<uint32_t>(value));
  WriteUInt32le(p + 4, static_cast<uint32_t>(value >> 32));
}
