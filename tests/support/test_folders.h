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
// counter; removed with its contents (read-only files too) when the object goes. With enter,
// it is the current directory for the object's life.
class TScratchFolder {
 public:
  explicit TScratchFolder(const std::string& prefix, bool enter = false);
  ~TScratchFolder();
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  // Without a closing backslash.
  const std::string& Path() const { return Folder; }
  // With a closing backslash.
  std::string Dir() const { return Folder + "\\"; }
  // The path of name in the folder.
  std::string operator/(const std::string& name) const { return Dir() + name; }

 private:
  std::string Folder;
  std::string Previous;  // the current directory before, when entered
};
