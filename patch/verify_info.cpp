#include "verify_info.h"

#include <cstring>

#include "delta/little_endian.h"

namespace {
constexpr size_t FlagsAt = 4;
constexpr size_t OldSizeAt = 8;
constexpr size_t OldHashAt = 16;
constexpr size_t NewSizeAt = 48;
constexpr size_t NewHashAt = 56;
constexpr size_t AlternativeAt = 88;

uint64_t ReadUInt64le(const uint8_t* p) {
  return static_cast<uint64_t>(ReadUInt32le(p)) | (static_cast<uint64_t>(ReadUInt32le(p + 4)) << 32);
}
void WriteUInt64le(uint8_t* p, uint64_t value) {
  WriteUInt32le(p, static_cast<uint32_t>(value));
  WriteUInt32le(p + 4, static_cast<uint32_t>(value >> 32));
}
}  // namespace

bool ParseVerifyInfo(const uint8_t* bytes, size_t size, TVerifyInfo& info) {
  if (size < TVerifyInfo::Size || ReadUInt32le(bytes) != VerifyVersion) return false;
  info.Flags = ReadUInt32le(bytes + FlagsAt) & (VerifyOldKnown | VerifyNewKnown);
  info.OldSize = ReadUInt64le(bytes + OldSizeAt);
  std::memcpy(info.OldHash, bytes + OldHashAt, VerifyHashSize);
  info.NewSize = ReadUInt64le(bytes + NewSizeAt);
  std::memcpy(info.NewHash, bytes + NewHashAt, VerifyHashSize);
  info.Alternative = ReadUInt32le(bytes + AlternativeAt);
  return true;
}

void FormatVerifyInfo(const TVerifyInfo& info, uint8_t* bytes) {
  std::memset(bytes, 0, TVerifyInfo::Size);
  WriteUInt32le(bytes, VerifyVersion);
  WriteUInt32le(bytes + FlagsAt, info.Flags);
  WriteUInt64le(bytes + OldSizeAt, info.OldSize);
  std::memcpy(bytes + OldHashAt, info.OldHash, VerifyHashSize);
  WriteUInt64le(bytes + NewSizeAt, info.NewSize);
  std::memcpy(bytes + NewHashAt, info.NewHash, VerifyHashSize);
  WriteUInt32le(bytes + AlternativeAt, info.Alternative);
}
