#include "silent_options.h"

#include <vector>

const char* const SilentUsageText =
    "Install without a window:\n"
    "  mendit /S [/D=FOLDER | -target MAIN_EXE_PATH] [-log FILE [-logformat rows|records]]\n"
    "         [-check | -rollback [-strict]] [-wait SECONDS] [DESCRIPTION_FILE]\n"
    "/S comes first. /D=FOLDER is the installation folder. The rows go to the -log file.\n"
    "A program that carries its patch needs no description file.\n\n";

bool IsSilentCommandLine(int argc, const char* const* argv) { return argc > 0 && IsOption(argv[0], "s"); }

bool ParseSilentArguments(int argc, const char* const* argv, TCompanionOptions& options, std::string& error) {
  std::vector<std::string> words;
  std::string folder;
  bool folderGiven = false;
  for (int n = 1; n < argc; ++n) {
    const std::string arg = argv[n];
    if (arg.size() >= 3 && (arg[0] == '/' || arg[0] == '-') && (arg[1] == 'D' || arg[1] == 'd') && arg[2] == '=') {
      folder = arg.substr(3);
      folderGiven = true;
    } else {
      words.push_back(arg);
    }
  }
  std::vector<const char*> rest;
  for (const std::string& word : words) rest.push_back(word.c_str());
  if (!ParseCompanionArguments(static_cast<int>(rest.size()), rest.data(), options, error)) return false;
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
