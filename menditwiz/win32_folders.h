#pragma once
// Folder services of the builder on Windows: listing (FindFirstFile), a scratch folder in
// the system's temporary folder, and removing a tree.

#include <string>
#include <vector>

#include "release_listing.h"
#include "wizard_machine.h"

class TWin32FolderLister : public TFolderLister {
 public:
  bool List(const std::string& folder, std::vector<TFolderEntry>& entries) override;
};

