#pragma once
// A release: every file under a folder, with its path relative to the folder, its size and
// its date/time as the patch engine will see it.
//
// Folders are listed through TFolderLister (FindFirstFile on Windows, a memory tree in
// tests); sizes and stamps come from the engine's own file services, so that the stamps
// written into records are exactly those the engine compares at apply time.

#include <cstdint>
#include <string>
#include <vector>

#include "files/file_system.h"
#include "paths/path_name.h"

struct TFolderEntry {
  std::string Name;  // without folder, spelt as stored
  bool IsDirectory = false;
  // False when the system's name has no spelling in the code page patches carry names in
  // (Name is then the system's own spelling, for messages).
  bool NameHeld = true;
};

class TFolderLister {
 public:
  virtual ~TFolderLister() = default;
  // The entries of folder (without "." and ".."). False when the folder cannot be read.
  virtual bool List(const std::string& folder, std::vector<TFolderEntry>& entries) = 0;
};

struct TReleaseFile {
  std::string Path;  // relative to the release folder, parts joined by '\', spelt as stored
  int64_t Size = 0;
  TDosStamp Stamp = 0;
};

struct TRelease {
  std::vector<TReleaseFile> Files;         // sorted by Key
  std::vector<std::string> Directories;    // relative paths of every folder below the root
  // Files and folders whose names the code page cannot hold (not listed above, nor looked
  // into), relative paths in the system's own spelling.
  std::vector<std::string> UnheldNames;
};


// Lists root and every folder below it. False with error set to a sentence naming the folder
// or file that cannot be read.
bool ScanRelease(TFolderLister& lister, TFileSystem& files, const std::string& root,
                 TRelease& release, std::string& error);
