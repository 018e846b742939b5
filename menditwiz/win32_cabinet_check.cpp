// The check extraction on Windows: the system cabinet library through the patch unpacker,
// exactly as mendit extracts a patch.
#include <cstdarg>
#include <cstdio>

#include "install/extracted_patch.h"
#include "report/formatting_reporter.h"
#include "wizard_machine.h"

namespace {

// The binding's messages during the check extraction.
class TUnpackReporter : public TFormattingReporter {
 public:
  std::string Errors;
  void ReportProgress(int32_t, int32_t) override {}

 protected:
  void ReportText(TReportKind kind, const char* text) override {
    if (kind != TReportKind::Info) Errors += std::string(Errors.empty() ? "" : "; ") + text;
  }
};

class TUnpackedCabinet : public TExtractedCabinet {
 public:
  TUnpackedCabinet() : Patch(&Reporter) {}
  TInputFile& Data() override { return *Patch.Data(); }

  TUnpackReporter Reporter;
  TExtractedPatch Patch;  // after Reporter, which it reports to
};

}  // namespace

std::unique_ptr<TExtractedCabinet> ExtractCabinet(const std::string& folder, const std::string& name,
                                                  std::string& error) {
  auto cabinet = std::make_unique<TUnpackedCabinet>();
  if (!cabinet->Patch.Extract(name, folder + "\\")) {
    error = cabinet->Reporter.Errors.empty() ? "nothing was extracted" : cabinet->Reporter.Errors;
    return nullptr;
  }
  return cabinet;
}
