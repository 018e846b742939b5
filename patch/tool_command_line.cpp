#include "tool_command_line.h"

#include <cctype>

const char* const ToolExitCodesText =
    "Exit codes (the same in menditcon and menditwiz):\n"
    "  0  every record applied (menditwiz: patch built, verified and written)\n"
    "  1  some records skipped with a warning, none failed\n"
    "  2  at least one record failed (menditwiz: the patch did not reproduce the new\n"
    "     release; nothing written)\n"
    "  3  a record failed and the application was put back as it was (menditcon -rollback)\n"
    "  4  nothing could be done: unreadable description file, patch or input folder,\n"
    "     no cabinet library, or an unfinished earlier run could not be put back\n"
    "  5  an output file (log, cabinet, description file) cannot be written\n"
    "  6  wrong command line\n";

bool LooksLikeOption(const std::string& arg) {
  return arg.size() > 1 && (arg[0] == '-' || arg[0] == '/');
}

bool IsOption(const std::string& arg, const char* name) {
  if (!LooksLikeOption(arg)) return false;
  size_t i = 1;
  for (; name[i - 1] != '\0'; ++i) {
    if (i >= arg.size()) return false;
    if (std::tolower(static_cast<unsigned char>(arg[i])) != std::tolower(static_cast<unsigned char>(name[i - 1])))
      return false;
  }
  return i == arg.size();
}

bool IsHelpOption(const std::string& arg) {
  return IsOption(arg, "h") || IsOption(arg, "?") || IsOption(arg, "help") || IsOption(arg, "-help");
}
