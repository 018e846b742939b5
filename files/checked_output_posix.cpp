#include "files/checked_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files/disk_file_system.h"

TOutputName OpenCheckedOutput(const std::string& path, bool text, std::FILE*& file) {
  file = nullptr;
  // O_NOFOLLOW refuses a link as the last part, a dangling one too (ELOOP); nothing is
  // truncated before the checks.
  const int handle = open(PosixPath(path).c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (handle == -1) return errno == ELOOP ? TOutputName::Link : TOutputName::Unusable;
  struct stat info;
  TOutputName verdict = TOutputName::Usable;
  if (fstat(handle, &info) != 0 || !S_ISREG(info.st_mode))
    verdict = TOutputName::Unusable;
  else if (info.st_nlink > 1)
    verdict = TOutputName::OtherNames;
  else if (ftruncate(handle, 0) != 0)
    verdict = TOutputName::Unusable;
  if (verdict == TOutputName::Usable) file = fdopen(handle, text ? "w" : "wb");
  if (!file) {
    close(handle);
    return verdict == TOutputName::Usable ? TOutputName::Unusable : verdict;
  }
  return verdict;
}

TOutputName CheckOutputName(const std::string& path) {
  struct stat info;
  if (lstat(PosixPath(path).c_str(), &info) != 0) return errno == ENOENT ? TOutputName::Usable : TOutputName::Unusable;
  return S_ISLNK(info.st_mode) ? TOutputName::Link : TOutputName::Usable;
}
