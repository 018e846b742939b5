#pragma once
// TRecordTracker: a reporter that stands between the patch engine and the reporter a tool
// shows, and learns from the rows of each record what became of it.
//
// Set it as the installer's reporter and record observer. Every row is passed on to the
// next reporter; the rows a record raises between its BeforeRecord and AfterRecord decide its
// outcome: an error row or a false step result - failed; a warning row before any "Applying
// ..." row - skipped (the file is another version); otherwise applied (also after a warning
// that the record first finished an interrupted run). A record of unknown type is ignored.
//
// Prediction wording (check mode, where the engine runs over a TRecordingFileSystem): rows
// of a record are passed on as "Would apply ..." (for "Applying ..."), "Would skip: ..." (a
// file of another version), "Would warn: ..." (other warnings) and "Would fail: ..."; the
// run's own "Installing patch..." and "Patching completed !" become "Checking patch..." and
// nothing (the owner reports the check's summary). Other rows pass unchanged.

#include <string>
#include <vector>

#include "patch_file.h"
#include "report/formatting_reporter.h"
#include "report/patch_reporter.h"

enum class TRecordOutcome { Applied, Skipped, Failed, Ignored, RolledBack };

// "applied", "skipped", "failed", "ignored", "rolled back".
const char* RecordOutcomeName(TRecordOutcome outcome);

struct TRecordResult {
  int Index = 0;          // in the directory
  uint32_t Type = 0;      // the record's type (ptModify, ptCopy, ptDelete, other)
  std::string Path;       // the record's path, macros expanded
  TRecordOutcome Outcome = TRecordOutcome::Applied;
  std::string Message;    // the first error row, else the first warning row, else the first row
};

class TRecordTracker : public TFormattingReporter, public TPatchFile::TRecordObserver {
 public:
  // next is not owned and receives every row.
  TRecordTracker(TPatchReporter& next, bool predict) : next(next), predict(predict) {}

  void BeforeRecord(TPatchFile& installer, int index) override;
  void AfterRecord(TPatchFile& installer, int index, bool result) override;
  void ReportProgress(int32_t done, int32_t total) override { next.ReportProgress(done, total); }

  const std::vector<TRecordResult>& Results() const { return results; }
  // Applied records become rolled back (the run was undone).
  void MarkRolledBack();
  int Count(TRecordOutcome outcome) const;
  // Error rows raised outside any record (a damaged directory, an unpacking error).
  const std::vector<std::string>& ErrorsOutsideRecords() const { return errorsOutside; }

 protected:
  void ReportText(TReportKind kind, const char* text) override;

 private:
  TPatchReporter& next;
  bool predict;
  bool inRecord = false;
  bool sawError = false, sawWarning = false, sawApplying = false;
  std::string firstError, firstWarning, firstRow;
  std::vector<std::string> errorsOutside;
  std::vector<TRecordResult> results;
};
