#include <windows.h>

#include "framework/module_folder.h"
#include "syslib/program_file.h"

std::string ProgramFolder(unsigned long nameSize) {
  std::string name = ProgramFile();
  if (name.empty()) {
    MessageBoxExA(nullptr, "GetModuleFileName failed!", "Error", MB_OK | MB_ICONHAND, 0);
    return "";
  }
  // As the system cuts a name read into nameSize characters.
  if (name.size() > nameSize) name.resize(nameSize);
  return ModuleFolderOf(name.c_str());
}
