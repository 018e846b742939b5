// The check extraction on Windows: the system cabinet library through the patch unpacker,
// exactly as mendit extracts a patch.
#include <cstdarg>
#include <cstdio>

#include "cabinet/patch_unpacker.h"
#include "patch/win32_file_system.h"
#include "wizard_machine.h"

namespace {

// The binding's messages during the check extraction.
class TUnpackReporter : public TPatchReporter {
 public:
  std::string Errors;
  void ReportProgress(int32_t, int32_t) override {}

 protected:
  void Report(TReportKind kind, const char* format, va_list args) override {
    char text[1000];
    std::vsnprintf(text, sizeof text, format, args);
    if (kind != TReportKind::Info) Errors += std::string(Errors.empty() ? "" : "; ") + text;
  }
};

class TUnpackedCabinet : public TExtractedCabinet {
 public:
  TUnpackedCabinet() : Unpacker(&Reporter) {}
  ~TUnpackedCabinet() override {
    File.reset();
    Unpacker.RemoveTemporaryFiles();
  }
  TInputFile& Data() override { return *File; }

  TUnpackReporter Reporter;
  TPatchUnpacker Unpacker;
  std::unique_ptr<TInputFile> File;
};

}  // namespace

std::unique_ptr<TExtractedCabinet> ExtractCabinet(const std::string& folder, const std::string& name,
                                                  std::string& error) {
  auto cabinet = std::make_unique<TUnpackedCabinet>();
  const std::string directory = folder + "\\";
  TWin32FileSystem files;
  if (cabinet->Unpacker.Unpack(name.c_str(), directory.c_str(), 0) && cabinet->Unpacker.ExtractedName()[0])
    cabinet->File = files.OpenRead(cabinet->Unpacker.ExtractedName());
  if (!cabinet->File) {
    error = cabinet->Reporter.Errors.empty() ? "nothing was extracted" : cabinet->Reporter.Errors;
    return nullptr;
  }
  return cabinet;
}
