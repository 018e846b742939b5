#pragma once
// The builder's machine services on POSIX systems (Linux build servers): the engine's file
// services, folder listing, a scratch folder and removing a tree.
//
// The engine and the builder spell paths the Windows way: '\' between parts, and the engine
// turns the paths of records to upper case. Here '\' counts as '/', and a part that does not
// exist as spelt is looked up without regard to ASCII case among its folder's entries, so
// that the file a Windows path means is found on a case-sensitive file system. A part found
// nowhere keeps its spelling (a file or folder about to be created).
//
// Read-only files behave as on Windows: they cannot be created over or deleted.

#include <string>
#include <vector>

#include "patch/file_system.h"
#include "release_listing.h"
#include "wizard_machine.h"

class TPosixFileSystem : public TFileSystem {
 public:
  std::unique_ptr<TInputFile> OpenRead(const char* path) override;
  std::unique_ptr<TOutputFile> Create(const char* path) override;
  bool Move(const char* from, const char* to) override;
  bool Delete(const char* path) override;
  bool CreateDir(const char* path) override;
  bool DirectoryExists(const char* path) override;
  bool SetStamp(const char* path, TDosStamp stamp) override;
};

class TPosixFolderLister : public TFolderLister {
 public:
  bool List(const std::string& folder, std::vector<TFolderEntry>& entries) override;
};

// The path on disk that a Windows-style path names (see above).
std::string PosixPath(const std::string& path);
