// Stand-in for the Windows full-path service on other hosts: the process's current
// directory, shown as drive C: with backslashes, resolved by the portable rendering.
#include <unistd.h>

#include <climits>
#include <string>

#include "paths/full_path.h"

bool AbsolutePath(const char* text, char* out, size_t size) {
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) == nullptr) {
    if (size > 0) out[0] = '\0';
    return false;
  }
  std::string current = "C:";
  for (const char* p = cwd; *p; ++p) current += (*p == '/') ? '\\' : *p;
  return ResolveWindowsPath(text, current.c_str(), out, size);
}
