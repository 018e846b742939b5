#pragma once
// The builder's command line and its exit codes.

#include <string>

#include "cab_writer.h"
#include "patch/tool_command_line.h"

// Exit codes for scripts: the scheme shared with menditcon (patch/tool_command_line.h).
enum TWizardExit {
  WizardSuccess = ToolExitDone,             // patch built, verified and written
  WizardVerifyFailed = ToolExitFailed,      // the patch did not reproduce the new release; nothing written
  WizardInputError = ToolExitNothingDone,   // a folder or file cannot be read, or records cannot express the change
  WizardOutputError = ToolExitOutput,       // the cabinet or the description file cannot be written
  WizardUsage = ToolExitUsage,              // the command line is wrong
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
  bool Help = false;  // print the usage and exit codes, build nothing
  TCabCompression Compression = TCabCompression::Lzx;
};

extern const char* const WizardUsageText;

// False with error set when the arguments (without the program name) do not make a command.
// A help option makes any command line valid (Help set, the rest unchecked).
bool ParseWizardArguments(int argc, const char* const* argv, TWizardOptions& options,
                          std::string& error);
