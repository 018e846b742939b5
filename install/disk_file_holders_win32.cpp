#include <windows.h>

#include "file_holders.h"
#include "restart_manager_win32.h"

namespace {

// Whether opening path with access and share fails because another process holds it.
bool Refused(const std::string& path, DWORD access, DWORD share) {
  HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return false;
  }
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace

bool TDiskFileHolders::Held(const std::string& path, unsigned uses, std::vector<std::string>& holders) {
  // The engine's own opens (files/disk_file_system_win32.cpp): reading shares reading and
  // writing; renaming, replacing and deleting open the file for DELETE, which every handle
  // open on it must share.
  const bool held =
      ((uses & FileUseRead) && Refused(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE)) ||
      ((uses & FileUseRemove) && Refused(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
  if (held) holders = ProgramsHolding(path);
  return held;
}
