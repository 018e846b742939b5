#pragma once
// mendit's unattended command line, for administrators and scripts that install a
// self-applying patch without a window:
//
//   mendit.exe /S [/D=FOLDER | -target PATH] [-log FILE [-logformat rows|records]]
//                 [-check | -rollback [-strict]] [-wait SECONDS] [DESCRIPTION_FILE]
//
// /S must come first. /D=FOLDER names the installation folder, as installers take it (the
// rest of the argument is the folder, spaces included when quoted); -target names the main
// executable or its folder. Everything after /S is menditcon's command line, with its
// meaning and its exit codes: the run is menditcon's own. Without a console the rows go to
// the -log file alone; the exit code reaches "start /wait" and scripts.

#include <string>

#include "unattended/companion_options.h"

// The unattended command line and its exit codes, as "mendit /?" shows them in a box.
extern const char* const SilentUsageText;

// Whether the arguments (without the program name) ask for the unattended run.
bool IsSilentCommandLine(int argc, const char* const* argv);

// False with error set for a command line menditcon would refuse, or for both /D= and
// -target.
bool ParseSilentArguments(int argc, const char* const* argv, TCompanionOptions& options, std::string& error);
