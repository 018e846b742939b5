#pragma once
// The console companion's command line.

#include <string>

#include "patch/tool_command_line.h"

// The exit codes of the shared scheme (patch/tool_command_line.h), as the companion uses them.
enum TCompanionExit {
  CompanionClean = ToolExitDone,             // every record applied
  CompanionSkipped = ToolExitSkipped,        // warning rows, no error row
  CompanionErrors = ToolExitFailed,          // at least one record (or the directory) failed
  CompanionRolledBack = ToolExitRolledBack,  // -rollback put the application back
  CompanionNothingDone = ToolExitNothingDone,
  CompanionOutputError = ToolExitOutput,     // the log file cannot be written
  CompanionUsage = ToolExitUsage,            // the command line is wrong
};

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
  bool Help = false;        // print the usage and exit codes, do nothing else
};

extern const char* const CompanionUsageText;

// Arguments without the program name.
bool ParseCompanionArguments(int argc, const char* const* argv, TCompanionOptions& options,
                             std::string& error);
