#pragma once
// The last rows of an unattended run's log (menditcon's output and the -log file): the counts
// of the records, what became of the application, and the exit code.
//
//   Records: A applied, U up to date, S skipped, F failed[, R rolled back]
//   Result: the application is unchanged | the application is up to date |
//           the application may be incomplete
//   Exit code: N
//
// (The record log, -logformat records, has its own fixed layout: record_log.h.)

#include <string>
#include <vector>

struct TRunSummary {
  bool Check = false;       // a check changes nothing
  bool RecordsRan = false;  // the installation run got as far as the records
  bool RolledBack = false;  // an all-or-nothing run put every file back
  bool NotPutBack = false;  // putting back (this run's, or an interrupted one's) failed
  bool ErrorsOutsideRecords = false;
  int Applied = 0, UpToDate = 0, Skipped = 0, Failed = 0, RolledBackRecords = 0;
};

enum class TApplicationState { Unchanged, UpToDate, MayBeIncomplete };

// Unchanged when no record changed anything that stays (a check, a run stopped before the
// records or put back, or one whose records all failed or were skipped); up to date when every
// record applied or found its result there; may be incomplete otherwise, and when files could
// not be put back.
TApplicationState ApplicationStateAfter(const TRunSummary& run);
const char* ApplicationStateText(TApplicationState state);

std::vector<std::string> SummaryRows(const TRunSummary& run, int exitCode);
