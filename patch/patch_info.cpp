#include "patch_info.h"

#include <cstring>

#include "byte_order/little_endian.h"

namespace {
constexpr size_t StampAt = 200;
constexpr size_t NewStampAt = 204;
constexpr size_t TypeAt = 208;
constexpr size_t OffsetAt = 212;
constexpr size_t SizeAt = 216;
constexpr size_t ReservedAt = 220;
}  // namespace

void ParsePatchInfo(const uint8_t* bytes, TPatchInfo& info) {
  // Path is held with one byte more than on disk, so 200 bytes without a zero still end.
  std::memcpy(info.Path, bytes, TPatchInfo::PathSize);
  info.Path[TPatchInfo::PathSize] = '\0';
  info.Stamp = ReadUInt32le(bytes + StampAt);
  info.NewStamp = ReadUInt32le(bytes + NewStampAt);
  info.PatchType = ReadUInt32le(bytes + TypeAt);
  info.RecordOffset = ReadInt32le(bytes + OffsetAt);
  info.RecordSize = ReadInt32le(bytes + SizeAt);
}

void FormatPatchInfo(const TPatchInfo& info, uint8_t* bytes) {
  std::memset(bytes, 0, TPatchInfo::Size);
  std::memcpy(bytes, info.Path, strnlen(info.Path, TPatchInfo::PathSize));
  WriteUInt32le(bytes + StampAt, info.Stamp);
  WriteUInt32le(bytes + NewStampAt, info.NewStamp);
  WriteUInt32le(bytes + TypeAt, info.PatchType);
  WriteUInt32le(bytes + OffsetAt, static_cast<uint32_t>(info.RecordOffset));
  WriteUInt32le(bytes + SizeAt, static_cast<uint32_t>(info.RecordSize));
  bytes[ReservedAt] = 0;
}
