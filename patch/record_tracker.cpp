#include "record_tracker.h"

#include <cstdio>
#include <cstring>

#include "paths/path_name.h"

namespace {
void Forward(TPatchReporter& next, TReportKind kind, const std::string& text) {
  if (kind == TReportKind::Error)
    next.ReportError("%s", text.c_str());
  else if (kind == TReportKind::Warning)
    next.ReportWarning("%s", text.c_str());
  else
    next.ReportInfo("%s", text.c_str());
}
}  // namespace

const char* RecordOutcomeName(TRecordOutcome outcome) {
  switch (outcome) {
    case TRecordOutcome::Applied:
      return "applied";
    case TRecordOutcome::Skipped:
      return "skipped";
    case TRecordOutcome::Failed:
      return "failed";
    case TRecordOutcome::Ignored:
      return "ignored";
    case TRecordOutcome::RolledBack:
      return "rolled back";
  }
  return "?";
}

void TRecordTracker::BeforeRecord(TPatchFile&, int) {
  inRecord = true;
  sawError = sawWarning = sawApplying = false;
  firstError.clear();
  firstWarning.clear();
  firstRow.clear();
}

void TRecordTracker::AfterRecord(TPatchFile& installer, int index, bool result) {
  inRecord = false;
  TRecordResult r;
  r.Index = index;
  r.Type = installer.Directory()[index].Type();
  r.Path = installer.ResolvePath(index).FullPath(false);
  if (r.Type != ptModify && r.Type != ptCopy && r.Type != ptDelete) {
    r.Outcome = TRecordOutcome::Ignored;
    char text[64];
    std::snprintf(text, sizeof text, "record of unknown type %u", static_cast<unsigned>(r.Type));
    r.Message = text;
  } else if (sawError || !result) {
    r.Outcome = TRecordOutcome::Failed;
    r.Message = firstError;
  } else if (sawWarning && !sawApplying) {
    r.Outcome = TRecordOutcome::Skipped;
    r.Message = firstWarning;
  } else {
    r.Outcome = TRecordOutcome::Applied;
    r.Message = firstRow;
  }
  results.push_back(r);
}

void TRecordTracker::MarkRolledBack() {
  for (TRecordResult& r : results)
    if (r.Outcome == TRecordOutcome::Applied) r.Outcome = TRecordOutcome::RolledBack;
}

int TRecordTracker::Count(TRecordOutcome outcome) const {
  int n = 0;
  for (const TRecordResult& r : results) n += r.Outcome == outcome;
  return n;
}

void TRecordTracker::ReportText(TReportKind kind, const char* text) {
  if (inRecord) {
    std::string& first = kind == TReportKind::Error ? firstError : kind == TReportKind::Warning ? firstWarning : firstRow;
    if (first.empty()) first = text;
    sawError |= kind == TReportKind::Error;
    sawWarning |= kind == TReportKind::Warning;
    sawApplying |= kind == TReportKind::Info && std::strncmp(text, "Applying ", 9) == 0;
  } else {
    if (kind == TReportKind::Error) errorsOutside.push_back(text);
  }
  if (!predict) {
    Forward(next, kind, text);
    return;
  }
  static const char applying[] = "Applying ";
  if (inRecord && kind == TReportKind::Info && std::strncmp(text, applying, sizeof applying - 1) == 0)
    Forward(next, kind, std::string("Would apply ") + (text + sizeof applying - 1));
  else if (inRecord && kind == TReportKind::Warning)
    Forward(next, kind, std::string(std::strstr(text, "improper date/time stamp") ? "Would skip: " : "Would warn: ") + text);
  else if (inRecord && kind == TReportKind::Error)
    Forward(next, kind, std::string("Would fail: ") + text);
  else if (!inRecord && std::strcmp(text, "Installing patch...") == 0)
    Forward(next, kind, "Checking patch...");
  else if (!inRecord && std::strcmp(text, "Patching completed !") == 0)
    return;  // the check's owner reports its own summary
  else
    Forward(next, kind, text);
}
