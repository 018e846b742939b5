#include "run_summary.h"

TApplicationState ApplicationStateAfter(const TRunSummary& run) {
  if (run.NotPutBack) return TApplicationState::MayBeIncomplete;
  if (run.Check || !run.RecordsRan || run.RolledBack) return TApplicationState::Unchanged;
  if (run.Failed == 0 && run.Skipped == 0 && !run.ErrorsOutsideRecords) return TApplicationState::UpToDate;
  return run.Applied > 0 ? TApplicationState::MayBeIncomplete : TApplicationState::Unchanged;
}

const char* ApplicationStateText(TApplicationState state) {
  switch (state) {
    case TApplicationState::Unchanged:
      return "the application is unchanged";
    case TApplicationState::UpToDate:
      return "the application is up to date";
    case TApplicationState::MayBeIncomplete:
      return "the application may be incomplete";
  }
  return "";
}

std::vector<std::string> SummaryRows(const TRunSummary& run, int exitCode) {
  std::string counts = "Records: " + std::to_string(run.Applied) + (run.Check ? " would apply, " : " applied, ") +
                       std::to_string(run.UpToDate) + " up to date, " + std::to_string(run.Skipped) +
                       (run.Check ? " would be skipped, " : " skipped, ") + std::to_string(run.Failed) +
                       (run.Check ? " would fail" : " failed");
  if (run.RolledBackRecords > 0) counts += ", " + std::to_string(run.RolledBackRecords) + " rolled back";
  return {counts, std::string("Result: ") + ApplicationStateText(ApplicationStateAfter(run)),
          "Exit code: " + std::to_string(exitCode)};
}
