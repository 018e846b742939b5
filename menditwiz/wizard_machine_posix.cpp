#include "menditwiz/wizard_machine.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "cabinet/mspack_reader.h"
#include "files/disk_file_system.h"
#include "paths/code_page.h"

namespace {

bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

}  // namespace

bool TDiskFolderLister::List(const std::string& folder, std::vector<TFolderEntry>& entries) {
  entries.clear();
  const std::string real = PosixPath(folder);
  DIR* dir = opendir(real.c_str());
  if (!dir) return false;
  errno = 0;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info;
    const bool isDirectory = stat((real + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    // Names are handled in Windows-1252, as patches carry them; PosixPath spells them back.
    std::string held;
    const bool inCodePage = Utf8ToWindows1252(name, held);
    entries.push_back({inCodePage ? held : name, isDirectory, inCodePage});
  }
  const bool complete = errno == 0;
  closedir(dir);
  return complete;
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return "";
  std::string result = path;
  for (char& c : result)
    if (c == '\\') c = '/';
  if (result[0] != '/') {
    char folder[PATH_MAX];
    if (!getcwd(folder, sizeof folder)) return "";
    result = std::string(folder) + "/" + result;
  }
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(PosixPath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string DefaultStubPath() { return ""; }

std::string MakeScratchFolder() {
  const char* temporary = std::getenv("TMPDIR");
  std::string pattern = std::string(temporary && *temporary ? temporary : "/tmp") + "/mwzXXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!mkdtemp(name.data())) return "";
  return name.data();
}

bool RemoveTree(const std::string& path) {
  const std::string real = PosixPath(path);
  TDiskFolderLister lister;
  std::vector<TFolderEntry> entries;
  if (lister.List(real, entries)) {
    for (const TFolderEntry& e : entries) {
      const std::string child = real + "/" + e.Name;
      struct stat info;
      if (lstat(child.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        RemoveTree(child);
      } else {
        unlink(child.c_str());
      }
    }
  }
  return rmdir(real.c_str()) == 0 || !Exists(real);
}

bool RemoveEmptyFolder(const std::string& path) { return rmdir(PosixPath(path).c_str()) == 0; }

bool MoveReplacing(const std::string& from, const std::string& to) {
  return rename(PosixPath(from).c_str(), PosixPath(to).c_str()) == 0;
}

std::unique_ptr<TFolderLister> NewFolderLister() { return std::make_unique<TDiskFolderLister>(); }

std::unique_ptr<TFileSystem> NewFileSystem() { return std::make_unique<TDiskFileSystem>(); }

std::string DisplayPath(const std::string& path) {
  std::string shown = Windows1252ToUtf8(path);
  for (char& c : shown)
    if (c == '\\') c = '/';
  return shown;
}

namespace {

// The extracted patch data file, deleted when closed.
class TMspackExtraction : public TInputFile {
 public:
  TMspackExtraction(std::string path, std::unique_ptr<TInputFile> data)
      : Path(std::move(path)), File(std::move(data)) {}
  ~TMspackExtraction() override {
    File.reset();
    std::remove(Path.c_str());
  }
  int64_t Read(int64_t offset, void* buffer, size_t size) override { return File->Read(offset, buffer, size); }
  int64_t Size() override { return File->Size(); }
  bool GetStamp(TDosStamp& stamp) override { return File->GetStamp(stamp); }

 private:
  std::string Path;
  std::unique_ptr<TInputFile> File;
};

}  // namespace

std::unique_ptr<TInputFile> ExtractCabinet(const std::string& folder, const std::string& name,
                                                  std::string& error) {
  const std::string output = PosixPath(JoinPath(folder, "EXTRACTED.DAT"));
  if (!ExtractSingleFile(PosixPath(JoinPath(folder, name)), output, error)) {
    std::remove(output.c_str());
    return nullptr;
  }
  TDiskFileSystem files;
  std::unique_ptr<TInputFile> data = files.OpenRead(output.c_str());
  if (!data) {
    error = "Cannot open the extracted file " + output;
    std::remove(output.c_str());
    return nullptr;
  }
  return std::make_unique<TMspackExtraction>(output, std::move(data));
}
