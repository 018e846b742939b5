#include "tests/support/test_folders.h"

#include <windows.h>

void RemoveFolderTree(const std::string& path) {
  std::string folder = path;
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string full = folder + "\\" + name;
      SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveFolderTree(full);
      else
        DeleteFileA(full.c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

void MakeFolders(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  CreateDirectoryA(path.c_str(), nullptr);
}

TScratchFolder::TScratchFolder(const std::string& prefix, bool enter) {
  static unsigned counter = 0;
  char temp[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, temp);
  Folder = std::string(temp) + prefix + "_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
  RemoveFolderTree(Folder);
  CreateDirectoryA(Folder.c_str(), nullptr);
  if (enter) {
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, current);
    Previous = current;
    SetCurrentDirectoryA(Folder.c_str());
  }
}

TScratchFolder::~TScratchFolder() {
  if (!Previous.empty()) SetCurrentDirectoryA(Previous.c_str());
  RemoveFolderTree(Folder);
}
