// Fuzzes the installer with a whole patch data file: directory reading, path expansion and
// splitting, and every record kind applied to a small in-memory application in C:\APP
// (MAIN.EXE, MAIN.DLL and README, carrying the stamp the seeds use).
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "report/formatting_reporter.h"
#include "files/memory_file_system.h"
#include "patch/patch_file.h"
#include "paths/macros.h"

namespace {

constexpr TDosStamp stamp = MakeDosStamp(2001, 5, 6, 7, 8, 10);

// Formats every report as the dialog would, so bad arguments show up under the sanitizers.
class TDiscardingReporter : public TFormattingReporter {
 public:
  void ReportProgress(int32_t done, int32_t total) override {
    if (total < 1 || done < 0) std::abort();  // the engine promises both
  }

 protected:
  void ReportText(TReportKind, const char*) override {}
};

void NoMessages(void*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryFileSystem files;
  files.MaxFileSize = 1 << 20;  // a destination near 2 GB must not exhaust memory
  files.AddDirectory("C:\\APP");
  std::vector<uint8_t> previous(1000);
  for (size_t i = 0; i < previous.size(); ++i) previous[i] = static_cast<uint8_t>(i * 13);
  files.AddFile("C:\\APP\\MAIN.EXE", previous, stamp);
  files.AddFile("C:\\APP\\MAIN.DLL", previous, stamp);
  files.AddFile("C:\\APP\\README", previous, stamp);

  TMacroExpander macros;
  macros.AddMacro(new TMacroDef("&ROOT&", "C:\\APP"));
  TDiscardingReporter reporter;
  TMemoryInputFile file(data, size);
  TPatchFile installer(&file, &macros, &reporter, &files);
  installer.SetMessageHook(NoMessages, nullptr);
  installer.Run();
  // Every record the directory holds stands on a header of its own.
  if (static_cast<size_t>(installer.Directory().Count()) > size / TPatchInfo::Size) std::abort();
  return 0;
}
