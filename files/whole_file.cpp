#include "whole_file.h"

#include <algorithm>
#include <memory>

namespace {

constexpr size_t ReadChunk = 1 << 20;

}  // namespace

bool ReadWholeFile(TFileSystem& files, const std::string& path, std::vector<uint8_t>& bytes,
                   size_t limit) {
  bytes.clear();
  std::unique_ptr<TInputFile> file = files.OpenRead(path.c_str());
  if (!file) return false;
  const int64_t size = file->Size();
  if (size < 0 || static_cast<uint64_t>(size) > limit) return false;
  bytes.resize(static_cast<size_t>(size));
  size_t done = 0;
  while (done < bytes.size()) {
    const size_t want = std::min(ReadChunk, bytes.size() - done);
    const int64_t got = file->Read(static_cast<int64_t>(done), bytes.data() + done, want);
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  // A file that grew while it was read is not the file that was listed.
  uint8_t probe;
  return file->Read(static_cast<int64_t>(done), &probe, 1) == 0;
}

bool WriteWholeFile(TFileSystem& files, const std::string& path, const std::vector<uint8_t>& bytes) {
  std::unique_ptr<TOutputFile> out = files.Create(path.c_str());
  return out && (bytes.empty() || out->Write(0, bytes.data(), bytes.size()));
}

bool ReadPart(TInputFile& file, int64_t offset, int64_t length, std::vector<uint8_t>& bytes) {
  if (length < 0) return false;
  bytes.resize(static_cast<size_t>(length));
  int64_t done = 0;
  while (done < length) {
    const int64_t got = file.Read(offset + done, bytes.data() + done, static_cast<size_t>(length - done));
    if (got <= 0) return false;
    done += got;
  }
  return true;
}

namespace {
template <class THasher>
bool HashRangeWith(TInputFile& file, int64_t offset, int64_t length, THasher& hasher, void (*beforePiece)(void*),
                   void* context) {
  if (length < 0) return false;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[HashPiece]);
  for (int64_t done = 0; done < length;) {
    if (beforePiece) beforePiece(context);
    const size_t want = static_cast<size_t>(std::min<int64_t>(HashPiece, length - done));
    if (file.Read(offset + done, buffer.get(), want) != static_cast<int64_t>(want)) return false;
    hasher.Update(buffer.get(), want);
    done += static_cast<int64_t>(want);
  }
  return true;
}
}  // namespace

bool HashRange(TInputFile& file, int64_t offset, int64_t length, TSha256& hasher, void (*beforePiece)(void*),
               void* context) {
  return HashRangeWith(file, offset, length, hasher, beforePiece, context);
}

bool HashRange(TInputFile& file, int64_t offset, int64_t length, TSha256Pipe& hasher, void (*beforePiece)(void*),
               void* context) {
  return HashRangeWith(file, offset, length, hasher, beforePiece, context);
}
