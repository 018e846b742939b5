#pragma once
// Folder services of the builder on Windows: listing (FindFirstFile), a scratch folder in
// the system's temporary folder, and removing a tree.

#include <string>
#include <vector>

#include "release_listing.h"

class TWin32FolderLister : public TFolderLister {
 public:
  bool List(const std::string& folder, std::vector<TFolderEntry>& entries) override;
};

// The absolute form of path; "" when the system cannot make one.
std::string AbsolutePath(const std::string& path);
bool IsFolder(const std::string& path);
// A new, empty folder below the temporary folder; "" on failure.
std::string MakeScratchFolder();
// Removes path and everything below it (read-only files too). True when it is gone.
bool RemoveTree(const std::string& path);
