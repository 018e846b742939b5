#include "folder_lock.h"

#include <windows.h>

#include "files/journal_file_system.h"
#include "report/patch_reporter.h"

std::string SystemTempFolder() {
  char temp[MAX_PATH + 1] = "";
  const DWORD length = GetTempPathA(sizeof temp, temp);
  return length > 0 && length < sizeof temp ? temp : "";
}

TFolderLock::~TFolderLock() {
  if (handle) CloseHandle(handle);
}

bool TFolderLock::Take(const std::string& root, TPatchReporter& reporter) {
  if (handle) return true;
  const std::string path = LockPathFor(root, SystemTempFolder());
  // No sharing at all: the open of a second run fails with a sharing violation while this
  // handle lives. A lock file someone left or planted is opened (and deleted) all the same.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
      reporter.ReportError("Cannot install patch: another run is under way (%s)", root.c_str());
    else
      reporter.ReportError("Cannot install patch: cannot write the lock file %s", path.c_str());
    return false;
  }
  handle = file;
  return true;
}
