// menditcon: mendit's console companion. Applies (or checks) a patch described by a patch
// description file without a window, for administrators and scripts.
#include <cstdio>
#include <string>

#include "cabinet/cab_packer.h"
#include "unattended/companion_options.h"
#include "unattended/companion_run.h"
#include "syslib/system_library.h"

int main(int argc, char** argv) {
  LimitDllSearchToSystemFolder();
  // A missing cabinet library is said on standard error, never in a box: the run then ends
  // with its error row and exit code.
  TCABPacker::SetConsoleMode(true);
  TCompanionOptions options;
  std::string error;
  if (!ParseCompanionArguments(argc - 1, argv + 1, options, error)) {
    std::fprintf(stderr, "menditcon: %s\n%s%s", error.c_str(), CompanionUsageText, ToolExitCodesText);
    return ToolExitUsage;
  }
  if (options.Help) {
    std::printf("%s%s", CompanionUsageText, ToolExitCodesText);
    return ToolExitDone;
  }
  return RunCompanion(options, stdout);
}
