#include "files/disk_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "paths/code_page.h"
#include "paths/path_name.h"

namespace {


bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// The entry of folder whose name equals name without regard to ASCII case; "" when none.
std::string FindWithoutCase(const std::string& folder, const std::string& name) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return "";
  const std::string key = PathKey(name);
  std::string found;
  while (dirent* entry = readdir(dir)) {
    if (PathKey(entry->d_name) == key) {
      found = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

bool Writable(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) != 0 || (info.st_mode & S_IWUSR) != 0;
}

bool DosStampOf(time_t when, TDosStamp& stamp) {
  struct tm local;
  if (!localtime_r(&when, &local) || local.tm_year < 80 || local.tm_year > 80 + 127) return false;
  stamp = MakeDosStamp(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                       local.tm_min, local.tm_sec);
  return true;
}

class TPosixInputFile : public TInputFile {
 public:
  explicit TPosixInputFile(int handle) : Handle(handle) {}
  ~TPosixInputFile() override { close(Handle); }
  int64_t Read(int64_t offset, void* buffer, size_t size) override {
    if (offset < 0) return -1;
    size_t done = 0;
    while (done < size) {
      const ssize_t got = pread(Handle, static_cast<char*>(buffer) + done, size - done,
                                static_cast<off_t>(offset + static_cast<int64_t>(done)));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return -1;
      if (got == 0) break;
      done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
  }
  int64_t Size() override {
    struct stat info;
    return fstat(Handle, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
  }
  bool GetStamp(TDosStamp& stamp) override {
    struct stat info;
    return fstat(Handle, &info) == 0 && DosStampOf(info.st_mtime, stamp);
  }

 private:
  int Handle;
};

class TPosixOutputFile : public TOutputFile {
 public:
  explicit TPosixOutputFile(int handle) : Handle(handle) {}
  ~TPosixOutputFile() override { close(Handle); }
  bool Write(int64_t offset, const void* buffer, size_t size) override {
    if (offset < 0) return false;
    size_t done = 0;
    while (done < size) {
      const ssize_t put = pwrite(Handle, static_cast<const char*>(buffer) + done, size - done,
                                 static_cast<off_t>(offset + static_cast<int64_t>(done)));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      done += static_cast<size_t>(put);
    }
    return true;
  }
  bool Flush() override { return fsync(Handle) == 0; }

 private:
  int Handle;
};

}  // namespace

std::string TDiskFileSystem::StoredName(const char* path) {
  const std::string real = PosixPath(path);
  std::string name;
  if (!Exists(real) || !Utf8ToWindows1252(real.substr(real.find_last_of('/') + 1), name)) return path;
  return WithLastPart(path, name);
}

std::string PosixPath(const std::string& path) {
  const bool absolute = !path.empty() && (path[0] == '/' || path[0] == '\\');
  std::string result = absolute ? "/" : "";
  bool missing = false;  // below a part that is missing nothing can be found
  size_t at = 0;
  while (at < path.size()) {
    size_t end = path.find_first_of("/\\", at);
    if (end == std::string::npos) end = path.size();
    // Names are in Windows-1252 as on Windows; the disk spells them in UTF-8.
    std::string part = Windows1252ToUtf8(path.substr(at, end - at));
    at = end + 1;
    if (part.empty()) continue;
    if (!missing && part != "." && part != ".." && !Exists(result + part)) {
      const std::string found = FindWithoutCase(result.empty() ? "." : result, part);
      if (found.empty()) {
        missing = true;
      } else {
        part = found;
      }
    }
    result += part + "/";
  }
  if (result.size() > 1) result.pop_back();
  return result.empty() ? "." : result;
}

std::unique_ptr<TInputFile> TDiskFileSystem::OpenRead(const char* path) {
  const int handle = open(PosixPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (handle < 0) return nullptr;
  struct stat info;
  if (fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(handle);
    return nullptr;
  }
  return std::make_unique<TPosixInputFile>(handle);
}

std::unique_ptr<TOutputFile> TDiskFileSystem::Create(const char* path) {
  const std::string real = PosixPath(path);
  if (!Writable(real)) return nullptr;
  const int handle = open(real.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (handle < 0) return nullptr;
  return std::make_unique<TPosixOutputFile>(handle);
}

std::unique_ptr<TOutputFile> TDiskFileSystem::CreateNew(const char* path) {
  const int handle = open(PosixPath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (handle < 0) return nullptr;
  return std::make_unique<TPosixOutputFile>(handle);
}

bool TDiskFileSystem::Move(const char* from, const char* to) {
  const std::string source = PosixPath(from), target = PosixPath(to);
  if (!Exists(source) || Exists(target)) return false;
  return rename(source.c_str(), target.c_str()) == 0;
}

bool TDiskFileSystem::Replace(const char* from, const char* to) { return TFileSystem::Replace(from, to); }

bool TDiskFileSystem::Delete(const char* path) {
  const std::string real = PosixPath(path);
  struct stat info;
  if (lstat(real.c_str(), &info) != 0 || S_ISDIR(info.st_mode) || !Writable(real)) return false;
  return unlink(real.c_str()) == 0;
}

bool TDiskFileSystem::CreateDir(const char* path) { return mkdir(PosixPath(path).c_str(), 0755) == 0; }

bool TDiskFileSystem::DirectoryExists(const char* path) {
  struct stat info;
  return stat(PosixPath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool TDiskFileSystem::FileExists(const char* path) {
  struct stat info;
  return stat(PosixPath(path).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool TDiskFileSystem::ReadOnly(const char* path) {
  struct stat info;
  return stat(PosixPath(path).c_str(), &info) == 0 && !S_ISDIR(info.st_mode) && !(info.st_mode & S_IWUSR);
}

bool TDiskFileSystem::MakeReadOnly(const char* path, bool readOnly) {
  const std::string real = PosixPath(path);
  struct stat info;
  if (stat(real.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  const mode_t wanted = readOnly ? info.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH) : info.st_mode | S_IWUSR;
  return chmod(real.c_str(), wanted & 07777) == 0;
}

bool TDiskFileSystem::SetStamp(const char* path, TDosStamp stamp) {
  const TDosFields fields = UnpackDosStamp(stamp);
  struct tm local = {};
  local.tm_year = fields.Year - 1900;
  local.tm_mon = fields.Month - 1;
  local.tm_mday = fields.Day;
  local.tm_hour = fields.Hour;
  local.tm_min = fields.Minute;
  local.tm_sec = fields.Second;
  local.tm_isdst = -1;
  const time_t when = mktime(&local);
  if (when == static_cast<time_t>(-1)) return false;
  const struct timespec times[2] = {{when, 0}, {when, 0}};
  return utimensat(AT_FDCWD, PosixPath(path).c_str(), times, 0) == 0;
}

TDosStamp LocalStampOf(const std::string& path) {
  struct stat info;
  TDosStamp stamp = 0;
  if (stat(PosixPath(path).c_str(), &info) != 0 || !DosStampOf(info.st_mtime, stamp)) return 0;
  return stamp;
}

std::string TDiskFileSystem::FinalPath(const char* path) {
  // From the name itself up to the first level that resolves; the levels that do not exist
  // yet follow it as spelt.
  std::string full = PosixPath(path);
  std::string rest;
  for (;;) {
    if (char* resolved = realpath(full.c_str(), nullptr)) {
      std::string final = resolved;
      std::free(resolved);
      return final == "/" && !rest.empty() ? rest : final + rest;
    }
    while (full.size() > 1 && full.back() == '/') full.pop_back();
    const size_t slash = full.rfind('/');
    if (slash == std::string::npos) {
      if (full.empty() || full == ".") return "";
      rest = "/" + full + rest;
      full = ".";
      continue;
    }
    rest = full.substr(slash) + rest;
    full = slash == 0 ? "/" : full.substr(0, slash);
  }
}

int TDiskFileSystem::NameCount(const char* path) {
  struct stat info;
  return stat(PosixPath(path).c_str(), &info) == 0 ? static_cast<int>(info.st_nlink) : 0;
}
