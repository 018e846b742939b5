#pragma once
// A folder lister over the engine's in-memory file system, for tests.
#include "menditwiz/release_listing.h"
#include "files/memory_file_system.h"

class TMemoryLister : public TFolderLister {
 public:
  explicit TMemoryLister(TMemoryFileSystem& files) : files(files) {}
  bool List(const std::string& folder, std::vector<TFolderEntry>& entries) override;

 private:
  TMemoryFileSystem& files;
};
