#include "command_line.h"

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
    "  6  wrong command line\n"
    "  7  files the patch changes are in use by other programs; nothing was changed\n"
    "     (menditcon)\n"
    "  8  an internal error or lack of memory ended the run; the log says how far it\n"
    "     got (menditcon -rollback: its next start puts the files back; menditwiz:\n"
    "     nothing written)\n"
    "  9  the patch does not fit this installation; nothing was changed (menditcon and\n"
    "     mendit /S, for patches with content checks; -force installs anyway)\n";

std::string InternalErrorRow(const char* what) {
  return what ? std::string("Cannot install patch: internal error: ") + what : "Cannot install patch: not enough memory";
}

#ifdef _WIN32
const bool PathsStartWithSlash = false;
#else
const bool PathsStartWithSlash = true;
#endif

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

bool ParseOptions(int argc, const char* const* argv, const std::vector<TOptionSpec>& specs, bool& help,
                  std::vector<std::string>& positional, std::string& error) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (IsHelpOption(arg)) {
      help = true;
      continue;
    }
    const TOptionSpec* option = nullptr;
    for (const TOptionSpec& s : specs)
      if (IsOption(arg, s.Name)) option = &s;
    if (option) {
      if (option->Value || option->Values) {
        if (i + 1 >= argc) {
          error = "The option " + arg + " needs a value";
          return false;
        }
        ++i;
        if (option->Value) *option->Value = argv[i];
        if (option->Values) option->Values->push_back(argv[i]);
      }
      if (option->Flag) *option->Flag = true;
    } else if (LooksLikeOption(arg) && !(PathsStartWithSlash && arg[0] == '/')) {
      error = "Unknown option " + arg;
      return false;
    } else {
      positional.push_back(arg);
    }
  }
  return true;
}

int ChoiceIndex(const std::string& value, const std::vector<const char*>& choices) {
  for (size_t i = 0; i < choices.size(); ++i)
    if (!value.empty() && IsOption("-" + value, choices[i])) return static_cast<int>(i);
  return -1;
}
