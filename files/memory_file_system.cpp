#include "memory_file_system.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "paths/path_name.h"

namespace {

class TMemoryReader : public TInputFile {
 public:
  TMemoryReader(std::shared_ptr<std::vector<uint8_t>> data, TDosStamp stamp, bool failReads,
                bool failStamp, int& reads)
      : data(std::move(data)), stamp(stamp), failReads(failReads), failStamp(failStamp),
        reads(reads) {}
  int64_t Read(int64_t offset, void* buffer, size_t count) override {
    ++reads;
    if (failReads || offset < 0) return -1;
    TMemoryInputFile view(*data);
    return view.Read(offset, buffer, count);
  }
  int64_t Size() override { return static_cast<int64_t>(data->size()); }
  bool GetStamp(TDosStamp& result) override {
    if (failStamp) return false;
    result = stamp;
    return true;
  }

 private:
  std::shared_ptr<std::vector<uint8_t>> data;
  TDosStamp stamp;
  bool failReads;
  bool failStamp;
  int& reads;
};

class TMemoryWriter : public TOutputFile {
 public:
  // failWrites is asked at every write: a fault may be set while the file is open.
  TMemoryWriter(std::shared_ptr<std::vector<uint8_t>> data, std::function<bool()> failWrites, int64_t maxSize,
                int& writes, std::function<void()> flushed)
      : data(std::move(data)), failWrites(std::move(failWrites)), maxSize(maxSize), writes(writes),
        flushed(std::move(flushed)) {}
  bool Flush() override {
    flushed();
    return !failWrites();
  }
  bool Write(int64_t offset, const void* buffer, size_t count) override {
    ++writes;
    if (failWrites() || offset < 0 || offset > maxSize - static_cast<int64_t>(count)) return false;
    const size_t at = static_cast<size_t>(offset);
    if (data->size() < at + count) data->resize(at + count, 0);
    if (count) std::memcpy(data->data() + at, buffer, count);
    return true;
  }

 private:
  std::shared_ptr<std::vector<uint8_t>> data;
  std::function<bool()> failWrites;
  int64_t maxSize;
  int& writes;
  std::function<void()> flushed;
};

}  // namespace

int64_t TMemoryInputFile::Read(int64_t offset, void* buffer, size_t count) {
  if (offset < 0) return -1;
  if (static_cast<uint64_t>(offset) >= size) return 0;
  const size_t at = static_cast<size_t>(offset);
  const size_t n = std::min(count, size - at);
  if (n) std::memcpy(buffer, data + at, n);
  return static_cast<int64_t>(n);
}

std::string TMemoryFileSystem::Key(const std::string& path) {
  std::string key = PathKey(path);
  // A closing backslash names the same directory.
  while (key.size() > 1 && key.back() == '\\') key.pop_back();
  return key;
}

std::string TMemoryFileSystem::Follow(const std::string& path) const {
  std::string followed = path;
  for (int hops = 0; hops < 40; ++hops) {
    const std::string key = Key(followed);
    bool moved = false;
    for (const auto& link : Links) {
      const std::string from = Key(link.first);
      if (key == from || (key.size() > from.size() && key.compare(0, from.size(), from) == 0 && key[from.size()] == '\\')) {
        followed = link.second + followed.substr(from.size());
        moved = true;
        break;
      }
    }
    if (!moved) break;
  }
  return followed;
}

int TMemoryFileSystem::NameCount(const char* path) {
  const std::string followed = Follow(path);
  if (!Exists(followed)) return 0;
  return Fails(OtherNames, Key(followed)) || Fails(OtherNames, Key(path)) ? 2 : 1;
}

bool TMemoryFileSystem::Fails(const std::set<std::string>& faults, const std::string& key) const {
  for (const std::string& f : faults)
    if (Key(f) == key) return true;
  return false;
}

bool TMemoryFileSystem::ParentExists(const std::string& key) const {
  const size_t slash = key.rfind('\\');
  if (slash == std::string::npos) return true;  // the current directory
  const std::string parent = key.substr(0, slash);
  if (parent.empty() || (parent.size() == 2 && parent[1] == ':')) return true;
  return directories.count(parent) != 0;
}

void TMemoryFileSystem::AddFile(const std::string& path, const std::vector<uint8_t>& data,
                                TDosStamp stamp) {
  TFile file;
  file.Name = path;
  file.Data = std::make_shared<std::vector<uint8_t>>(data);
  file.Stamp = stamp;
  files[Key(path)] = file;
}

void TMemoryFileSystem::AddDirectory(const std::string& path) {
  // Every level above it too, as a test that names a directory means it to exist.
  const std::string key = Key(path);
  for (size_t slash = key.find('\\', 1); ; slash = key.find('\\', slash + 1)) {
    const std::string level = key.substr(0, slash);
    if (!(level.size() == 2 && level[1] == ':') && !level.empty())
      directories.emplace(level, path.substr(0, level.size()));
    if (slash == std::string::npos) break;
  }
}

bool TMemoryFileSystem::ReadOnly(const char* given) {
  const std::string path = Follow(given);
  auto it = files.find(Key(path));
  return it != files.end() && it->second.ReadOnly;
}

bool TMemoryFileSystem::MakeReadOnly(const char* given, bool readOnly) {
  const std::string path = Follow(given);
  auto it = files.find(Key(path));
  if (it == files.end()) return false;
  it->second.ReadOnly = readOnly;
  return true;
}

void TMemoryFileSystem::SetReadOnly(const std::string& path, bool readOnly) {
  auto it = files.find(Key(path));
  if (it != files.end()) it->second.ReadOnly = readOnly;
}

bool TMemoryFileSystem::Exists(const std::string& path) const { return files.count(Key(path)) != 0; }

std::vector<uint8_t> TMemoryFileSystem::Contents(const std::string& path) const {
  auto it = files.find(Key(path));
  return it == files.end() ? std::vector<uint8_t>() : *it->second.Data;
}

TDosStamp TMemoryFileSystem::StampOf(const std::string& path) const {
  auto it = files.find(Key(path));
  return it == files.end() ? 0 : it->second.Stamp;
}

std::string TMemoryFileSystem::NameOf(const std::string& path) const {
  auto it = files.find(Key(path));
  return it == files.end() ? std::string() : it->second.Name;
}

std::string TMemoryFileSystem::StoredName(const char* path) {
  const std::string name = NameOf(path);
  if (name.empty()) return path;
  const size_t cut = name.find_last_of("\\/");
  return WithLastPart(path, cut == std::string::npos ? name : name.substr(cut + 1));
}

std::string WithLastPart(const std::string& path, const std::string& name) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? name : path.substr(0, cut + 1) + name;
}

std::vector<std::string> TMemoryFileSystem::FileNames() const {
  std::vector<std::string> names;
  for (const auto& f : files) names.push_back(f.second.Name);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> TMemoryFileSystem::DirectoryNames() const {
  std::vector<std::string> names;
  for (const auto& d : directories) names.push_back(d.second);
  std::sort(names.begin(), names.end());
  return names;
}

std::unique_ptr<TInputFile> TMemoryFileSystem::OpenRead(const char* given) {
  const std::string key = Key(Follow(given));
  auto it = files.find(key);
  if (it == files.end() || Fails(FailOpen, key)) return nullptr;
  return std::make_unique<TMemoryReader>(it->second.Data, it->second.Stamp,
                                         Fails(FailReads, key), Fails(FailStamp, key), Reads);
}

std::unique_ptr<TOutputFile> TMemoryFileSystem::Create(const char* given) {
  const std::string followed = Follow(given);
  const char* path = followed.c_str();
  const std::string key = Key(path);
  if (Fails(FailCreate, key) || directories.count(key) || !ParentExists(key)) return nullptr;
  auto it = files.find(key);
  if (it != files.end()) {
    if (it->second.ReadOnly) return nullptr;
    // Truncating keeps the file, its spelling and any reader's view of the same data.
    it->second.Data->clear();
  } else {
    TFile file;
    file.Name = path;
    file.Data = std::make_shared<std::vector<uint8_t>>();
    it = files.emplace(key, file).first;
  }
  it->second.Stamp = Now;
  return std::make_unique<TMemoryWriter>(it->second.Data, [this, key] { return Fails(FailWrites, key); }, MaxFileSize, Writes,
                                         [this, key] {
                                           ++Flushes;
                                           Steps.push_back("flush " + key);
                                         });
}

bool TMemoryFileSystem::Move(const char* givenFrom, const char* givenTo) {
  const std::string followedTo = Follow(givenTo);
  const char* to = followedTo.c_str();
  const std::string fromKey = Key(Follow(givenFrom));
  const std::string toKey = Key(to);
  auto it = files.find(fromKey);
  if (it == files.end() || Fails(FailMove, fromKey)) return false;
  if (files.count(toKey) || directories.count(toKey) || !ParentExists(toKey)) return false;
  TFile file = it->second;
  file.Name = to;
  files.erase(it);
  files.emplace(toKey, file);
  Steps.push_back("move " + fromKey + " " + toKey);
  return true;
}

bool TMemoryFileSystem::Replace(const char* givenFrom, const char* givenTo) {
  const std::string from = Follow(givenFrom), to = Follow(givenTo);
  auto source = files.find(Key(from));
  auto target = files.find(Key(to));
  if (source == files.end() || target == files.end() || source == target ||
      Fails(FailMove, Key(from)) || target->second.ReadOnly)
    return false;
  target->second.Data = source->second.Data;
  target->second.Stamp = source->second.Stamp;
  Steps.push_back("replace " + source->first + " " + target->first);
  files.erase(source);
  return true;
}

bool TMemoryFileSystem::Delete(const char* given) {
  const std::string path = Follow(given);
  auto it = files.find(Key(path));
  if (it == files.end() || it->second.ReadOnly) return false;
  files.erase(it);
  return true;
}

bool TMemoryFileSystem::CreateDir(const char* given) {
  const std::string followed = Follow(given);
  const char* path = followed.c_str();
  const std::string key = Key(path);
  if (key.empty() || (key.size() == 2 && key[1] == ':')) return false;
  if (Fails(FailCreateDir, key) || directories.count(key) || files.count(key) || !ParentExists(key))
    return false;
  directories.emplace(key, path);
  return true;
}

bool TMemoryFileSystem::DirectoryExists(const char* given) {
  const std::string key = Key(Follow(given));
  if (key.empty() || (key.size() == 2 && key[1] == ':') || key == "\\") return true;
  return directories.count(key) != 0;
}

bool TMemoryFileSystem::SetStamp(const char* given, TDosStamp stamp) {
  const std::string path = Follow(given);
  auto it = files.find(Key(path));
  if (it == files.end() || Fails(FailSetStamp, Key(path))) return false;
  it->second.Stamp = stamp;
  return true;
}
