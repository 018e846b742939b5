#pragma once
// The installer over files in memory, for the engine's table tests.

#include <string>

#include "files/memory_file_system.h"
#include "patch/patch_file.h"
#include "patch/patch_writer.h"
#include "paths/macros.h"
#include "paths/path_name.h"
#include "tests/support/test_reporters.h"

// The engine over files in memory, with "&ROOT&" naming C:\APP.
struct TEngine {
  TMemoryFileSystem Files;
  TMacroExpander Macros;
  TRecordingReporter Reporter;
  TEngine() {
    Files.AddDirectory("C:\\APP");
    Macros.AddMacro(new TMacroDef("&ROOT&", "C:\\APP"));
  }
  // Applies the last record of the patch (its checks, if any, stand before it): the step a
  // run takes on it, outcome and rows as the run reports them.
  TRecordOutcome ApplyLast(const TPatchWriter& writer) {
    TMemoryInputFile data(writer.Bytes());
    TPatchFile installer(&data, &Macros, &Reporter, &Files);
    installer.ReadDirectory();
    const int last = installer.Directory().Count() - 1;
    TPathName name = installer.ResolvePath(last);
    switch (installer.Directory()[last].Type()) {
      case ptModify:
      case ptDifference: return installer.ApplyModify(last, name);
      case ptDelete: return installer.ApplyDelete(last, name);
      default: return installer.ApplyCopy(last, name);
    }
  }
  void Run(const TPatchWriter& writer) {
    TMemoryInputFile data(writer.Bytes());
    TPatchFile(&data, &Macros, &Reporter, &Files).Run();
  }
};
