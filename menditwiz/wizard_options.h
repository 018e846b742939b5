#pragma once
// The builder's command line and its exit codes.

#include <string>

// Exit codes, for scripts.
enum TWizardExit {
  WizardSuccess = 0,       // patch built, verified and written
  WizardUsage = 1,         // the command line is wrong
  WizardInputError = 2,    // a folder or file cannot be read, or records cannot express the change
  WizardVerifyFailed = 3,  // the patch did not reproduce the new release; nothing written
  WizardOutputError = 4,   // the cabinet or the description file cannot be written
};

struct TWizardOptions {
  std::string OldFolder;
  std::string NewFolder;
  std::string MainExecutable;  // file name, in the new release's top folder
  std::string DefaultPath;     // with start-up macros, such as "&PROGRAMS&\TOOL\"
  std::string OutputFolder;
  std::string CabinetName = "PATCH.CAB";
  std::string DescriptionName = "MENDIT.MNI";
  std::string PatchValue;  // the description's Patch value; empty: the cabinet's file name
  bool Quiet = false;
};

extern const char* const WizardUsageText;

// False with error set when the arguments (without the program name) do not make a command.
bool ParseWizardArguments(int argc, const char* const* argv, TWizardOptions& options,
                          std::string& error);
