// The absolute form from the operating system's full-path service.
#include <windows.h>

#include "paths/full_path.h"

bool AbsolutePath(const char* text, char* out, size_t size) {
  if (size == 0) return false;
  out[0] = '\0';
  if (text == nullptr || text[0] == '\0') return false;
  // The result is the length without the NUL on success, or the size needed (with the NUL)
  // when out is too small, or 0 on failure.
  const DWORD length = GetFullPathNameA(text, static_cast<DWORD>(size), out, nullptr);
  if (length == 0 || length >= size) {
    out[0] = '\0';
    return false;
  }
  return true;
}
