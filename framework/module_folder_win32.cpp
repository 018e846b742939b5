#include <windows.h>

#include <vector>

#include "framework/module_folder.h"

std::string ProgramFolder(unsigned long nameSize) {
  // One more byte than the system is told of: a truncated name may come without its
  // terminator (older systems), and the text must stay within the buffer.
  std::vector<char> name(nameSize + 1, '\0');
  const DWORD length = GetModuleFileNameA(nullptr, name.data(), nameSize);
  if (length == 0) {
    MessageBoxExA(nullptr, "GetModuleFileName failed!", "Error", MB_OK | MB_ICONHAND, 0);
    return "";
  }
  name[length < nameSize ? length : nameSize] = '\0';
  return ModuleFolderOf(name.data());
}
