#pragma once
// mendit's unattended command line, for administrators and scripts that install a
// self-applying patch without a window:
//
//   mendit.exe /S [/D=FOLDER | -target PATH] [-log FILE [-logformat rows|records]]
//                 [-check | [-norollback] [-strict]] [-force] [-wait SECONDS] [DESCRIPTION_FILE]
//
// /S may stand anywhere: a script that puts it after other options still gets a run that never
// waits for a person. /D=FOLDER names the installation folder as NSIS installers take it: it
// comes last and the rest of the command line is the folder, spaces included, quoted or not
// (an option after it still ends the folder, for scripts that put /D= earlier);
// -target names the main executable or its folder. The run is all or nothing (menditcon's
// -rollback) unless -norollback or -check is given. The other arguments are menditcon's command
// line, with its meaning and its exit codes: the run is menditcon's own. Without a console the
// rows go to the -log file alone; the exit code reaches "start /wait" and scripts. Help (-h,
// /?) and a command line that cannot be run are written to the -log file when one is named,
// otherwise to SilentNoteName in the temporary folder (SilentNotePath).

#include <string>

#include "unattended/companion_options.h"

// The unattended command line and its exit codes, as "mendit /?" shows them in a box.
extern const char* const SilentUsageText;

// Where help and argument errors go when no -log file is named: this name in the temporary folder.
extern const char* const SilentNoteName;

// Whether the arguments (without the program name) ask for the unattended run: /S among them.
bool IsSilentCommandLine(int argc, const char* const* argv);

// False with error set for a command line menditcon would refuse, or for both /D= and
// -target. The -log file is still filled in when it was read before the error, so the error
// can go there.
bool ParseSilentArguments(int argc, const char* const* argv, TCompanionOptions& options, std::string& error);

// The file help or an argument error is written to: the -log file, else SilentNoteName in
// tempFolder (which ends in a separator).
std::string SilentNotePath(const TCompanionOptions& options, const std::string& tempFolder);
