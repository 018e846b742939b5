#pragma once
// TDiskFileSystem: the file services on the machine's own disk, and the one place where the
// file operations meet the operating system (open, read and write at an offset, move,
// delete, create directory, directory test, last-write time as a local DOS date/time pair).
// disk_file_system_win32.cpp implements it on the Win32 API, disk_file_system_posix.cpp on
// POSIX systems (Linux build servers).
//
// Files are opened as the run-time library's "rb" and "wb" open them: others may still
// read and write them, and a read-only file cannot be created over or deleted.
//
// Paths are spelt the Windows way. On POSIX systems '\' counts as '/', and a part that does
// not exist as spelt is looked up without regard to ASCII case among its folder's entries,
// so that the file a Windows path means is found on a case-sensitive file system. A part
// found nowhere keeps its spelling (a file or folder about to be created).

#include <string>

#include "files/file_system.h"

class TDiskFileSystem : public TFileSystem {
 public:
  std::unique_ptr<TInputFile> OpenRead(const char* path) override;
  std::unique_ptr<TOutputFile> Create(const char* path) override;
  std::unique_ptr<TOutputFile> CreateNew(const char* path) override;
  bool Move(const char* from, const char* to) override;
  bool Replace(const char* from, const char* to) override;
  bool Delete(const char* path) override;
  bool CreateDir(const char* path) override;
  bool DirectoryExists(const char* path) override;
  bool FileExists(const char* path) override;
  bool ReadOnly(const char* path) override;
  bool MakeReadOnly(const char* path, bool readOnly) override;
  bool SetStamp(const char* path, TDosStamp stamp) override;
  std::string StoredName(const char* path) override;
  std::string FinalPath(const char* path) override;
  int NameCount(const char* path) override;
#ifdef _WIN32
  // The file's owner (GetNamedSecurityInfo) is the user of this process's token or the
  // Administrators group.
  bool TrustedOwner(const char* path) override;
#endif
};

// The last-write time of the file at path as a local DOS stamp, read from its attributes
// without opening it; 0 when they cannot be read. For tools and tests that check the
// stamps a patch left.
TDosStamp LocalStampOf(const std::string& path);

#ifndef _WIN32
// The path on the POSIX disk that a Windows-style path names (see above). Names are given
// in Windows-1252, as on Windows, and spelt in UTF-8 on the disk (paths/code_page.h).
std::string PosixPath(const std::string& path);
#endif
