#pragma once
// The console companion's all-or-nothing installation (-rollback), portable: a run over a
// TJournalFileSystem that is committed when every record applied (or was skipped, unless
// strict) and put back from its journal otherwise; and, at start, the restore of a run that
// was interrupted.

#include <functional>
#include <string>

#include "files/file_system.h"
#include "files/journal_file_system.h"
#include "console/record_tracker.h"

enum class TRollbackResult {
  Committed,   // the run stands (also when it never got to the records)
  RolledBack,  // a record failed (or was skipped, when strict) and everything was put back
  NotPutBack,  // putting back failed; the journal stays for the next start
  NotStarted,  // the journal cannot be written; nothing was changed
};

// The journal of the application in folder root (no trailing backslash): a file beside the
// folder, so its saved copies are on the same volume. A drive's own folder ("C:") has
// nothing beside it: its journal goes into tempFolder (with a trailing backslash), named
// after the drive.
std::string JournalPathFor(const std::string& root, const std::string& tempFolder = "");

// run installs the patch over the file system it is given, with the tracker as reporter
// and record observer. Rows about the journal go to reporter.
TRollbackResult RunAllOrNothing(TFileSystem& files, const std::string& journalPath, bool strict,
                                TRecordTracker& tracker, TPatchReporter& reporter,
                                const TRemoveDirectory& removeDirectory,
                                const std::function<void(TFileSystem& files)>& run);

// Puts back an interrupted run whose journal is at journalPath, reporting it. True when there
// was none or it was put back.
bool FinishUnfinishedRun(TFileSystem& files, const std::string& journalPath, TPatchReporter& reporter,
                         const TRemoveDirectory& removeDirectory);
