#include "memory_lister.h"

namespace {
// The name of path's direct child below folder (key forms), or "" when it is not one.
std::string ChildName(const std::string& folderKey, const std::string& path) {
  const std::string key = TMemoryFileSystem::Key(path);
  if (key.size() <= folderKey.size() + 1 || key.compare(0, folderKey.size(), folderKey) != 0 ||
      key[folderKey.size()] != '\\')
    return "";
  const std::string rest = path.substr(folderKey.size() + 1);
  return rest.find('\\') == std::string::npos && rest.find('/') == std::string::npos ? rest : "";
}
}  // namespace

bool TMemoryLister::List(const std::string& folder, std::vector<TFolderEntry>& entries) {
  entries.clear();
  if (!files.DirectoryExists(folder.c_str())) return false;
  const std::string folderKey = TMemoryFileSystem::Key(folder);
  for (const std::string& d : files.DirectoryNames()) {
    const std::string name = ChildName(folderKey, d);
    if (!name.empty()) entries.push_back({name, true});
  }
  for (const std::string& f : files.FileNames()) {
    const std::string name = ChildName(folderKey, f);
    if (!name.empty()) entries.push_back({name, false});
  }
  return true;
}
