#include "companion_options.h"

#include <vector>

const char* const CompanionUsageText =
    "Usage: menditcon [-check | -rollback [-strict]] [-force] [-target MAIN_EXE_PATH]\n"
    "                 [-wait SECONDS] [-q]\n"
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
    "  -force                install even when the patch does not fit this installation;\n"
    "                        without it, a patch with content checks is judged before\n"
    "                        anything changes, and when any record would fail or finds\n"
    "                        another version nothing is changed (exit code 9)\n"
    "  -wait SECONDS         when files the patch changes are in use by other programs,\n"
    "                        look again every second for up to SECONDS before giving up\n"
    "                        (exit code 7, nothing changed); default 0\n"
    "  -q                    no progress line (\"[n/N] NN%\") before each record\n"
    "  -h, -?, --help        this text\n"
    "Options start with - or / and may be written in any case.\n";

bool ParseCompanionArguments(int argc, const char* const* argv, TCompanionOptions& options,
                             std::string& error) {
  std::string format, wait;
  bool formatGiven = false, waitGiven = false;
  std::vector<std::string> positional;
  const std::vector<TOptionSpec> specs = {
      {"check", &options.Check},           {"rollback", &options.RollBack},
      {"strict", &options.Strict},         {"target", nullptr, &options.Target},
      {"force", &options.Force},
      {"log", nullptr, &options.LogFile},  {"logformat", &formatGiven, &format},
      {"wait", &waitGiven, &wait},         {"q", &options.Quiet},
  };
  if (!ParseOptions(argc, argv, specs, options.Help, positional, error)) return false;
  if (formatGiven) {
    const int choice = ChoiceIndex(format, {"rows", "records"});
    if (choice < 0) {
      error = "Unknown log format " + format + " (rows or records)";
      return false;
    }
    options.LogFormat = choice == 0 ? TLogFormat::Rows : TLogFormat::Records;
  }
  if (waitGiven) {
    // Whole seconds, at most a day.
    const bool digits = !wait.empty() && wait.size() <= 5 && wait.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(wait) > MaxWaitSeconds) {
      error = "-wait takes a number of seconds from 0 to " + std::to_string(MaxWaitSeconds) + ": " + wait;
      return false;
    }
    options.WaitSeconds = std::stoi(wait);
  }
  if (positional.size() > 1) {
    error = "Only one description file can be given";
    return false;
  }
  if (!positional.empty()) options.Description = positional[0];
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
