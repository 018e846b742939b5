#include "companion_run.h"

#include <windows.h>

#include <string>
#include <vector>

#include "console/console_reporter.h"
#include "description/startup.h"
#include "install/folder_lock.h"
#include "install/installation_run.h"
#include "console/record_tracker.h"
#include "files/recording_file_system.h"
#include "files/checked_output.h"
#include "files/disk_file_system.h"
#include "paths/macros.h"
#include "syslib/program_file.h"
#include "record_log.h"
#include "rollback_run.h"

namespace {

// The description file's path: as given, made absolute against the current folder (the
// private-profile reader would look for a bare name in the Windows folder); by default
// MENDIT.MNI beside the program.
std::string DescriptionPath(const std::string& given) {
  if (given.empty()) return ProgramFileFolder() + DefaultDescriptionName;
  char buffer[MAX_PATH];
  const DWORD length = GetFullPathNameA(given.c_str(), sizeof buffer, buffer, nullptr);
  return length == 0 || length >= sizeof buffer ? given : std::string(buffer, length);
}

// The exit code of a run that got as far as the records.
TToolExit RecordsExit(const TRecordTracker& tracker) {
  if (tracker.Count(TRecordTally::Failed) > 0 || !tracker.ErrorsOutsideRecords().empty())
    return ToolExitFailed;
  // A record applied with a warning (its date/time not set) counts as a warning too.
  for (const TRecordResult& r : tracker.Results())
    if (r.Outcome == TRecordOutcome::AppliedWithWarning) return ToolExitSkipped;
  return tracker.Count(TRecordTally::Skipped) > 0 ? ToolExitSkipped : ToolExitDone;
}

// The run once the log is open: rows to reporter (and through tracker), errors outside
// records to failures, the application folder to logRoot once found. The exit code.
TToolExit CompanionRows(const TCompanionOptions& options, const TCarriedPatch* carried, TFileSystem* files,
                        TConsoleReporter& reporter, TRecordTracker& tracker, std::vector<std::string>& failures,
                        std::string& logRoot) {
  const bool embedded = carried && carried->State != TPayloadState::None;
  TMacroExpander macros;
  DefineStartupMacros(macros);

  const std::string descriptionPath = embedded ? carried->Cabinet.File : DescriptionPath(options.Description);
  TDescription description;
  bool read = false;
  if (!embedded) {
    read = ReadDescriptionFile(descriptionPath, description);
    description.Patch = PatchBesideDescription(description.Patch, descriptionPath,
                                               [](const std::string& file) { return TDiskFileSystem().FileExists(file.c_str()); });
  }  else if (carried->State == TPayloadState::Found)
    read = ReadDescription(DescriptionTextReader(carried->DescriptionText), description);
  TToolExit exit = ToolExitNothingDone;
  if (embedded && carried->State == TPayloadState::Damaged) {
    const std::string text = "Cannot install patch: " + carried->Cabinet.File + " is damaged: " + carried->Problem +
                             " - nothing was unpacked or installed";
    reporter.ReportError("%s", text.c_str());
    failures.push_back(text);
  } else if (!read) {
    // One row: mendit's "Init failed" box text speaks of the window program.
    const std::string text = "Cannot read patch description file: " + descriptionPath +
                             " (section [Application] needs Name, DefaultPath and Patch)";
    reporter.ReportError("%s", text.c_str());
    failures.push_back(text);
  } else {
    const std::string target = options.Target.empty()
                                   ? macros.ExpandMacros(description.DefaultPath, true) + description.Name
                                   : options.Target;
    TDiskFileSystem diskFiles;
    TFileSystem& disk = files ? *files : diskFiles;
    // The journal lies beside the folder the run installs into; a target that names no
    // folder is refused here with the installation run's own row.
    bool ranRecords = false;  // the installation run reached the records
    std::string rootFolder;
    const bool haveRoot = FormTargetRoot(target.c_str(), description.Name.c_str(), reporter, rootFolder);
    if (haveRoot) logRoot = rootFolder;
    const std::string journalPath = JournalPathFor(FinalFolderPath(rootFolder), SystemTempFolder());
    const TRemoveDirectory removeDirectory = [](const char* path) { return RemoveDirectoryA(path) != 0; };
    // One run per folder, from the restore of an interrupted run to the end of this one.
    TFolderLock lock;
    // An interrupted all-or-nothing run of this application is put back before anything else
    // (a check, which changes nothing, only says so).
    if (!haveRoot || !lock.Take(rootFolder, reporter)) {
      // nothing can be done
    } else if (options.Check && JournalExists(disk, journalPath)) {
      reporter.ReportError("An earlier run was interrupted and must be put back first: run menditcon without -check (%s)",
                           journalPath.c_str());
    } else if (FinishUnfinishedRun(disk, journalPath, rootFolder, reporter, removeDirectory)) {
      // Check mode runs the engine itself over the disk seen through a record of changes, so
      // its verdicts are the run's own; nothing is written.
      TRecordingFileSystem recording(disk);
      TInstallationRun run;
      run.TargetPath = target.c_str();
      run.MainName = description.Name.c_str();
      run.LockHeld = true;
      run.Patch = description.Patch.c_str();
      if (embedded) run.Within = &carried->Cabinet;
      run.Macros = &macros;
      run.Reporter = &tracker;
      run.Observer = &tracker;
      run.Files = files;
      if (options.Check) {
        run.Files = &recording;
        run.Check = true;
      }
      // Files held by other programs: look again every second for as long as -wait says
      // (a script may be stopping a service meanwhile), then give up with nothing changed.
      DWORD waitStart = 0;
      bool waiting = false;
      run.FilesInUse = [&](const std::vector<TFileInUse>&) {
        if (!waiting) {
          if (options.WaitSeconds <= 0) return TInUseAnswer::Cancel;
          waiting = true;
          waitStart = GetTickCount();
          tracker.ReportInfo("Files in use - waiting up to %d seconds for them to be closed...", options.WaitSeconds);
        }
        if (GetTickCount() - waitStart >= static_cast<DWORD>(options.WaitSeconds) * 1000) return TInUseAnswer::Cancel;
        Sleep(1000);
        return TInUseAnswer::Retry;
      };
      if (!options.RollBack) {
        const TInstallOutcome outcome = RunInstallation(run);
        ranRecords = outcome == TInstallOutcome::Installed;
        if (outcome == TInstallOutcome::Installed)
          exit = RecordsExit(tracker);
        else if (outcome == TInstallOutcome::FilesInUse)
          exit = ToolExitFilesInUse;
      } else {
        TInstallOutcome outcome = TInstallOutcome::CannotOpen;
        const TRollbackResult result = RunAllOrNothing(disk, journalPath, rootFolder, options.Strict, tracker, reporter,
                                                       removeDirectory, [&](TFileSystem& journaled) {
                                                         run.Files = &journaled;
                                                         outcome = RunInstallation(run);
                                                       });
        ranRecords = outcome == TInstallOutcome::Installed;
        // A patch that could not be opened changed nothing, whatever was put back.
        if (outcome == TInstallOutcome::FilesInUse)
          exit = ToolExitFilesInUse;
        else if (outcome == TInstallOutcome::Installed && result == TRollbackResult::Committed)
          exit = RecordsExit(tracker);
        else if (outcome == TInstallOutcome::Installed && result == TRollbackResult::RolledBack)
          exit = ToolExitRolledBack;
      }
    }
    // The summary of a check that got as far as the records; after a fatal error (folder or
    // cabinet not found, files in use) the error row is the last word.
    if (options.Check && ranRecords)
      reporter.ReportInfo("Check completed: %d would apply, %d up to date, %d would be skipped, %d would fail",
                          tracker.Count(TRecordTally::Applied), tracker.Count(TRecordTally::UpToDate),
                          tracker.Count(TRecordTally::Skipped), tracker.Count(TRecordTally::Failed));
    failures = tracker.ErrorsOutsideRecords();
  }
  return exit;
}

}  // namespace

TToolExit RunCompanion(const TCompanionOptions& options, std::FILE* out, const TCarriedPatch* carried,
                       TFileSystem* files) {
  std::FILE* log = nullptr;
  // The record log's lines end in a line feed alone on every system; the log rows are text.
  // Never through a link planted at the name: an elevated run would empty its target.
  const TOutputName logName =
      options.LogFile.empty() ? TOutputName::Usable
                              : OpenCheckedOutput(options.LogFile, options.LogFormat != TLogFormat::Records, log);
  if (logName == TOutputName::Unusable) {
    std::fprintf(stderr, "menditcon: Cannot open file for writing: %s\n", options.LogFile.c_str());
    return ToolExitOutput;
  }
  if (logName != TOutputName::Usable) {
    std::fprintf(stderr, "menditcon: Cannot write log file %s: %s\n", options.LogFile.c_str(),
                 OutputNameProblem(logName).c_str());
    return ToolExitOutput;
  }
  const bool recordLog = log && options.LogFormat == TLogFormat::Records;
  TConsoleReporter reporter(out, recordLog ? nullptr : log);
  TRecordTracker tracker(reporter, options.Check);
  TToolExit exit = ToolExitNothingDone;
  std::vector<std::string> failures;  // errors outside records, for the record log
  std::string logRoot;                // the application folder, once found
  // An exception (no memory left, an internal error) ends the run with one error row and
  // its own exit code, never with abort(), whose status 3 would read as "rolled back".
  // Everything the run held is released on the way out; a -rollback run's journal stays,
  // and the next start puts its files back.
  std::string internal;
  try {
    exit = CompanionRows(options, carried, files, reporter, tracker, failures, logRoot);
  } catch (const std::bad_alloc&) {
    internal = InternalErrorRow(nullptr);
  } catch (const std::exception& e) {
    internal = InternalErrorRow(e.what());
  } catch (...) {
    internal = InternalErrorRow("unknown exception");
  }
  if (!internal.empty()) {
    failures = tracker.ErrorsOutsideRecords();
    failures.push_back(internal);
    reporter.ReportError("%s", internal.c_str());
    exit = ToolExitInternal;
  }
  if (recordLog) WriteRecordLog(log, options.Check, logRoot, tracker.Results(), failures, exit);
  if (log && (std::ferror(log) | std::fclose(log)) != 0) return ToolExitOutput;
  return exit;
}
