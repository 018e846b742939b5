#include "companion_options.h"

const char* const CompanionUsageText =
    "Usage: menditcon [-check | -rollback [-strict]] [-target MAIN_EXE_PATH]\n"
    "                 [-log FILE [-logformat rows|records]] [DESCRIPTION_FILE]\n"
    "  DESCRIPTION_FILE      the patch description file (default MENDIT.MNI beside menditcon)\n"
    "  -target PATH          the installed main executable (default: DefaultPath and Name\n"
    "                        of the description file)\n"
    "  -log FILE             write the log to FILE as well\n"
    "  -logformat rows       the log rows, as on the screen (default)\n"
    "  -logformat records    one line per record: number, outcome, kind, path, message\n"

    "  -check                change nothing: run the patch over the files with every change\n"
    "                        kept in memory, and report which records would apply, be\n"
    "                        skipped or fail\n"

    "  -rollback             all or nothing: when a record fails, put every file back as\n"
    "                        it was (content, date/time, presence); a journal beside the\n"
    "                        application folder lets the next start of menditcon finish\n"
    "                        putting back a run that was interrupted\n"
    "  -strict               with -rollback: a skipped record puts everything back too\n"
    "  -h, -?, --help        this text\n"
    "Options start with - or / and may be written in any case.\n";

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
    if (IsHelpOption(arg)) {
      options.Help = true;
    } else if (IsOption(arg, "check")) {
      options.Check = true;
    } else if (IsOption(arg, "rollback")) {
      options.RollBack = true;
    } else if (IsOption(arg, "strict")) {
      options.Strict = true;
    } else if (IsOption(arg, "target")) {
      if (!value(options.Target)) return false;
    } else if (IsOption(arg, "log")) {
      if (!value(options.LogFile)) return false;
    } else if (IsOption(arg, "logformat")) {
      std::string format;
      if (!value(format)) return false;
      if (IsOption("-" + format, "rows")) {
        options.LogFormat = TLogFormat::Rows;
      } else if (IsOption("-" + format, "records")) {
        options.LogFormat = TLogFormat::Records;
      } else {
        error = "Unknown log format " + format + " (rows or records)";
        return false;
      }
    } else if (LooksLikeOption(arg)) {
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
  if (options.Strict && !options.RollBack) {
    error = "-strict needs -rollback";
    return false;
  }
  if (options.Check && options.RollBack) {
    error = "-check changes nothing, so it cannot be combined with -rollback";
    return false;
  }
  return true;
}
