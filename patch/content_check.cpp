#include "content_check.h"

#include "files/whole_file.h"

#include <algorithm>
#include <cstring>
#include <memory>

bool ChecksFor(const TPatchDirectory& records, TInputFile& data, int index, TVerifyInfo& checks) {
  if (index <= 0) return false;
  const TPatchInfo& verify = records[index - 1];
  if (verify.Type() != ptVerify || std::strcmp(verify.Path, records[index].Path) != 0) return false;
  uint8_t bytes[TVerifyInfo::Size];
  if (verify.DataSize() < static_cast<int64_t>(sizeof bytes) ||
      data.Read(verify.DataOffset(), bytes, sizeof bytes) != static_cast<int64_t>(sizeof bytes))
    return false;
  return ParseVerifyInfo(bytes, sizeof bytes, checks);
}

bool HashFile(TInputFile& file, int64_t size, TMessagePump pump, TSha256Digest& digest) {
  TSha256Pipe hasher;
  if (!HashRange(file, 0, size, hasher, pump.Hook, pump.Context)) return false;
  digest = hasher.Final();
  return !hasher.Failed();
}

TContentMatch JudgeContent(TInputFile& file, const TVerifyInfo& checks, TMessagePump pump) {
  TContentMatch content;
  const int64_t size = file.Size();
  // Only a file of the right size is worth hashing.
  const bool oldSize = checks.OldKnown() && size == static_cast<int64_t>(checks.OldSize);
  const bool newSize = checks.NewKnown() && size == static_cast<int64_t>(checks.NewSize);
  TSha256Digest digest;
  if ((!oldSize && !newSize) || !HashFile(file, size, pump, digest)) return content;
  content.Old = oldSize && std::memcmp(digest.Bytes.data(), checks.OldHash, VerifyHashSize) == 0;
  content.New = newSize && std::memcmp(digest.Bytes.data(), checks.NewHash, VerifyHashSize) == 0;
  return content;
}

bool WrittenAsExpected(THashingOutput& out, TFileSystem& files, const char* path, const TVerifyInfo& checks,
                       TMessagePump pump) {
  if (!checks.NewKnown()) return true;
  TSha256Digest digest;
  int64_t size = out.Size();
  if (out.InOrder()) {
    digest = out.Digest();
  } else {
    std::unique_ptr<TInputFile> written = files.OpenRead(path);
    if (!written || (size = written->Size()) < 0 || !HashFile(*written, size, pump, digest)) return false;
  }
  return size == static_cast<int64_t>(checks.NewSize) &&
         std::memcmp(digest.Bytes.data(), checks.NewHash, VerifyHashSize) == 0;
}
