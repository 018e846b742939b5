#include "release_listing.h"

#include <algorithm>


bool ScanRelease(TFolderLister& lister, TFileSystem& files, const std::string& root,
                 TRelease& release, std::string& error) {
  release = TRelease();
  // Folders still to list, as paths relative to root ("" is root itself). An explicit
  // stack: a deep tree cannot exhaust the call stack.
  std::vector<std::string> pending{""};
  while (!pending.empty()) {
    const std::string folder = pending.back();
    pending.pop_back();
    std::vector<TFolderEntry> entries;
    const std::string where = JoinPath(root, folder);
    if (!lister.List(where, entries)) {
      error = "Cannot read folder " + where;
      return false;
    }
    for (const TFolderEntry& entry : entries) {
      if (!entry.NameHeld) {
        release.UnheldNames.push_back(JoinPath(folder, entry.Name));
        continue;
      }
      const std::string relative = JoinPath(folder, entry.Name);
      if (entry.IsDirectory) {
        release.Directories.push_back(relative);
        pending.push_back(relative);
        continue;
      }
      const std::string path = JoinPath(root, relative);
      std::unique_ptr<TInputFile> file = files.OpenRead(path.c_str());
      TReleaseFile found;
      found.Path = relative;
      if (!file || (found.Size = file->Size()) < 0 || !file->GetStamp(found.Stamp)) {
        error = "Cannot read file " + path;
        return false;
      }
      release.Files.push_back(found);
    }
  }
  std::sort(release.Files.begin(), release.Files.end(),
            [](const TReleaseFile& a, const TReleaseFile& b) { return PathKey(a.Path) < PathKey(b.Path); });
  std::sort(release.Directories.begin(), release.Directories.end(),
            [](const std::string& a, const std::string& b) { return PathKey(a) < PathKey(b); });
  return true;
}
