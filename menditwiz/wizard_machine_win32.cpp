#include "menditwiz/wizard_machine.h"

#include <windows.h>

#include <string>

#include "files/disk_file_system.h"
#include "install/extracted_patch.h"
#include "report/formatting_reporter.h"
#include "syslib/program_file.h"

bool TDiskFolderLister::List(const std::string& folder, std::vector<TFolderEntry>& entries) {
  entries.clear();
  if (!IsFolder(folder)) return false;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(JoinPath(folder, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    entries.push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(search, &found));
  const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(search);
  return complete;
}

std::string AbsolutePath(const std::string& path) {
  char buffer[MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  if (length == 0 || length >= sizeof buffer) return "";
  std::string result(buffer, length);
  while (result.size() > 3 && result.back() == '\\') result.pop_back();
  return result;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string DefaultStubPath() {
  const std::string folder = ProgramFileFolder();
  return folder.empty() ? "" : folder + "mendit.exe";
}

std::string MakeScratchFolder() {
  char folder[MAX_PATH], name[MAX_PATH];
  const DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder) return "";
  // GetTempFileName reserves a unique name by creating a file; the folder takes its place.
  if (!GetTempFileNameA(folder, "mwz", 0, name)) return "";
  DeleteFileA(name);
  if (!CreateDirectoryA(name, nullptr)) return "";
  return name;
}

bool RemoveTree(const std::string& path) {
  TDiskFolderLister lister;
  std::vector<TFolderEntry> entries;
  if (lister.List(path, entries)) {
    for (const TFolderEntry& e : entries) {
      const std::string child = JoinPath(path, e.Name);
      if (e.IsDirectory) {
        RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    }
  }
  return RemoveDirectoryA(path.c_str()) || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool RemoveEmptyFolder(const std::string& path) { return RemoveDirectoryA(path.c_str()) != 0; }

bool MoveReplacing(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::unique_ptr<TFolderLister> NewFolderLister() { return std::make_unique<TDiskFolderLister>(); }

std::unique_ptr<TFileSystem> NewFileSystem() { return std::make_unique<TDiskFileSystem>(); }

std::string DisplayPath(const std::string& path) { return path; }

namespace {

// The binding's messages during the check extraction (on Windows the system cabinet
// library through the patch unpacker, exactly as mendit extracts a patch).
class TUnpackReporter : public TFormattingReporter {
 public:
  std::string Errors;
  void ReportProgress(int32_t, int32_t) override {}

 protected:
  void ReportText(TReportKind kind, const char* text) override {
    if (kind != TReportKind::Info) Errors += std::string(Errors.empty() ? "" : "; ") + text;
  }
};

// The patch data file as the unpacker extracted it; its temporary files go with it.
class TUnpackedCabinet : public TInputFile {
 public:
  TUnpackedCabinet() : Patch(&Reporter) {}
  int64_t Read(int64_t offset, void* buffer, size_t size) override { return Patch.Data()->Read(offset, buffer, size); }
  int64_t Size() override { return Patch.Data()->Size(); }
  bool GetStamp(TDosStamp& stamp) override { return Patch.Data()->GetStamp(stamp); }

  TUnpackReporter Reporter;
  TExtractedPatch Patch;  // after Reporter, which it reports to
};

}  // namespace

std::unique_ptr<TInputFile> ExtractCabinet(const std::string& folder, const std::string& name,
                                                  std::string& error) {
  auto cabinet = std::make_unique<TUnpackedCabinet>();
  if (!cabinet->Patch.Extract(name, folder + "\\")) {
    error = cabinet->Reporter.Errors.empty() ? "nothing was extracted" : cabinet->Reporter.Errors;
    return nullptr;
  }
  return cabinet;
}
