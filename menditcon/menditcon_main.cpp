// menditcon: mendit's console companion. Applies (or checks) a patch described by a patch
// description file without a window, for administrators and scripts.
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "cabinet/cab_packer.h"
#include "unattended/companion_options.h"
#include "unattended/companion_run.h"
#include "syslib/system_library.h"

namespace {
int RunMain(int argc, char** argv) {
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
}  // namespace

// Nothing ends in abort(), whose status 3 would read as "rolled back": an exception outside
// the run (which ends its own with a row) gives the same row here.
int main(int argc, char** argv) {
  std::string row;
  try {
    return RunMain(argc, argv);
  } catch (const std::bad_alloc&) {
    row = InternalErrorRow(nullptr);
  } catch (const std::exception& e) {
    row = InternalErrorRow(e.what());
  } catch (...) {
    row = InternalErrorRow("unknown exception");
  }
  std::printf("[ERROR]\t%s\n", row.c_str());
  return ToolExitInternal;
}
