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

// The journal's place: JournalPathFor (files/journal_file_system.h).

// run installs the patch over the file system it is given, with the tracker as reporter
// and record observer. Rows about the journal go to reporter. folder is the application's
// folder: the journal names it, and changes outside it are refused. A commit line that cannot
// be written puts everything back at once (RolledBack); a journal that cannot be deleted once
// committed is a warning (Committed).
TRollbackResult RunAllOrNothing(TFileSystem& files, const std::string& journalPath, const std::string& folder,
                                bool strict,
                                TRecordTracker& tracker, TPatchReporter& reporter,
                                const TRemoveDirectory& removeDirectory,
                                const std::function<void(TFileSystem& files)>& run);

// Puts back an interrupted run whose journal is at journalPath, reporting it. True when there
// was none or it was put back; false when it was refused (see RestoreJournal) or not put back.
bool FinishUnfinishedRun(TFileSystem& files, const std::string& journalPath, const std::string& folder,
                         TPatchReporter& reporter,
                         const TRemoveDirectory& removeDirectory);
