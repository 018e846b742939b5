#include "system_library.h"

#include <cstring>

namespace {
// The LOAD_LIBRARY_SEARCH_* flags came with Windows 8 (and an update of Windows 7); the
// systems that understand them have AddDllDirectory, the documented way to tell.
bool SearchFlagsKnown() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  return kernel && GetProcAddress(kernel, "AddDllDirectory") != nullptr;
}
}  // namespace

HMODULE LoadSystemLibrary(const char* name) {
  if (std::strpbrk(name, "\\/:")) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (SearchFlagsKnown()) return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, sizeof path);
  if (length == 0) return nullptr;
  if (length + 1 + std::strlen(name) >= sizeof path) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  path[length] = '\\';
  std::strcpy(path + length + 1, name);
  // The altered search path looks for the library's own dependencies in its folder too.
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void LimitDllSearchToSystemFolder() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return;
  using TSetDefault = BOOL(WINAPI*)(DWORD);
  using TSetDirectory = BOOL(WINAPI*)(LPCSTR);
  auto setDefault = reinterpret_cast<TSetDefault>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  auto setDirectory = reinterpret_cast<TSetDirectory>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
  if (setDirectory) setDirectory("");
}

std::string AnsiText(const wchar_t* text) {
  // No best fit: a look-alike letter (a full-width "A", say) must not read as the plain one,
  // so a name from a certificate cannot pass for another. What the code page lacks is '?'.
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, "?", nullptr);
  if (length <= 1) return std::string();
  std::string ansi(size_t(length), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, &ansi[0], length, "?", nullptr);
  ansi.resize(size_t(length) - 1);
  return ansi;
}

std::wstring WideText(const std::string& text) {
  if (text.empty() || text.size() > 0x7FFFFFFF) return std::wstring();
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(size_t(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), &wide[0], length);
  return wide;
}
