#include "patch_writer.h"

#include <algorithm>
#include <cstring>

#include "delta/delta_decoder.h"
#include "difference/difference_format.h"
#include "byte_order/little_endian.h"
#include "record_path.h"

TPatchInfo MakePatchInfo(const std::string& path, uint32_t type, TDosStamp stamp,
                         TDosStamp newStamp) {
  TPatchInfo info;
  std::memcpy(info.Path, path.data(), std::min(path.size(), TPatchInfo::PathSize));
  info.PatchType = type;
  info.Stamp = stamp;
  info.NewStamp = newStamp;
  return info;
}

void TPatchWriter::AddHeaderAsIs(const TPatchInfo& header) {
  uint8_t raw[TPatchInfo::Size];
  FormatPatchInfo(header, raw);
  bytes.insert(bytes.end(), raw, raw + TPatchInfo::Size);
}

void TPatchWriter::AddRecord(TPatchInfo header, const std::vector<uint8_t>& data) {
  header.RecordOffset = static_cast<int32_t>(bytes.size());
  header.RecordSize = static_cast<int32_t>(TPatchInfo::Size + data.size());
  AddHeaderAsIs(header);
  bytes.insert(bytes.end(), data.begin(), data.end());
}

void TPatchWriter::Append(const std::vector<uint8_t>& more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
}

bool TPatchWriter::PathFits(const std::string& path) {
  return !path.empty() && path.size() <= MaxPathLength && path.find('\0') == std::string::npos;
}

bool TPatchWriter::PathAllowed(const std::string& path) {
  return PathFits(path) && CheckRecordPathSpelling(path) == TRecordPathRule::Allowed;
}

bool TPatchWriter::AddModify(const std::string& path, TDosStamp stamp, TDosStamp newStamp,
                             const std::vector<uint8_t>& delta) {
  if (!PathAllowed(path)) return false;
  AddRecord(MakePatchInfo(path, ptModify, stamp, newStamp), delta);
  return true;
}

bool TPatchWriter::AddDifference(const std::string& path, TDosStamp stamp, TDosStamp newStamp,
                                 const std::vector<uint8_t>& record) {
  if (!PathAllowed(path)) return false;
  // A record of version 2 or 3 (bytes 4 to 7 after the magic) gets a type of its own, which
  // readers that know version 1 only pass over instead of calling it damaged.
  const bool executable = record.size() >= 8 && IsExecutableDifferenceVersion(ReadUInt32le(&record[4]));
  AddRecord(MakePatchInfo(path, executable ? ptExecutableDifference : ptDifference, stamp, newStamp), record);
  return true;
}

bool TPatchWriter::AddCopy(const std::string& path, TDosStamp stamp,
                           const std::vector<uint8_t>& content) {
  if (!PathAllowed(path)) return false;
  AddRecord(MakePatchInfo(path, ptCopy, stamp), content);
  return true;
}

bool TPatchWriter::AddDelete(const std::string& path, TDosStamp stamp) {
  if (!PathAllowed(path)) return false;
  AddRecord(MakePatchInfo(path, ptDelete, stamp), {});
  return true;
}

bool TPatchWriter::AddVerify(const std::string& path, const TVerifyInfo& info) {
  if (!PathAllowed(path)) return false;
  std::vector<uint8_t> data(TVerifyInfo::Size);
  FormatVerifyInfo(info, data.data());
  AddRecord(MakePatchInfo(path, ptVerify, 0), data);
  return true;
}
