#pragma once
// TRecordTracker: a reporter that stands between the patch engine and the reporter a tool
// shows, and keeps what became of each record.
//
// Set it as the installer's reporter and record observer. The engine tells the observer each
// record's outcome and expanded path (patch/record_outcome.h); the tracker keeps them, with
// the row that explains the outcome (the first error row, else the first warning row, else
// the first row). No row's wording decides anything.
//
// Prediction (check mode, where the engine runs over a TRecordingFileSystem): the rows of a
// record are held until its outcome is known and then passed on worded by the table of
// PredictedWording (record_tracker.cpp): "Would apply KIND patch (FILE)" for the record's own
// step row (the one the engine announces with BeforeStepRow), "Would skip: ..." for the
// warning of a file of another version, "Would warn: ..." for other warnings, "Would fail:
// ..." for errors. Other rows pass unchanged. (The installation run words its own rows for a
// check: TInstallationRun::Check.)

#include <cstdio>
#include <string>
#include <vector>

#include "patch/patch_file.h"
#include "patch/record_outcome.h"
#include "report/formatting_reporter.h"
#include "report/patch_reporter.h"

// How the tools count and log a record: the engine's outcome, with a record that was applied
// and then put back by an all-or-nothing run counted apart.
// A record whose result was there already counts as up to date: nothing was changed for it.
enum class TRecordTally { Applied, UpToDate, Skipped, Failed, Ignored, RolledBack };

// "applied", "up-to-date", "skipped", "failed", "ignored", "rolled back".
const char* RecordTallyName(TRecordTally tally);

struct TRecordResult {
  int Index = 0;          // in the directory
  uint32_t Type = 0;      // the record's TPatchType (what it does: ActsOnFile, RecordKindName)
  std::string Path;       // the record's path, macros expanded
  TRecordOutcome Outcome = TRecordOutcome::Applied;
  bool RolledBack = false;  // applied, then put back by an all-or-nothing run
  std::string Message;    // the first error row, else the first warning row, else the first row
  TRecordTally Tally() const;
};

class TRecordTracker : public TFormattingReporter, public TPatchFile::TRecordObserver {
 public:
  // next is not owned and receives every row.
  TRecordTracker(TPatchReporter& next, bool predict) : Next(next), Predict(predict) {}

  void BeforeRecord(TPatchFile& installer, int index) override;
  void AfterRecord(TPatchFile& installer, int index, TRecordOutcome outcome, const std::string& path) override;
  void BeforeStepRow(TPatchFile& installer, int index, const std::string& fileName) override;
  void ReportProgress(int32_t done, int32_t total) override { Next.ReportProgress(done, total); }

  // Before each record, "[n/N] NN%" (records started of all, how far the records are) on a
  // line of its own to out; null (the default): none.
  void ShowProgress(std::FILE* out) { ProgressOut = out; }

  const std::vector<TRecordResult>& Results() const { return results; }
  // Applied records become rolled back (the run was undone).
  void MarkRolledBack();
  int Count(TRecordTally tally) const;
  // Error rows raised outside any record (a damaged directory, an unpacking error).
  const std::vector<std::string>& ErrorsOutsideRecords() const { return ErrorsOutside; }

 protected:
  void ReportText(TReportKind kind, const char* text) override;

 private:
  struct TRow {
    TReportKind Kind;
    std::string Text;
    std::string StepFile;  // the step's own row: the file it names; empty for other rows
  };

  TPatchReporter& Next;
  bool Predict;
  std::FILE* ProgressOut = nullptr;
  int Step = 0;        // records started in this run, for the progress line
  int LastIndex = -1;
  bool InRecord = false;
  std::string NextStepFile;  // set by BeforeStepRow for the row that follows
  std::vector<TRow> RecordRows;  // the rows of the record under way
  std::vector<std::string> ErrorsOutside;
  std::vector<TRecordResult> results;
};
