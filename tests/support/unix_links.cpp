#include "tests/support/unix_links.h"

#include <windows.h>

namespace {

// Linux system call numbers (i386, x86-64).
#if defined(__i386__)
constexpr long CallLink = 9, CallUnlink = 10, CallSymlink = 83;
#else
constexpr long CallLink = 86, CallUnlink = 87, CallSymlink = 88;
#endif

long UnixCall(long number, const char* first, const char* second) {
  long result;
#if defined(__i386__)
  asm volatile("int $0x80" : "=a"(result) : "a"(number), "b"(first), "c"(second) : "memory");
#else
  asm volatile("syscall" : "=a"(result) : "a"(number), "D"(first), "S"(second) : "rcx", "r11", "memory");
#endif
  return result;
}

using TUnixName = char*(CDECL*)(const wchar_t*);

TUnixName UnixNameEntry() {
  static const TUnixName entry = reinterpret_cast<TUnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  return entry;
}

std::string UnixName(const std::string& path) {
  const TUnixName entry = UnixNameEntry();
  if (!entry) return "";
  wchar_t wide[MAX_PATH * 2];
  if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH * 2)) return "";
  char* name = entry(wide);
  if (!name) return "";
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

}  // namespace

bool TUnixLinks::Available() { return UnixNameEntry() != nullptr; }

bool TUnixLinks::Symbolic(const std::string& link, const std::string& target) {
  const std::string from = UnixName(link), to = UnixName(target);
  if (from.empty() || to.empty() || UnixCall(CallSymlink, to.c_str(), from.c_str()) != 0) return false;
  made.push_back(from);
  return true;
}

bool TUnixLinks::Hard(const std::string& link, const std::string& target) {
  const std::string from = UnixName(link), to = UnixName(target);
  if (from.empty() || to.empty() || UnixCall(CallLink, to.c_str(), from.c_str()) != 0) return false;
  made.push_back(from);
  return true;
}

void TUnixLinks::RemoveAll() {
  for (auto it = made.rbegin(); it != made.rend(); ++it) UnixCall(CallUnlink, it->c_str(), nullptr);
  made.clear();
}
