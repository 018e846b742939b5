#pragma once
// The builder's command line (exit codes: console/command_line.h).

#include <string>
#include <vector>

#include "cabinet/cab_writer.h"
#include "console/command_line.h"
#include "description/description_file.h"
#include "menditwiz/patch_builder.h"

struct TWizardOptions {
  std::string OldFolder;
  std::string NewFolder;
  std::vector<std::string> AlsoFolders;  // further old releases the patch brings up to date
  std::string MainExecutable;  // file name, in the new release's top folder
  std::string DefaultPath;     // with start-up macros, such as "&PROGRAMS&\TOOL\"
  std::string OutputFolder;
  std::string CabinetName = "PATCH.CAB";
  std::string DescriptionName = "MENDIT.MNI";
  std::string PatchValue;  // the description's Patch value; empty: the cabinet's file name
  std::string ExeName;     // -exe: the self-applying program's file name; empty: none
  std::string StubPath;    // -stub: the mendit.exe it is made of; empty: the default
  TVendorIdentity Vendor;  // -product, -version, -from, -publisher: optional description keys
  bool Quiet = false;
  bool Help = false;  // print the usage and exit codes, build nothing
  // Outputs that exist already are replaced. The command line sets it only with -f, so a
  // typo'd output folder never overwrites another patch; callers of the build set it freely.
  bool Overwrite = true;
  TCabCompression Compression = TCabCompression::Lzx;
  TDeltaChoice Delta = TDeltaChoice::Block;
};

extern const char* const WizardUsageText;

// False with error set when the arguments (without the program name) do not make a command.
// A help option makes any command line valid (Help set, the rest unchecked).
bool ParseWizardArguments(int argc, const char* const* argv, TWizardOptions& options,
                          std::string& error);
