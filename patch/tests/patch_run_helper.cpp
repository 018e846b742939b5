// Applies a patch data file to a folder on real files, as mendit's run does, for the test
// that ends this process at many moments of a run. Usage: patch_run_helper DATA ROOT.
// Waiting-message dispatch stands in for a slow machine: a pause every 64 blocks, so that
// a run of a few megabytes lasts long enough to be ended in the middle.
#include <windows.h>

#include <memory>

#include "patch/patch_file.h"
#include "files/disk_file_system.h"
#include "paths/macros.h"
#include "tests/support/test_reporters.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  TDiskFileSystem files;
  std::unique_ptr<TInputFile> data = files.OpenRead(argv[1]);
  if (!data) return 3;
  TMacroExpander macros;
  macros.AddMacro(new TMacroDef("&ROOT&", argv[2]));
  TRecordingReporter reporter;
  TPatchFile installer(data.get(), &macros, &reporter, &files);
  int calls = 0;
  installer.SetMessageHook(
      [](void* count) {
        if (++*static_cast<int*>(count) % 64 == 0) Sleep(1);
      },
      &calls);
  installer.Run();
  return 0;
}
