#include "files/disk_file_system.h"

#include "paths/path_name.h"

#include <windows.h>
#include <aclapi.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "files/private_folder_win32.h"
#include "syslib/system_library.h"

namespace {

// ReadFile and WriteFile take 32-bit counts; larger requests go in pieces of this size.
constexpr size_t MaxChunk = 1u << 30;

// A wide path in the 8-bit spelling of the engine's paths; empty when a character has none
// (a name the engine could not have spelt is never taken for one it can).
std::string AnsiOf(const std::wstring& wide) {
  if (wide.empty()) return "";
  BOOL lossy = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, &lossy);
  if (size <= 0 || lossy) return "";
  std::string text(size_t(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], size, nullptr, nullptr);
  text.pop_back();
  return text;
}

// The path an open handle resolves to (FinalPathOf) in the engine's 8-bit spelling; empty
// when the system cannot tell.
std::string HandleFinalPath(HANDLE handle) { return AnsiOf(FinalPathOf(handle)); }

// Opens whatever stands at path (a file or a folder, links followed) to ask about it.
HANDLE OpenToAsk(const std::wstring& path) {
  return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool Seek(HANDLE handle, int64_t offset) {
  if (offset < 0) return false;
  LARGE_INTEGER to;
  to.QuadPart = offset;
  return SetFilePointerEx(handle, to, nullptr, FILE_BEGIN) != 0;
}

class TWin32InputFile : public TInputFile {
 public:
  explicit TWin32InputFile(HANDLE handle) : Handle(handle) {}
  ~TWin32InputFile() override { CloseHandle(Handle); }

  int64_t Read(int64_t offset, void* buffer, size_t size) override {
    if (!Seek(Handle, offset)) return -1;
    size_t done = 0;
    while (done < size) {
      DWORD want = static_cast<DWORD>(size - done < MaxChunk ? size - done : MaxChunk);
      DWORD got = 0;
      if (!ReadFile(Handle, static_cast<uint8_t*>(buffer) + done, want, &got, nullptr)) return -1;
      if (got == 0) break;  // end of file
      done += got;
    }
    return static_cast<int64_t>(done);
  }

  int64_t Size() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(Handle, &size)) return -1;
    return size.QuadPart;
  }

  bool GetStamp(TDosStamp& stamp) override {
    FILETIME written, local;
    WORD date = 0, time = 0;
    if (!GetFileTime(Handle, nullptr, nullptr, &written)) return false;
    if (!FileTimeToLocalFileTime(&written, &local)) return false;
    if (!FileTimeToDosDateTime(&local, &date, &time)) return false;
    stamp = DosStamp(date, time);
    return true;
  }

 private:
  HANDLE Handle;
};

class TWin32OutputFile : public TOutputFile {
 public:
  explicit TWin32OutputFile(HANDLE handle) : Handle(handle) {}
  ~TWin32OutputFile() override { CloseHandle(Handle); }

  bool Write(int64_t offset, const void* buffer, size_t size) override {
    if (!Seek(Handle, offset)) return false;
    size_t done = 0;
    while (done < size) {
      DWORD want = static_cast<DWORD>(size - done < MaxChunk ? size - done : MaxChunk);
      DWORD put = 0;
      if (!WriteFile(Handle, static_cast<const uint8_t*>(buffer) + done, want, &put, nullptr) ||
          put == 0)
        return false;
      done += put;
    }
    return true;
  }
  bool Flush() override { return FlushFileBuffers(Handle) != 0; }
  std::string FinalPath() override { return HandleFinalPath(Handle); }

 private:
  HANDLE Handle;
};

}  // namespace

std::unique_ptr<TInputFile> InputFileOver(HANDLE handle) { return std::make_unique<TWin32InputFile>(handle); }
std::unique_ptr<TOutputFile> OutputFileOver(HANDLE handle) { return std::make_unique<TWin32OutputFile>(handle); }

std::string TDiskFileSystem::FinalPath(const char* path) {
  wchar_t buffer[MAX_PATH * 2];
  const std::wstring wide = WideText(path);
  const DWORD length = wide.empty() ? 0 : GetFullPathNameW(wide.c_str(), MAX_PATH * 2, buffer, nullptr);
  if (length == 0 || length >= MAX_PATH * 2) return "";
  // From the name itself up to the first level that opens; the levels that do not exist yet
  // follow it as spelt.
  std::wstring full(buffer, length);
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  std::wstring rest;
  for (;;) {
    HANDLE handle = OpenToAsk(full);
    if (handle != INVALID_HANDLE_VALUE) {
      std::string final = HandleFinalPath(handle);
      CloseHandle(handle);
      if (final.empty()) return FinalPathsKnown() ? "" : AnsiOf(full + rest);  // XP: no links to follow
      while (final.size() > 3 && final.back() == '\\') final.pop_back();
      const std::string tail = AnsiOf(rest);
      if (!rest.empty() && tail.empty()) return "";
      return final.back() == '\\' && !tail.empty() ? final + tail.substr(1) : final + tail;
    }
    // A name that is listed in its folder but opens nothing is a link that leads nowhere:
    // where it would lead cannot be told, so neither can the path's.
    const DWORD error = GetLastError();
    WIN32_FIND_DATAW entry;
    HANDLE search = (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                        ? FindFirstFileW(full.c_str(), &entry) : INVALID_HANDLE_VALUE;
    if (search != INVALID_HANDLE_VALUE) {
      FindClose(search);
      return "";
    }
    const size_t slash = full.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 >= full.size() || full.size() <= 3) return "";
    rest = full.substr(slash) + rest;
    full.erase(slash + (slash == 2 ? 1 : 0));  // "C:\" keeps its backslash
  }
}

int TDiskFileSystem::NameCount(const char* path) {
  HANDLE handle = OpenToAsk(WideText(path));
  if (handle == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info;
  const int count = GetFileInformationByHandle(handle, &info) ? int(info.nNumberOfLinks) : 0;
  CloseHandle(handle);
  return count;
}

std::unique_ptr<TInputFile> TDiskFileSystem::OpenRead(const char* path) {
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<TWin32InputFile>(handle);
}

std::unique_ptr<TOutputFile> TDiskFileSystem::Create(const char* path) {
  HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<TWin32OutputFile>(handle);
}

std::unique_ptr<TOutputFile> TDiskFileSystem::CreateNew(const char* path) {
  HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<TWin32OutputFile>(handle);
}

bool TDiskFileSystem::TrustedOwner(const char* path) {
  if (!FileExists(path)) return false;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoA(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                            &descriptor) != ERROR_SUCCESS)
    return false;
  bool trusted = false;
  if (owner && IsValidSid(owner)) {
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
        EqualSid(owner, administrators))
      trusted = true;
    HANDLE token = nullptr;
    if (!trusted && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
      DWORD needed = 0;
      GetTokenInformation(token, TokenUser, nullptr, 0, &needed);
      std::vector<BYTE> user(needed ? needed : 1);
      if (needed && GetTokenInformation(token, TokenUser, user.data(), needed, &needed))
        trusted = EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid) != 0;
      CloseHandle(token);
    }
  }
  LocalFree(descriptor);
  return trusted;
}

// Write-through: the rename is on the disk when the call returns, as the data was flushed
// before it (a new version put in place must survive a power cut whole).
bool TDiskFileSystem::Move(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_WRITE_THROUGH) != 0;
}

bool TDiskFileSystem::Replace(const char* from, const char* to) {
  // A read-only file cannot be created over, so it is not replaced either (Wine, running
  // as root, would let the rename through).
  const DWORD attributes = GetFileAttributesA(to);
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    return false;
  // The file keeps the spelling it has on disc: the final part of to is taken from the
  // directory entry.
  std::string target = to;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(to, &found);
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    const size_t slash = target.find_last_of("\\/:");
    target = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + found.cFileName;
  }
  if (!MoveFileExA(from, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return false;
  SetFileAttributesA(target.c_str(), attributes);  // hidden, system, archive as before
  return true;
}

namespace {

// FILE_DISPOSITION_INFORMATION (class 13) through ntdll, which every version has.
using TNtSetInformationFile = LONG(NTAPI*)(HANDLE, void* status, void* info, ULONG length, int infoClass);

bool DeleteOpenFile(HANDLE handle) {
  static const TNtSetInformationFile set = reinterpret_cast<TNtSetInformationFile>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetInformationFile")));
  if (!set) return false;
  ULONG_PTR status[2] = {0, 0};  // IO_STATUS_BLOCK
  BOOLEAN deleteFile = TRUE;
  return set(handle, status, &deleteFile, sizeof deleteFile, 13) >= 0;
}

}  // namespace

bool TDiskFileSystem::Delete(const char* path) {
  // By handle, and only the file the name itself stands for: Windows opens a link itself
  // (FILE_FLAG_OPEN_REPARSE_POINT), Wine follows it, and then the handle's final path is not
  // the folder's final path and the name, so nothing is deleted. (DeleteFile under Wine
  // deletes what a link leads to.)
  const std::wstring wide = WideText(path);
  if (wide.empty()) return false;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
    return false;
  HANDLE handle = CreateFileW(wide.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool named = !FinalPathsKnown();  // XP: no links
  if (!named) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(wide.c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      FindClose(search);
      const size_t slash = wide.find_last_of(L"\\/");
      const std::string folder = FinalPath(AnsiOf(slash == std::wstring::npos ? L"." : wide.substr(0, slash + 1)).c_str());
      const std::string name = AnsiOf(entry.cFileName);
      const std::string final = HandleFinalPath(handle);
      named = !folder.empty() && !name.empty() &&
              PathKey(final) == PathKey(folder.back() == '\\' ? folder + name : folder + "\\" + name);
    }
  }
  const bool deleted = named && DeleteOpenFile(handle);
  CloseHandle(handle);
  return deleted;
}

bool TDiskFileSystem::CreateDir(const char* path) { return CreateDirectoryA(path, nullptr) != 0; }

bool TDiskFileSystem::DirectoryExists(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string TDiskFileSystem::StoredName(const char* path) {
  // A file's own name, not a pattern: names with wildcards are left as given.
  if (std::strpbrk(path, "*?")) return path;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return path;
  FindClose(search);
  return WithLastPart(path, found.cFileName);
}

bool TDiskFileSystem::FileExists(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool TDiskFileSystem::ReadOnly(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool TDiskFileSystem::MakeReadOnly(const char* path, bool readOnly) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  const DWORD wanted = readOnly ? attributes | FILE_ATTRIBUTE_READONLY : attributes & ~FILE_ATTRIBUTE_READONLY;
  return wanted == attributes || SetFileAttributesA(path, wanted) != 0;
}

TDosStamp LocalStampOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  FILETIME local;
  WORD date = 0, time = 0;
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  FileTimeToDosDateTime(&local, &date, &time);
  return DosStamp(date, time);
}

bool TDiskFileSystem::SetStamp(const char* path, TDosStamp stamp) {
  // The run-time library opens the file for appending to set its time; write access is
  // what SetFileTime needs.
  HANDLE handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  FILETIME local, written;
  bool ok = DosDateTimeToFileTime(DosDate(stamp), DosTime(stamp), &local) &&
            LocalFileTimeToFileTime(&local, &written) &&
            SetFileTime(handle, nullptr, nullptr, &written);
  CloseHandle(handle);
  return ok;
}
