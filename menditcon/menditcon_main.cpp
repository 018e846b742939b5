// menditcon: mendit's console companion. Applies (or checks) a patch described by a patch
// description file without a window, for administrators and scripts.
#include <cstdio>
#include <string>

#include "companion_options.h"
#include "companion_run.h"

int main(int argc, char** argv) {
  TCompanionOptions options;
  std::string error;
  if (!ParseCompanionArguments(argc - 1, argv + 1, options, error)) {
    std::fprintf(stderr, "menditcon: %s\n%s", error.c_str(), CompanionUsageText);
    return CompanionUsage;
  }
  return RunCompanion(options, stdout);
}
