#include "files/disk_file_system.h"

#include <windows.h>
#include <aclapi.h>

#include <climits>
#include <cstring>
#include <vector>

namespace {

// ReadFile and WriteFile take 32-bit counts; larger requests go in pieces of this size.
constexpr size_t MaxChunk = 1u << 30;

bool Seek(HANDLE handle, int64_t offset) {
  if (offset < 0) return false;
  LARGE_INTEGER to;
  to.QuadPart = offset;
  return SetFilePointerEx(handle, to, nullptr, FILE_BEGIN) != 0;
}

class TWin32InputFile : public TInputFile {
 public:
  explicit TWin32InputFile(HANDLE handle) : handle(handle) {}
  ~TWin32InputFile() override { CloseHandle(handle); }

  int64_t Read(int64_t offset, void* buffer, size_t size) override {
    if (!Seek(handle, offset)) return -1;
    size_t done = 0;
    while (done < size) {
      DWORD want = static_cast<DWORD>(size - done < MaxChunk ? size - done : MaxChunk);
      DWORD got = 0;
      if (!ReadFile(handle, static_cast<uint8_t*>(buffer) + done, want, &got, nullptr)) return -1;
      if (got == 0) break;  // end of file
      done += got;
    }
    return static_cast<int64_t>(done);
  }

  int64_t Size() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size)) return -1;
    return size.QuadPart;
  }

  bool GetStamp(TDosStamp& stamp) override {
    FILETIME written, local;
    WORD date = 0, time = 0;
    if (!GetFileTime(handle, nullptr, nullptr, &written)) return false;
    if (!FileTimeToLocalFileTime(&written, &local)) return false;
    if (!FileTimeToDosDateTime(&local, &date, &time)) return false;
    stamp = DosStamp(date, time);
    return true;
  }

 private:
  HANDLE handle;
};

class TWin32OutputFile : public TOutputFile {
 public:
  explicit TWin32OutputFile(HANDLE handle) : handle(handle) {}
  ~TWin32OutputFile() override { CloseHandle(handle); }

  bool Write(int64_t offset, const void* buffer, size_t size) override {
    if (!Seek(handle, offset)) return false;
    size_t done = 0;
    while (done < size) {
      DWORD want = static_cast<DWORD>(size - done < MaxChunk ? size - done : MaxChunk);
      DWORD put = 0;
      if (!WriteFile(handle, static_cast<const uint8_t*>(buffer) + done, want, &put, nullptr) ||
          put == 0)
        return false;
      done += put;
    }
    return true;
  }
  bool Flush() override { return FlushFileBuffers(handle) != 0; }

 private:
  HANDLE handle;
};

}  // namespace

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

bool TDiskFileSystem::Delete(const char* path) { return DeleteFileA(path) != 0; }

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
