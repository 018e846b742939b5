#pragma once
// What the command-line tools (menditcon, menditwiz) share with the scripts that call them:
// one scheme of exit codes, and options that start with '-' or '/' in any case, as Windows
// users expect, read by one option loop.

#include <string>
#include <vector>

// Exit codes. Each tool uses the ones that can happen to it; a code never changes meaning.
enum TToolExit {
  ToolExitDone = 0,        // every record applied (menditwiz: patch built, verified, written)
  ToolExitSkipped = 1,     // some records skipped with a warning, none failed
  ToolExitFailed = 2,      // at least one record failed (menditwiz: the patch did not
                           // reproduce the new release; nothing written)
  ToolExitRolledBack = 3,  // a record failed and the application was put back as it was
  ToolExitNothingDone = 4, // unreadable description file, patch, folder or input; no cabinet
                           // library; an unfinished earlier run could not be put back
  ToolExitOutput = 5,      // an output file (log, cabinet, description file) cannot be written
  ToolExitUsage = 6,       // wrong command line
  ToolExitFilesInUse = 7,  // files the patch changes are held by other programs; nothing
                           // was changed
  ToolExitInternal = 8,    // the run was ended by an internal error or by lack of memory;
                           // the log's rows say how far it got (menditwiz: nothing written)
  ToolExitDoesNotFit = 9,  // the patch does not fit this installation (a record would fail
                           // or finds another version); nothing was changed
};

// The row that ends a run an exception stopped: "Cannot install patch: internal error: WHAT",
// or for a null what (lack of memory) "Cannot install patch: not enough memory".
std::string InternalErrorRow(const char* what);

// The table above as the tools print it after their usage text.
extern const char* const ToolExitCodesText;

// True when arg is the option name (given without its leading character) written as
// "-name" or "/name", in any case.
bool IsOption(const std::string& arg, const char* name);

// True for an argument that asks for help: -h, -?, /h, /?, --help, -help, /help.
bool IsHelpOption(const std::string& arg);

// True for "-x..." or "/x...": an option, known or not. A lone "-" or "/" is not one.
bool LooksLikeOption(const std::string& arg);

// One option of a tool: its name (without the leading character) and what it does - take the
// next argument as its Value, and set Flag (for an option with a value: that it was given).
struct TOptionSpec {
  const char* Name;
  bool* Flag = nullptr;
  std::string* Value = nullptr;
  std::vector<std::string>* Values = nullptr;  // an option that may be given again: each value
};

// The option loop both tools share: help options set help, the options of specs do as they
// say, and every argument that is no option goes to positional, in order. False with error set
// for an unknown option or an option without its value. On POSIX systems an argument that
// starts with '/' and names no option is a path (/srv/rel/1.0), not an unknown option.
bool ParseOptions(int argc, const char* const* argv, const std::vector<TOptionSpec>& specs, bool& help,
                  std::vector<std::string>& positional, std::string& error);

// The place of value among choices, compared without regard to case; -1 when it is none.
int ChoiceIndex(const std::string& value, const std::vector<const char*>& choices);
