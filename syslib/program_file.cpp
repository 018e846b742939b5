#include "program_file.h"

#include <windows.h>

namespace {

// text in the ANSI code page; false when a character has no exact counterpart there.
bool Narrow(const wchar_t* text, std::string& result) {
  char buffer[MAX_PATH * 2];
  BOOL lossy = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, buffer, sizeof buffer, nullptr, &lossy);
  if (size <= 0 || lossy) return false;
  result = buffer;
  return true;
}

}  // namespace

std::string ProgramFile() {
  wchar_t wide[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, wide, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  std::string path;
  if (Narrow(wide, path)) return path;
  wchar_t shortName[MAX_PATH];
  const DWORD shortLength = GetShortPathNameW(wide, shortName, MAX_PATH);
  if (shortLength == 0 || shortLength >= MAX_PATH || !Narrow(shortName, path)) return "";
  return path;
}

std::string ProgramFileFolder() {
  const std::string file = ProgramFile();
  const size_t separator = file.rfind('\\');
  return separator == std::string::npos ? std::string() : file.substr(0, separator + 1);
}
