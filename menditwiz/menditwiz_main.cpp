// menditwiz: builds a patch (cabinet and description file) from two release folders and
// proves it by applying it before it writes anything.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#ifndef _WIN32
#include "paths/code_page.h"
#endif
#ifdef _WIN32
#include "cabinet/cab_packer.h"
#include "syslib/system_library.h"
#endif

#include "wizard_options.h"
#include "wizard_run.h"

namespace {
int RunMain(int argc, char** argv) {
#ifdef _WIN32
  LimitDllSearchToSystemFolder();
#endif
  TWizardOptions options;
  std::string error;
#ifndef _WIN32
  // The builder holds paths and names in Windows-1252, as the Windows build gets them from
  // its system; the shell gives UTF-8.
  std::vector<std::string> held(argc > 0 ? argc : 0);
  std::vector<const char*> heldArgs;
  for (int n = 0; n < argc; ++n) {
    if (!Utf8ToWindows1252(argv[n], held[n])) {
      std::fprintf(stderr, "menditwiz: Windows-1252 cannot hold a character of the argument %s\n", argv[n]);
      return ToolExitUsage;
    }
    heldArgs.push_back(held[n].c_str());
  }
  const char* const* arguments = heldArgs.data();
#else
  const char* const* arguments = argv;
#endif
  if (!ParseWizardArguments(argc - 1, arguments + 1, options, error)) {
    std::fprintf(stderr, "menditwiz: %s\n%s%s", error.c_str(), WizardUsageText, ToolExitCodesText);
    return ToolExitUsage;
  }
  if (options.Help) {
    std::printf("%s%s", WizardUsageText, ToolExitCodesText);
    return ToolExitDone;
  }
#ifdef _WIN32
  // The system cabinet library checks the patch as mendit will extract it: without it
  // nothing can be done, and that is said on standard error before the long build, never in
  // a box.
  TCABPacker::SetConsoleMode(true);
  {
    TCABPacker library;
    if (!library.IsLoaded()) {
      std::fprintf(stderr, "menditwiz: nothing was written\n");
      return ToolExitNothingDone;
    }
  }
#endif
  return RunWizard(options, TBuildHooks(), stdout, stderr);
}
}  // namespace

// Nothing ends in abort(): an exception the build does not handle (RunWizard does its own)
// is said on standard error with its exit code.
int main(int argc, char** argv) {
  try {
    return RunMain(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "menditwiz: not enough memory\nmenditwiz: nothing was written\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "menditwiz: internal error: %s\nmenditwiz: nothing was written\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "menditwiz: internal error\nmenditwiz: nothing was written\n");
  }
  return ToolExitInternal;
}
