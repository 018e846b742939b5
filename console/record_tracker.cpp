#include "console/record_tracker.h"

#include <cstdio>

namespace {

void Forward(TPatchReporter& next, TReportKind kind, const std::string& text) {
  if (kind == TReportKind::Error)
    next.ReportError("%s", text.c_str());
  else if (kind == TReportKind::Warning)
    next.ReportWarning("%s", text.c_str());
  else
    next.ReportInfo("%s", text.c_str());
}

// How a check words the rows of a record, keyed by the record's predicted outcome: the
// record's own step row (the verb, then "KIND patch (FILE)"), its warnings and its errors.
struct TPredictedWording {
  TRecordOutcome Outcome;
  const char* StepVerb;
  const char* Warning;
  const char* Error;
};

constexpr TPredictedWording PredictedWording[] = {
    {TRecordOutcome::Applied, "Would apply", "Would warn: ", "Would fail: "},
    {TRecordOutcome::RecoveredAndApplied, "Would apply", "Would warn: ", "Would fail: "},
    {TRecordOutcome::AppliedWithWarning, "Would apply", "Would warn: ", "Would fail: "},
    {TRecordOutcome::UpToDate, "Would apply", "Would warn: ", "Would fail: "},
    {TRecordOutcome::SkippedOtherVersion, "Would apply", "Would skip: ", "Would fail: "},
    {TRecordOutcome::Failed, "Would apply", "Would warn: ", "Would fail: "},
    {TRecordOutcome::Ignored, "Would apply", "Would warn: ", "Would fail: "},
    {TRecordOutcome::NotThisVersion, "Would apply", "Would warn: ", "Would fail: "},
};

const TPredictedWording& WordingFor(TRecordOutcome outcome) {
  for (const TPredictedWording& w : PredictedWording)
    if (w.Outcome == outcome) return w;
  return PredictedWording[0];
}

std::string Predicted(const TPredictedWording& wording, uint32_t type, TReportKind kind, const std::string& text,
                      const std::string& stepFile) {
  if (kind == TReportKind::Error) return wording.Error + text;
  if (kind == TReportKind::Warning) return wording.Warning + text;
  // Only the step's own row is reworded; other plain rows (a file found up to date, another
  // date/time over the expected content) say what is so, and stand as they are.
  if (stepFile.empty()) return text;
  return std::string(wording.StepVerb) + " " + RecordKindName(type) + " patch (" + stepFile + ")";
}

}  // namespace

const char* RecordTallyName(TRecordTally tally) {
  switch (tally) {
    case TRecordTally::Applied:
      return "applied";
    case TRecordTally::UpToDate:
      return "up-to-date";
    case TRecordTally::Skipped:
      return "skipped";
    case TRecordTally::Failed:
      return "failed";
    case TRecordTally::Ignored:
      return "ignored";
    case TRecordTally::RolledBack:
      return "rolled back";
  }
  return "?";
}

TRecordTally TRecordResult::Tally() const {
  switch (Outcome) {
    case TRecordOutcome::Applied:
    case TRecordOutcome::AppliedWithWarning:
    case TRecordOutcome::RecoveredAndApplied:
      return RolledBack ? TRecordTally::RolledBack : TRecordTally::Applied;
    case TRecordOutcome::UpToDate:
      return TRecordTally::UpToDate;
    case TRecordOutcome::SkippedOtherVersion:
      return TRecordTally::Skipped;
    case TRecordOutcome::Failed:
      return TRecordTally::Failed;
    case TRecordOutcome::Ignored:
    case TRecordOutcome::NotThisVersion:
      return TRecordTally::Ignored;
  }
  return TRecordTally::Failed;
}

void TRecordTracker::BeforeRecord(TPatchFile& installer, int index) {
  if (ProgressOut) {
    // Verification records belong to the record after them and are no step. A run that
    // starts over (a smaller index) counts from the start again.
    if (index <= LastIndex) Step = 0;
    LastIndex = index;
    ++Step;
    const TPatchDirectory& records = installer.Directory();
    int steps = 0;
    for (int i = 0; i < records.Count(); ++i) steps += records[i].Type() != ptVerify;
    std::fprintf(ProgressOut, "[%d/%d] %3d%%\n", Step, steps, steps > 0 ? (Step - 1) * 100 / steps : 100);
    std::fflush(ProgressOut);
  }
  InRecord = true;
  RecordRows.clear();
}

void TRecordTracker::BeforeStepRow(TPatchFile&, int, const std::string& fileName) { NextStepFile = fileName; }

void TRecordTracker::AfterRecord(TPatchFile& installer, int index, TRecordOutcome outcome, const std::string& path) {
  InRecord = false;
  TRecordResult r;
  r.Index = index;
  r.Type = installer.Directory()[index].Type();
  r.Path = path;
  r.Outcome = outcome;
  // The row that explains the outcome.
  const TReportKind explaining = outcome == TRecordOutcome::Failed                ? TReportKind::Error
                                 : outcome == TRecordOutcome::SkippedOtherVersion ||
                                           outcome == TRecordOutcome::AppliedWithWarning
                                       ? TReportKind::Warning
                                                                                  : TReportKind::Info;
  for (const TRow& row : RecordRows)
    if (row.Kind == explaining) {
      r.Message = row.Text;
      break;
    }
  if (outcome == TRecordOutcome::Ignored) {
    char text[64];
    std::snprintf(text, sizeof text, "record of unknown type %u", static_cast<unsigned>(r.Type));
    r.Message = text;
  } else if (outcome == TRecordOutcome::NotThisVersion) {
    r.Message = "alternative for another version";
  }
  results.push_back(r);
  if (Predict) {
    const TPredictedWording& wording = WordingFor(outcome);
    for (const TRow& row : RecordRows)
      Forward(Next, row.Kind, Predicted(wording, r.Type, row.Kind, row.Text, row.StepFile));
  }
  RecordRows.clear();
}

void TRecordTracker::MarkRolledBack() {
  for (TRecordResult& r : results)
    if (r.Tally() == TRecordTally::Applied) r.RolledBack = true;
}

int TRecordTracker::Count(TRecordTally tally) const {
  int n = 0;
  for (const TRecordResult& r : results) n += r.Tally() == tally;
  return n;
}

void TRecordTracker::ReportText(TReportKind kind, const char* text) {
  if (InRecord) {
    RecordRows.push_back({kind, text, NextStepFile});
    NextStepFile.clear();
    if (!Predict) Forward(Next, kind, text);
    return;
  }
  if (kind == TReportKind::Error) ErrorsOutside.push_back(text);
  Forward(Next, kind, text);
}
