#include "dir_listing.h"

#include <windows.h>

bool ListOrdinaryFiles(const std::string& Dir, const std::string& Wildcard, std::vector<std::string>& Names) {
  const std::string Pattern = Dir.empty() ? Wildcard : Dir + "\\" + Wildcard;
  WIN32_FIND_DATAA Found;
  HANDLE Search = FindFirstFileA(Pattern.c_str(), &Found);
  if (Search == INVALID_HANDLE_VALUE) {
    DWORD Error = GetLastError();
    return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_NO_MORE_FILES;
  }
  const DWORD Skipped = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  do {
    if ((Found.dwFileAttributes & Skipped) == 0) Names.push_back(Found.cFileName);
  } while (FindNextFileA(Search, &Found));
  FindClose(Search);
  return true;
}
