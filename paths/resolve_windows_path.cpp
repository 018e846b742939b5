// A portable rendering of how Windows makes a path absolute. The native build uses it in
// place of GetFullPathNameA; the Windows test build checks it against the real service.
#include <cstring>
#include <string>
#include <vector>

#include "paths/full_path.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Adds the components of text to parts, resolving "." and ".." (never above the root).
void AddComponents(const char* text, std::vector<std::string>& parts) {
  while (*text) {
    while (IsSeparator(*text)) ++text;
    const char* start = text;
    while (*text && !IsSeparator(*text)) ++text;
    const std::string part(start, text - start);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
}

}  // namespace

bool ResolveWindowsPath(const char* text, const char* currentDir, char* out, size_t size) {
  if (size == 0) return false;
  out[0] = '\0';
  if (text == nullptr || text[0] == '\0' || currentDir == nullptr ||
      std::strlen(currentDir) < 2 || currentDir[1] != ':') {
    return false;
  }

  std::string root;  // "C:\" or "\\server\share"
  std::vector<std::string> parts;
  const char* rest = text;
  const std::string currentRoot = std::string(currentDir, 2) + "\\";
  if (IsSeparator(text[0]) && IsSeparator(text[1])) {
    // \\server\share: the first two names are the root and ".." never climbs above it.
    const char* p = text + 2;
    root = "\\\\";
    for (int names = 0; names < 2 && *p; ++names) {
      const char* start = p;
      while (*p && !IsSeparator(*p)) ++p;
      if (names == 1) root += '\\';
      root.append(start, p - start);
      if (*p) ++p;
    }
    rest = p;
  } else if (text[1] == ':') {
    root = std::string(text, 2) + "\\";
    rest = text + 2;
    // "D:X" is relative to the current directory of drive D: the process keeps one only for
    // its current drive; on any other drive it is the root.
    if (!IsSeparator(text[2]) && UpperAscii(text[0]) == UpperAscii(currentDir[0])) {
      root = currentRoot;
      AddComponents(currentDir + 2, parts);
    }
  } else if (IsSeparator(text[0])) {
    root = currentRoot;
  } else {
    root = currentRoot;
    AddComponents(currentDir + 2, parts);
  }
  AddComponents(rest, parts);

  // Windows drops dots and spaces that end the last component ("A." is "A").
  if (!parts.empty()) {
    std::string& last = parts.back();
    while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
    if (last.empty()) parts.pop_back();
  }

  std::string full = root;
  for (const std::string& part : parts) {
    if (full.back() != '\\') full += '\\';
    full += part;
  }
  const size_t length = std::strlen(text);
  if (!parts.empty() && IsSeparator(text[length - 1])) full += '\\';

  if (full.size() >= size) return false;
  std::memcpy(out, full.c_str(), full.size() + 1);
  return true;
}
