#include "verify_info.h"

#include <cstring>

#include "byte_order/little_endian.h"
#include "hash/sha256.h"

namespace {
constexpr size_t FlagsAt = 4;
constexpr size_t OldSizeAt = 8;
constexpr size_t OldHashAt = 16;
constexpr size_t NewSizeAt = 48;
constexpr size_t NewHashAt = 56;
constexpr size_t AlternativeAt = 88;
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

void SetVerifyOld(TVerifyInfo& info, const uint8_t* bytes, size_t size) {
  info.Flags |= VerifyOldKnown;
  info.OldSize = size;
  std::memcpy(info.OldHash, Sha256(bytes, size).Bytes.data(), VerifyHashSize);
}

void SetVerifyNew(TVerifyInfo& info, const uint8_t* bytes, size_t size) {
  info.Flags |= VerifyNewKnown;
  info.NewSize = size;
  std::memcpy(info.NewHash, Sha256(bytes, size).Bytes.data(), VerifyHashSize);
}
