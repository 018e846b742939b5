#include "rollback_run.h"

std::string JournalPathFor(const std::string& root, const std::string& tempFolder) {
  std::string folder = root;
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  if (folder.empty() || folder.back() == ':') {
    std::string drive = folder.empty() ? "CURRENT" : folder.substr(0, folder.size() - 1);
    return tempFolder + "MENDITCON-UNDO-" + drive;
  }
  return folder + ".MENDITCON-UNDO";
}

TRollbackResult RunAllOrNothing(TFileSystem& files, const std::string& journalPath, bool strict,
                                TRecordTracker& tracker, TPatchReporter& reporter,
                                const TRemoveDirectory& removeDirectory,
                                const std::function<void(TFileSystem& files)>& run) {
  TJournalFileSystem journal(files, journalPath);
  if (JournalExists(files, journalPath)) {
    reporter.ReportError("Another run of this application is under way (its journal: %s)", journalPath.c_str());
    return TRollbackResult::NotStarted;
  }
  if (!journal.Begin()) {
    journal.Close();
    files.Delete(journalPath.c_str());
    reporter.ReportError("Cannot write the journal that puts files back: %s", journalPath.c_str());
    return TRollbackResult::NotStarted;
  }
  run(journal);
  const bool failed = tracker.Count(TRecordTally::Failed) > 0 || !tracker.ErrorsOutsideRecords().empty() ||
                      (strict && tracker.Count(TRecordTally::Skipped) > 0);
  if (!failed) {
    if (!journal.Commit()) {
      reporter.ReportError("Cannot delete file: %s", journalPath.c_str());
      return TRollbackResult::NotPutBack;
    }
    return TRollbackResult::Committed;
  }
  journal.Close();
  reporter.ReportInfo("Putting every file back as it was...");
  if (!RestoreJournal(files, journalPath, reporter, removeDirectory)) {
    reporter.ReportError("Not every file could be put back; the next start of menditcon tries again (%s)",
                         journalPath.c_str());
    return TRollbackResult::NotPutBack;
  }
  tracker.MarkRolledBack();
  reporter.ReportWarning("Patch rolled back: the application is as it was before the run");
  return TRollbackResult::RolledBack;
}

bool FinishUnfinishedRun(TFileSystem& files, const std::string& journalPath, TPatchReporter& reporter,
                         const TRemoveDirectory& removeDirectory) {
  if (!JournalExists(files, journalPath)) return true;
  reporter.ReportWarning("An earlier run was interrupted: putting its files back first (%s)", journalPath.c_str());
  if (!RestoreJournal(files, journalPath, reporter, removeDirectory)) {
    reporter.ReportError("The interrupted run could not be put back; nothing else was done");
    return false;
  }
  reporter.ReportInfo("The interrupted run was put back");
  return true;
}
