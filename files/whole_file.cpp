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
