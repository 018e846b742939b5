#pragma once
// Folders for the Windows tests: a whole tree removed (read-only files too), the folders of a
// path created, and a scratch folder that lives as long as a test.

#include <string>

// Removes path (with or without a closing backslash) and everything below it; attributes are
// cleared first so read-only files go too. Nothing happens when it does not exist.
void RemoveFolderTree(const std::string& path);

// Creates path and every folder above it that is missing (a full path with a drive).
void MakeFolders(const std::string& path);

// A fresh folder under the system temporary folder, named after prefix, the process and a
// counter; removed with its contents when the object goes.
class TScratchFolder {
 public:
  explicit TScratchFolder(const std::string& prefix);
  ~TScratchFolder();
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  // Without a closing backslash.
  const std::string& Path() const { return Folder; }

 private:
  std::string Folder;
};
