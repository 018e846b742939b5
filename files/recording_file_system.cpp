#include "recording_file_system.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "memory_file_system.h"

namespace {

// A disk file, or written content, with the date/time the recorded changes gave it.
class TRecordedReader : public TInputFile {
 public:
  TRecordedReader(std::unique_ptr<TInputFile> diskFile, std::shared_ptr<std::vector<uint8_t>> data,
                  bool stampKnown, TDosStamp stamp)
      : diskFile(std::move(diskFile)), data(std::move(data)), stampKnown(stampKnown), stamp(stamp) {}
  int64_t Read(int64_t offset, void* buffer, size_t count) override {
    if (diskFile) return diskFile->Read(offset, buffer, count);
    TMemoryInputFile view(*data);
    return view.Read(offset, buffer, count);
  }
  int64_t Size() override { return diskFile ? diskFile->Size() : static_cast<int64_t>(data->size()); }
  bool GetStamp(TDosStamp& result) override {
    if (!stampKnown) return false;
    result = stamp;
    return true;
  }

 private:
  std::unique_ptr<TInputFile> diskFile;
  std::shared_ptr<std::vector<uint8_t>> data;
  bool stampKnown;
  TDosStamp stamp;
};

class TRecordedWriter : public TOutputFile {
 public:
  TRecordedWriter(std::shared_ptr<std::vector<uint8_t>> data, int64_t maxSize)
      : data(std::move(data)), maxSize(maxSize) {}
  bool Write(int64_t offset, const void* buffer, size_t count) override {
    if (offset < 0 || static_cast<uint64_t>(offset) > SIZE_MAX - count ||
        offset > maxSize - static_cast<int64_t>(count))
      return false;
    const size_t at = static_cast<size_t>(offset);
    try {
      if (data->size() < at + count) data->resize(at + count, 0);
    } catch (const std::bad_alloc&) {
      return false;  // as a full disk would answer
    }
    if (count) std::memcpy(data->data() + at, buffer, count);
    return true;
  }

 private:
  std::shared_ptr<std::vector<uint8_t>> data;
  int64_t maxSize;
};

}  // namespace

TRecordingFileSystem::TState TRecordingFileSystem::StateOf(const std::string& key, const char* path) {
  auto it = Files.find(key);
  if (it != Files.end()) return it->second;
  TState state;
  if (std::unique_ptr<TInputFile> file = Disk.OpenRead(path)) {
    state.Present = true;
    state.DiskPath = path;
    state.StampKnown = file->GetStamp(state.Stamp);
  }
  return state;
}

bool TRecordingFileSystem::ParentExists(const std::string& key) {
  const size_t slash = key.rfind('\\');
  if (slash == std::string::npos) return true;  // the current directory
  const std::string parent = key.substr(0, slash);
  if (parent.empty() || (parent.size() == 2 && parent[1] == ':')) return true;
  return DirectoryExists(parent.c_str());
}

std::unique_ptr<TInputFile> TRecordingFileSystem::OpenRead(const char* path) {
  const std::string key = TMemoryFileSystem::Key(path);
  auto it = Files.find(key);
  if (it == Files.end()) return Disk.OpenRead(path);
  const TState& state = it->second;
  if (!state.Present) return nullptr;
  std::unique_ptr<TInputFile> diskFile;
  if (!state.Data && !(diskFile = Disk.OpenRead(state.DiskPath.c_str()))) return nullptr;
  return std::make_unique<TRecordedReader>(std::move(diskFile), state.Data, state.StampKnown, state.Stamp);
}

std::unique_ptr<TOutputFile> TRecordingFileSystem::Create(const char* path) {
  const std::string key = TMemoryFileSystem::Key(path);
  if (DirectoryExists(path) || !ParentExists(key)) return nullptr;
  TState state;
  state.Present = true;
  state.Data = std::make_shared<std::vector<uint8_t>>();
  Files[key] = state;  // a new date/time, unknown until a stamp is set
  changes.push_back({TChange::Create, path, ""});
  return std::make_unique<TRecordedWriter>(state.Data, MaxFileSize);
}

bool TRecordingFileSystem::Move(const char* from, const char* to) {
  const std::string fromKey = TMemoryFileSystem::Key(from);
  const std::string toKey = TMemoryFileSystem::Key(to);
  const TState source = StateOf(fromKey, from);
  if (!source.Present) return false;
  if (StateOf(toKey, to).Present || DirectoryExists(to) || !ParentExists(toKey)) return false;
  Files[toKey] = source;
  Files[fromKey] = TState();
  changes.push_back({TChange::Move, from, to});
  return true;
}

bool TRecordingFileSystem::Replace(const char* from, const char* to) {
  const std::string fromKey = TMemoryFileSystem::Key(from);
  const std::string toKey = TMemoryFileSystem::Key(to);
  const TState source = StateOf(fromKey, from);
  if (fromKey == toKey || !source.Present || !StateOf(toKey, to).Present) return false;
  Files[toKey] = source;
  Files[fromKey] = TState();
  changes.push_back({TChange::Replace, from, to});
  return true;
}

bool TRecordingFileSystem::Delete(const char* path) {
  const std::string key = TMemoryFileSystem::Key(path);
  if (!StateOf(key, path).Present) return false;
  Files[key] = TState();
  changes.push_back({TChange::Delete, path, ""});
  return true;
}

bool TRecordingFileSystem::CreateDir(const char* path) {
  const std::string key = TMemoryFileSystem::Key(path);
  if (key.empty() || (key.size() == 2 && key[1] == ':')) return false;
  if (DirectoryExists(path) || StateOf(key, path).Present || !ParentExists(key)) return false;
  Directories.insert(key);
  changes.push_back({TChange::MakeDir, path, ""});
  return true;
}

bool TRecordingFileSystem::DirectoryExists(const char* path) {
  return Directories.count(TMemoryFileSystem::Key(path)) != 0 || Disk.DirectoryExists(path);
}

bool TRecordingFileSystem::SetStamp(const char* path, TDosStamp stamp) {
  const std::string key = TMemoryFileSystem::Key(path);
  TState state = StateOf(key, path);
  if (!state.Present) return false;
  state.StampKnown = true;
  state.Stamp = stamp;
  Files[key] = state;
  changes.push_back({TChange::Stamp, path, ""});
  return true;
}

int TRecordingFileSystem::NameCount(const char* path) {
  const TState state = StateOf(TMemoryFileSystem::Key(path), path);
  if (!state.Present) return 0;
  return state.Data ? 1 : Disk.NameCount(state.DiskPath.c_str());
}
