#include "dir_listing.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

bool ListOrdinaryFiles(const std::string& Dir, const std::string& Wildcard, std::vector<std::string>& Names) {
  const std::string Path = Dir.empty() ? std::string(".") : Dir;
  DIR* Handle = opendir(Path.c_str());
  if (!Handle) return false;
  while (const dirent* Entry = readdir(Handle)) {
    const std::string Name = Entry->d_name;
    if (Name.empty() || Name[0] == '.') continue;
    if (fnmatch(Wildcard.c_str(), Name.c_str(), FNM_CASEFOLD) != 0) continue;
    bool Regular = false;
    if (Entry->d_type == DT_REG) {
      Regular = true;
    } else if (Entry->d_type == DT_LNK || Entry->d_type == DT_UNKNOWN) {
      struct stat Info;
      Regular = stat((Path + "/" + Name).c_str(), &Info) == 0 && S_ISREG(Info.st_mode);
    }
    if (Regular) Names.push_back(Name);
  }
  closedir(Handle);
  return true;
}
