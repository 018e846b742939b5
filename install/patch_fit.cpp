#include "patch_fit.h"

#include "report/formatting_reporter.h"

namespace {

// Drops every row: the judgement's rows are the run's own, said again by the run itself (or,
// when the owner stops, as misfit rows). Progress is passed on, so a long judgement moves a bar.
class TProgressOnly : public TFormattingReporter {
 public:
  explicit TProgressOnly(TPatchReporter* progress) : Progress(progress) {}
  void ReportProgress(int32_t done, int32_t total) override {
    if (Progress) Progress->ReportProgress(done, total);
  }

 protected:
  void ReportText(TReportKind, const char*) override {}

 private:
  TPatchReporter* Progress;
};

}  // namespace

bool CarriesVerification(const TPatchDirectory& directory) {
  for (const TPatchInfo& record : directory.Records)
    if (record.Type() == ptVerify) return true;
  return false;
}

std::vector<TRecordResult> JudgeFit(const TPatchDirectory& directory, TInputFile& data, TMacroExpander* macros,
                                    TFileSystem& files, TPatchReporter* progress, TMessageHook hook, void* context) {
  TProgressOnly quiet(progress);
  TRecordTracker tracker(quiet, false);
  TPatchFile installer(directory, &data, macros, &tracker, &files);
  installer.SetMessageHook(hook, context);
  installer.SetRecordObserver(&tracker);
  installer.Run();
  std::vector<TRecordResult> misfits;
  for (const TRecordResult& r : tracker.Results())
    if (r.Tally() == TRecordTally::Failed || r.Tally() == TRecordTally::Skipped) misfits.push_back(r);
  return misfits;
}

std::string MisfitRow(const TRecordResult& misfit) {
  const std::string why = misfit.Message.empty() ? misfit.Path : misfit.Message;
  return (misfit.Tally() == TRecordTally::Failed ? "Would fail: " : "Would skip: ") + why;
}

std::string MisfitQuestion(const std::vector<TRecordResult>& misfits) {
  std::string text = "This patch does not fit the application as it is installed:\n\n";
  int named = 0;
  for (const TRecordResult& m : misfits) {
    if (named++ == MaxMisfitsNamed) {
      text += "... and " + std::to_string(misfits.size() - MaxMisfitsNamed) + " more\n";
      break;
    }
    text += MisfitRow(m) + "\n";
  }
  return text +
         "\nInstalled anyway, these files stay as they are while the others are patched: the application may "
         "be left part old, part new.\n\nInstall anyway? No changes nothing.";
}
