// menditwiz: builds a patch (cabinet and description file) from two release folders and
// proves it by applying it before it writes anything.
#include <cstdio>
#include <string>

#include "wizard_options.h"
#include "wizard_run.h"

int main(int argc, char** argv) {
  TWizardOptions options;
  std::string error;
  if (!ParseWizardArguments(argc - 1, argv + 1, options, error)) {
    std::fprintf(stderr, "menditwiz: %s\n%s%s", error.c_str(), WizardUsageText, ToolExitCodesText);
    return WizardUsage;
  }
  if (options.Help) {
    std::printf("%s%s", WizardUsageText, ToolExitCodesText);
    return WizardSuccess;
  }
  return RunWizard(options, TBuildHooks(), stdout, stderr);
}
