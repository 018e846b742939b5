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
  // Runs a patch of one record (its checks, if any, stand before it): the record's outcome,
  // and the rows as the run reports them.
  TRecordOutcome ApplyLast(const TPatchWriter& writer) {
    struct TLastOutcome : TPatchFile::TRecordObserver {
      TRecordOutcome Outcome = TRecordOutcome::Ignored;
      void BeforeRecord(TPatchFile&, int) override {}
      void AfterRecord(TPatchFile&, int, TRecordOutcome outcome, const std::string&) override { Outcome = outcome; }
    } last;
    TMemoryInputFile data(writer.Bytes());
    TPatchFile installer(&data, &Macros, &Reporter, &Files);
    installer.SetRecordObserver(&last);
    installer.Run();
    return last.Outcome;
  }
  void Run(const TPatchWriter& writer) {
    TMemoryInputFile data(writer.Bytes());
    TPatchFile(&data, &Macros, &Reporter, &Files).Run();
  }
};
