#pragma once
// TWin32FileSystem: the file services of the patch engine on Windows, and the one place
// where the engine's file operations meet the Win32 API (open, read and write at an
// offset, move, delete, create directory, directory test, last-write time as a local DOS
// date/time pair).
//
// Files are opened as the run-time library's "rb" and "wb" open them: others may still
// read and write them, and a read-only file cannot be created over.

#include <string>

#include "file_system.h"

class TWin32FileSystem : public TFileSystem {
 public:
  std::unique_ptr<TInputFile> OpenRead(const char* path) override;
  std::unique_ptr<TOutputFile> Create(const char* path) override;
  bool Move(const char* from, const char* to) override;
  bool Replace(const char* from, const char* to) override;
  bool Delete(const char* path) override;
  bool CreateDir(const char* path) override;
  bool DirectoryExists(const char* path) override;
  bool SetStamp(const char* path, TDosStamp stamp) override;
};

// The last-write time of the file at path as a local DOS stamp, read from its attributes
// without opening it; 0 when they cannot be read. For tools and tests that check the
// stamps a patch left.
TDosStamp LocalStampOf(const std::string& path);
