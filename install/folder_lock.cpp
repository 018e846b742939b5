#include "folder_lock.h"

#include <windows.h>

#include <mutex>
#include <set>

#include "files/disk_file_system.h"
#include "files/journal_file_system.h"
#include "hash/sha256.h"
#include "paths/path_name.h"
#include "report/patch_reporter.h"
#include "syslib/system_library.h"

namespace {

// The locks this process holds: a mutex is its holder's again when asked by the same thread,
// but a second run in the same process must find the folder busy too.
std::mutex heldGuard;
std::set<std::string> held;

}  // namespace

std::string SystemTempFolder() {
  char temp[MAX_PATH + 1] = "";
  const DWORD length = GetTempPathA(sizeof temp, temp);
  return length > 0 && length < sizeof temp ? temp : "";
}

std::string FinalFolderPath(const std::string& root) {
  TDiskFileSystem disk;
  const std::string asked = !root.empty() && root.back() == ':' ? root + "\\" : root;
  std::string final = disk.FinalPath(asked.c_str());
  while (final.size() > 3 && final.back() == '\\') final.pop_back();
  if (final.size() == 3 && final[1] == ':') final.pop_back();  // "C:\" is the drive's folder "C:"
  return final.empty() ? root : final;
}

std::string FolderLockName(const std::string& root) {
  const std::string key = PathKey(FinalFolderPath(root));
  TSha256 hasher;
  hasher.Update(key.data(), key.size());
  return "Global\\MENDIT-LOCK-" + hasher.Final().Hex();
}

TFolderLock::~TFolderLock() {
  if (!handle) return;
  ReleaseMutex(handle);
  CloseHandle(handle);
  std::lock_guard<std::mutex> guard(heldGuard);
  held.erase(name);
}

bool TFolderLock::Take(const std::string& root, TPatchReporter& reporter) {
  if (handle) return true;
  const std::string lockName = FolderLockName(root);
  {
    std::lock_guard<std::mutex> guard(heldGuard);
    if (held.count(lockName)) {
      reporter.ReportError("Cannot install patch: another run is under way (%s)", root.c_str());
      return false;
    }
  }
  HANDLE mutex = CreateMutexW(nullptr, FALSE, WideText(lockName).c_str());
  if (!mutex) {
    // Made by someone who denies us access: held as long as their process lives.
    if (GetLastError() == ERROR_ACCESS_DENIED)
      reporter.ReportError("Cannot install patch: another run is under way (%s)", root.c_str());
    else
      reporter.ReportError("Cannot install patch: cannot make the lock %s", lockName.c_str());
    return false;
  }
  // Abandoned: its holder ended without letting go; the lock is this run's now.
  const DWORD wait = WaitForSingleObject(mutex, 0);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
    CloseHandle(mutex);
    reporter.ReportError("Cannot install patch: another run is under way (%s)", root.c_str());
    return false;
  }
  std::lock_guard<std::mutex> guard(heldGuard);
  held.insert(lockName);
  handle = mutex;
  name = lockName;
  return true;
}
