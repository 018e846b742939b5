#include "rollback_run.h"

TRollbackResult RunAllOrNothing(TFileSystem& files, const std::string& journalPath, const std::string& folder,
                                bool strict,
                                TRecordTracker& tracker, TPatchReporter& reporter,
                                const TRemoveDirectory& removeDirectory,
                                const std::function<void(TFileSystem& files)>& run) {
  TJournalFileSystem journal(files, journalPath, folder);
  if (JournalExists(files, journalPath)) {
    reporter.ReportError("Another run of this application is under way (its journal: %s)", journalPath.c_str());
    return TRollbackResult::NotStarted;
  }
  if (!journal.Begin()) {
    reporter.ReportError("Cannot write the journal that puts files back: %s", journalPath.c_str());
    return TRollbackResult::NotStarted;
  }
  run(journal);
  const bool failed = tracker.Count(TRecordTally::Failed) > 0 || !tracker.ErrorsOutsideRecords().empty() ||
                      (strict && tracker.Count(TRecordTally::Skipped) > 0);
  if (!failed) {
    if (journal.CommitLine()) {
      // The run stands; a journal left behind is only finished (deleted) by the next start.
      if (!journal.Discard()) reporter.ReportWarning("Cannot delete file: %s", journalPath.c_str());
      return TRollbackResult::Committed;
    }
    // Without its commit line the next start would put the run back: do it now.
    reporter.ReportError("Cannot write the journal that puts files back: %s", journalPath.c_str());
  }
  journal.Close();
  reporter.ReportInfo("Putting every file back as it was...");
  if (!RestoreJournal(files, journalPath, folder, reporter, removeDirectory)) {
    reporter.ReportError("Not every file could be put back; the next start of menditcon tries again (%s)",
                         journalPath.c_str());
    return TRollbackResult::NotPutBack;
  }
  tracker.MarkRolledBack();
  reporter.ReportWarning("Patch rolled back: the application is as it was before the run");
  return TRollbackResult::RolledBack;
}

bool FinishUnfinishedRun(TFileSystem& files, const std::string& journalPath, const std::string& folder,
                         TPatchReporter& reporter,
                         const TRemoveDirectory& removeDirectory) {
  if (!JournalExists(files, journalPath)) return true;
  reporter.ReportWarning("An earlier run was interrupted: putting its files back first (%s)", journalPath.c_str());
  if (!RestoreJournal(files, journalPath, folder, reporter, removeDirectory)) {
    reporter.ReportError("The interrupted run could not be put back; nothing else was done");
    return false;
  }
  reporter.ReportInfo("The interrupted run was put back");
  return true;
}
