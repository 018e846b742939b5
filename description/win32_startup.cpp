#include "startup.h"

#include <windows.h>

#include "paths/macros.h"

std::string ProgramFilesDir() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS)
    return "";
  char value[MAX_PATH + 1] = "";
  DWORD size = MAX_PATH;  // one byte spare for a terminator the registry may not have stored
  DWORD type = 0;
  const LONG status = RegQueryValueExA(key, "ProgramFilesDir", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return "";
  value[size < MAX_PATH ? size : MAX_PATH] = '\0';
  return value;
}

void DefineStartupMacros(TMacroExpander& macros) {
  char systemDir[StartupDirectorySize] = "";
  char windowsDir[StartupDirectorySize] = "";
  if (GetSystemDirectoryA(systemDir, StartupDirectorySize) >= StartupDirectorySize) systemDir[0] = '\0';
  if (GetWindowsDirectoryA(windowsDir, StartupDirectorySize) >= StartupDirectorySize) windowsDir[0] = '\0';
  macros.AddMacro(new TMacroDef("&PROGRAMS&", ProgramFilesDir()));
  macros.AddMacro(new TMacroDef("&SYSTEM&", systemDir));
  macros.AddMacro(new TMacroDef("&WINDOWS&", windowsDir));
}

bool ReadDescriptionFile(const std::string& path, TDescription& description) {
  const TKeyReader read = [&path](const char* key) {
    char value[DescriptionValueSize] = "";
    GetPrivateProfileStringA("Application", key, "", value, DescriptionValueSize, path.c_str());
    return std::string(value);
  };
  if (!ReadDescription(read, description)) return false;
  ReadVendorIdentity(read, description.Vendor);
  return true;
}
