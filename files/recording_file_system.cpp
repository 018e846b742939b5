#include "recording_file_system.h"

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <new>

#include "memory_file_system.h"

// The bytes of one written file. In memory they count against the shared budget; moved to the
// store they are read back through it.
struct TRecordingFileSystem::TWritten {
  explicit TWritten(std::shared_ptr<TSpill> spill) : Spill(std::move(spill)) {}
  ~TWritten() { Spill->InMemory -= static_cast<int64_t>(Bytes.size()); }
  TWritten(const TWritten&) = delete;
  TWritten& operator=(const TWritten&) = delete;

  // Writes count bytes at offset, first moving the content to the store when memory would
  // pass the budget. False when memory or the store cannot take them (a full disk's answer).
  bool Write(int64_t offset, const void* buffer, size_t count) {
    const int64_t end = offset + static_cast<int64_t>(count);
    const int64_t growth = Stored ? 0 : std::max<int64_t>(0, end - static_cast<int64_t>(Bytes.size()));
    if (growth && Spill->Store && Spill->InMemory + growth > Spill->Budget && !MoveToStore()) return false;
    if (Stored) {
      if (!Out->Write(offset, buffer, count)) return false;
      Size = std::max(Size, end);
      return true;
    }
    const size_t at = static_cast<size_t>(offset);
    try {
      if (Bytes.size() < at + count) {
        Bytes.resize(at + count, 0);
        Spill->InMemory += growth;
      }
    } catch (const std::bad_alloc&) {
      return false;
    }
    if (count) std::memcpy(Bytes.data() + at, buffer, count);
    Size = static_cast<int64_t>(Bytes.size());
    return true;
  }

  std::shared_ptr<TSpill> Spill;
  std::vector<uint8_t> Bytes;
  bool Stored = false;
  size_t Id = 0;
  std::unique_ptr<TOutputFile> Out;  // the store's file, while anything may still be written
  int64_t Size = 0;

 private:
  bool MoveToStore() {
    Out = Spill->Store->NewFile(Id);
    if (!Out || (!Bytes.empty() && !Out->Write(0, Bytes.data(), Bytes.size()))) {
      Out.reset();
      return false;
    }
    Spill->InMemory -= static_cast<int64_t>(Bytes.size());
    std::vector<uint8_t>().swap(Bytes);
    Stored = true;
    ++Spill->Files;
    return true;
  }
};

namespace {

// A disk file, or written content, with the date/time the recorded changes gave it. Written
// content is looked at afresh on every read: it may grow, or move to the store, meanwhile.
class TRecordedReader : public TInputFile {
 public:
  TRecordedReader(std::unique_ptr<TInputFile> diskFile, std::shared_ptr<TRecordingFileSystem::TWritten> data,
                  bool stampKnown, TDosStamp stamp)
      : File(std::move(diskFile)), Data(std::move(data)), StampKnown(stampKnown), Stamp(stamp) {}
  int64_t Read(int64_t offset, void* buffer, size_t count) override {
    if (!Data) return File->Read(offset, buffer, count);
    if (!Data->Stored) return TMemoryInputFile(Data->Bytes).Read(offset, buffer, count);
    if (offset < 0 || offset > Data->Size) return -1;
    if (!File && !(File = Data->Spill->Store->Reader(Data->Id))) return -1;
    return File->Read(offset, buffer, static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), Data->Size - offset)));
  }
  int64_t Size() override { return Data ? Data->Size : File->Size(); }
  bool GetStamp(TDosStamp& result) override {
    if (!StampKnown) return false;
    result = Stamp;
    return true;
  }

 private:
  std::unique_ptr<TInputFile> File;  // the disk's file, or the store's once content moved there
  std::shared_ptr<TRecordingFileSystem::TWritten> Data;
  bool StampKnown;
  TDosStamp Stamp;
};

class TRecordedWriter : public TOutputFile {
 public:
  TRecordedWriter(std::shared_ptr<TRecordingFileSystem::TWritten> data, int64_t maxSize)
      : Data(std::move(data)), MaxSize(maxSize) {}
  bool Write(int64_t offset, const void* buffer, size_t count) override {
    if (offset < 0 || static_cast<uint64_t>(offset) > SIZE_MAX - count ||
        offset > MaxSize - static_cast<int64_t>(count))
      return false;
    return Data->Write(offset, buffer, count);
  }

 private:
  std::shared_ptr<TRecordingFileSystem::TWritten> Data;
  int64_t MaxSize;
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
  state.Data = std::make_shared<TWritten>(Spill);
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
