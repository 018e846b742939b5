#pragma once
// The console companion's command line (exit codes: console/command_line.h).

#include <string>

#include "console/command_line.h"

// What -log writes: the log rows, or one line per record (record_log.h).
enum class TLogFormat { Rows, Records };

struct TCompanionOptions {
  std::string Description;  // the description file; "" for MENDIT.MNI beside the program
  std::string Target;       // the main executable's path; "" for DefaultPath followed by Name
  std::string LogFile;      // "" for none
  TLogFormat LogFormat = TLogFormat::Rows;
  bool Check = false;
  bool RollBack = false;    // put everything back when a record fails
  bool Strict = false;      // with RollBack: a skipped record rolls back too
  bool Force = false;       // install a patch that does not fit this installation anyway
  bool Help = false;        // print the usage and exit codes, do nothing else
  bool Quiet = false;       // no "[n/N] NN%" line before each record
  int WaitSeconds = 0;      // how long files in use are waited for before the run gives up
};

extern const char* const CompanionUsageText;

// The longest -wait: a day.
constexpr int MaxWaitSeconds = 86400;

// Arguments without the program name.
bool ParseCompanionArguments(int argc, const char* const* argv, TCompanionOptions& options,
                             std::string& error);
