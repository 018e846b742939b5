#include "record_path.h"

#include <cctype>
#include <cstring>

#include "paths/macros.h"
#include "paths/path_name.h"

namespace {

bool Separator(char c) { return c == '\\' || c == '/'; }

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The leading "&NAME&" of path (empty when the path does not start with one).
std::string LeadingMacro(const std::string& path) {
  if (path.size() < 3 || path[0] != '&') return "";
  const size_t end = path.find('&', 1);
  if (end == std::string::npos || end == 1) return "";
  return path.substr(0, end + 1);
}

bool DeviceName(const std::string& part) {
  // The system takes "CON", "con.txt" and "CON .TXT" alike for the device.
  std::string base = Upper(part.substr(0, part.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static const char* const Devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* device : Devices)
    if (base == device) return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '0' && base[3] <= '9';
}

TRecordPathRule CheckPart(const std::string& part) {
  if (part.empty() || part == "." || part == "..") return TRecordPathRule::LeavesFolder;
  for (unsigned char c : part)
    if (c < 0x20 || std::strchr("<>:\"|?*", c)) return TRecordPathRule::ForbiddenPart;
  if (part.back() == '.' || part.back() == ' ') return TRecordPathRule::ForbiddenPart;
  if (DeviceName(part)) return TRecordPathRule::ForbiddenPart;
  if (Upper(part).find(".MENDITCON-UNDO") != std::string::npos) return TRecordPathRule::UndoJournal;
  return TRecordPathRule::Allowed;
}

// The parts below the folder: at least one, each clean.
TRecordPathRule CheckBelow(const std::string& rest) {
  if (rest.empty() || !Separator(rest[0])) return TRecordPathRule::LeavesFolder;
  size_t start = 1;
  for (;;) {
    size_t end = start;
    while (end < rest.size() && !Separator(rest[end])) ++end;
    const TRecordPathRule rule = CheckPart(rest.substr(start, end - start));
    if (rule != TRecordPathRule::Allowed) return rule;
    if (end == rest.size()) return TRecordPathRule::Allowed;
    start = end + 1;
  }
}

}  // namespace

TRecordPathRule CheckRecordPathSpelling(const std::string& path) {
  const std::string macro = LeadingMacro(path);
  if (macro.empty()) return TRecordPathRule::NoFolderMacro;
  return CheckBelow(path.substr(macro.size()));
}

TRecordPathRule ConfineRecordPath(const std::string& path, TMacroExpander& macros, std::string& expanded) {
  expanded = macros.ExpandMacros(path, true);
  const std::string macro = LeadingMacro(path);
  if (macro.empty()) return TRecordPathRule::NoFolderMacro;
  // The folder: the macro's own expansion, which must be something other than the macro text.
  std::string folder = macros.ExpandMacros(macro, true);
  if (folder.empty() || Upper(folder) == Upper(macro)) return TRecordPathRule::NoFolderMacro;
  // "C:\" names "C:"; the parts below it are checked one by one.
  std::string below;
  if (!PathWithinFolder(expanded, folder, &below) || below.empty()) return TRecordPathRule::LeavesFolder;
  return CheckBelow(below);
}

TResolvedPath ResolveRecordPath(const char* path, TMacroExpander* macros) {
  TResolvedPath resolved;
  resolved.Expanded = path;
  if (!macros) return resolved;
  resolved.Rule = ConfineRecordPath(path, *macros, resolved.Expanded);
  const std::string macro = LeadingMacro(path);
  std::string folder = macro.empty() ? "" : macros->ExpandMacros(macro, true);
  if (folder.empty() || Upper(folder) == Upper(macro)) return resolved;
  while (folder.size() > 1 && Separator(folder.back())) folder.pop_back();
  resolved.Folder = folder.back() == ':' ? folder + "\\" : folder;
  return resolved;
}

