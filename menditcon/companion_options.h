#pragma once
// The console companion's command line.

#include <string>

enum TCompanionExit {
  CompanionClean = 0,     // no error row was written
  CompanionErrors = 1,    // at least one error row was written
  CompanionUsage = 2,     // the command line is wrong
};

struct TCompanionOptions {
  std::string Description;  // the description file; "" for MENDIT.MNI beside the program
  std::string Target;       // the main executable's path; "" for DefaultPath followed by Name
  std::string LogFile;      // "" for none
  bool Check = false;
};

extern const char* const CompanionUsageText;

// Arguments without the program name.
bool ParseCompanionArguments(int argc, const char* const* argv, TCompanionOptions& options,
                             std::string& error);
