#include "companion_options.h"

const char* const CompanionUsageText =
    "Usage: menditcon [-check] [-target MAIN_EXE_PATH] [-log FILE] [DESCRIPTION_FILE]\n"
    "  DESCRIPTION_FILE      the patch description file (default MENDIT.MNI beside menditcon)\n"
    "  -target PATH          the installed main executable (default: DefaultPath and Name\n"
    "                        of the description file)\n"
    "  -log FILE             write the log rows to FILE as well\n"
    "  -check                change nothing: report which records would apply, be skipped\n"
    "                        or fail\n"
    "Exit codes: 0 no error row, 1 error rows written, 2 wrong command line.\n";

bool ParseCompanionArguments(int argc, const char* const* argv, TCompanionOptions& options,
                             std::string& error) {
  bool haveDescription = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) {
        error = "The option " + arg + " needs a value";
        return false;
      }
      into = argv[++i];
      return true;
    };
    if (arg == "-check" || arg == "/check") {
      options.Check = true;
    } else if (arg == "-target" || arg == "/target") {
      if (!value(options.Target)) return false;
    } else if (arg == "-log" || arg == "/log") {
      if (!value(options.LogFile)) return false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "Unknown option " + arg;
      return false;
    } else if (haveDescription) {
      error = "Only one description file can be given";
      return false;
    } else {
      options.Description = arg;
      haveDescription = true;
    }
  }
  return true;
}
