#include "silent_options.h"

#include <vector>

const char* const SilentUsageText =
    "Install without a window:\n"
    "  mendit /S [-target MAIN_EXE_PATH] [-log FILE [-logformat rows|records]]\n"
    "         [-check | [-norollback] [-strict]] [-force] [-wait SECONDS]\n"
    "         [DESCRIPTION_FILE] [/D=FOLDER]\n"
    "/D=FOLDER is the installation folder: the rest of the line, spaces included. The rows\n"
    "go to the -log file; help and command-line errors too, or to %TEMP%\\MENDIT-S.LOG.\n"
    "A program that carries its patch needs no description file. A patch that does not fit\n"
    "the installation (a file of another version) changes nothing (exit code 9) unless\n"
    "-force is given. The installation is all or nothing (as menditcon -rollback): when a\n"
    "record fails, every file is put back (exit code 3); -norollback turns this off.\n\n";

const char* const SilentNoteName = "MENDIT-S.LOG";

bool IsSilentCommandLine(int argc, const char* const* argv) {
  for (int n = 0; n < argc; ++n)
    if (IsOption(argv[n], "s")) return true;
  return false;
}

std::string SilentNotePath(const TCompanionOptions& options, const std::string& tempFolder) {
  return options.LogFile.empty() ? tempFolder + SilentNoteName : options.LogFile;
}

bool ParseSilentArguments(int argc, const char* const* argv, TCompanionOptions& options, std::string& error) {
  std::vector<std::string> words;
  std::string folder;
  bool folderGiven = false, noRollBack = false, allOrNothing = true;
  for (int n = 0; n < argc; ++n) {
    const std::string arg = argv[n];
    if (IsOption(argv[n], "s")) continue;
    if (IsOption(arg, "norollback")) {
      noRollBack = true;
      continue;
    }
    // Nobody watches an unattended run: it is all or nothing unless told otherwise (a check
    // changes nothing, and says -rollback itself when given).
    if (IsOption(arg, "check") || IsOption(arg, "rollback")) allOrNothing = false;
    if (arg.size() >= 3 && (arg[0] == '/' || arg[0] == '-') && (arg[1] == 'D' || arg[1] == 'd') && arg[2] == '=') {
      // As NSIS takes it: the rest of the command line is the folder, so an unquoted
      // C:\Program Files\Tool arrives in several arguments and is joined again. An option
      // after it (a script written for /D= anywhere) still ends the folder.
      folder = arg.substr(3);
      for (; n + 1 < argc && !LooksLikeOption(argv[n + 1]); ++n) folder += std::string(" ") + argv[n + 1];
      folderGiven = true;
    } else {
      words.push_back(arg);
    }
  }
  if (noRollBack && !allOrNothing) {
    error = "-norollback cannot be combined with -rollback or -check";
    return false;
  }
  if (!noRollBack && allOrNothing) words.push_back("-rollback");
  std::vector<const char*> rest;
  for (const std::string& word : words) rest.push_back(word.c_str());
  if (!ParseCompanionArguments(static_cast<int>(rest.size()), rest.data(), options, error)) {
    // The log file, if one was named before the error, still receives it.
    for (size_t n = 0; n + 1 < words.size(); ++n)
      if (IsOption(words[n].c_str(), "log")) options.LogFile = words[n + 1];
    return false;
  }
  if (folderGiven) {
    if (!options.Target.empty()) {
      error = "/D= and -target both name the installation: give one";
      return false;
    }
    if (folder.empty()) {
      error = "/D= needs a folder";
      return false;
    }
    options.Target = folder;
  }
  return true;
}
