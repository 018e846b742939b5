#include "dir_listing.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

bool ListOrdinaryFiles(const std::string& dir, const std::string& wildcard, std::vector<std::string>& names) {
  const std::string path = dir.empty() ? std::string(".") : dir;
  DIR* handle = opendir(path.c_str());
  if (!handle) return false;
  while (const dirent* entry = readdir(handle)) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    if (fnmatch(wildcard.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
    bool regular = false;
    if (entry->d_type == DT_REG) {
      regular = true;
    } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat info;
      regular = stat((path + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode);
    }
    if (regular) names.push_back(name);
  }
  closedir(handle);
  return true;
}
