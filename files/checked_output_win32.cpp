#include "files/checked_output.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include "files/private_folder_win32.h"
#include "syslib/system_library.h"

namespace {

std::wstring FullPath(const std::string& path) {
  const std::wstring wide = WideText(path);
  wchar_t buffer[MAX_PATH * 2];
  const DWORD length = GetFullPathNameW(wide.c_str(), MAX_PATH * 2, buffer, nullptr);
  return length == 0 || length >= MAX_PATH * 2 ? L"" : std::wstring(buffer, length);
}

bool NotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The file handle is open on is the one full names: its final path is the final path of
// full's folder plus the name as it stands in that folder (its long name; for a link, the
// link's own name). Without final paths (Windows XP, which has no file links) it is.
bool IsNamedFile(HANDLE handle, const std::wstring& full) {
  const std::wstring final = FinalPathOf(handle);
  if (final.empty()) return !FinalPathsKnown();
  const size_t slash = full.find_last_of(L'\\');
  if (slash == std::wstring::npos) return false;
  HANDLE folder = CreateFileW(full.substr(0, slash + 1).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return false;
  std::wstring expected = FinalPathOf(folder);
  CloseHandle(folder);
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(full.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  if (expected.empty()) return false;
  if (expected.back() != L'\\') expected += L'\\';
  return SameFinalPath(final, expected + entry.cFileName);
}

}  // namespace

TOutputName OpenCheckedOutput(const std::string& path, bool text, std::FILE*& file) {
  file = nullptr;
  const std::wstring full = FullPath(path);
  if (full.empty()) return TOutputName::Unusable;
  // A free name is made new; CREATE_NEW never follows a link standing at the name.
  HANDLE handle = CreateFileW(full.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return TOutputName::Unusable;
    // Something stands there: opened as it is, not truncated, until it is known to be the
    // file asked for. A name that exists but opens nothing is a link leading nowhere.
    handle = CreateFileW(full.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
    if (handle == INVALID_HANDLE_VALUE) return NotFound(GetLastError()) ? TOutputName::Link : TOutputName::Unusable;
  }
  TOutputName verdict = TOutputName::Usable;
  BY_HANDLE_FILE_INFORMATION info;
  if (!IsNamedFile(handle, full))
    verdict = TOutputName::Link;
  else if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    verdict = TOutputName::Unusable;
  else if (info.nNumberOfLinks > 1)
    verdict = TOutputName::OtherNames;
  else if (!SetEndOfFile(handle))  // at offset 0: empties it
    verdict = TOutputName::Unusable;
  if (verdict != TOutputName::Usable) {
    CloseHandle(handle);
    return verdict;
  }
  const int descriptor = _open_osfhandle(intptr_t(handle), (text ? _O_TEXT : _O_BINARY) | _O_WRONLY);
  if (descriptor == -1) {
    CloseHandle(handle);
    return TOutputName::Unusable;
  }
  file = _fdopen(descriptor, text ? "wt" : "wb");
  if (!file) {
    _close(descriptor);
    return TOutputName::Unusable;
  }
  return TOutputName::Usable;
}

TOutputName CheckOutputName(const std::string& path) {
  const std::wstring full = FullPath(path);
  if (full.empty()) return TOutputName::Unusable;
  HANDLE handle = CreateFileW(full.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    if (!NotFound(GetLastError())) return TOutputName::Unusable;
    // Free, or a link leading nowhere: a file made new there (and deleted again through
    // its own handle) tells them apart.
    handle = CreateFileW(full.c_str(), DELETE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      CloseHandle(handle);
      return TOutputName::Usable;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? TOutputName::Link : TOutputName::Unusable;
  }
  const bool named = IsNamedFile(handle, full);
  CloseHandle(handle);
  return named ? TOutputName::Usable : TOutputName::Link;
}
