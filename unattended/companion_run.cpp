#include "companion_run.h"

#include <windows.h>

#include <string>
#include <vector>

#include "console/console_reporter.h"
#include "description/startup.h"
#include "install/folder_lock.h"
#include "install/installation_run.h"
#include "console/record_tracker.h"
#include "files/private_folder_win32.h"
#include "files/recording_file_system.h"
#include "files/checked_output.h"
#include "files/disk_file_system.h"
#include "paths/macros.h"
#include "syslib/program_file.h"
#include "record_log.h"
#include "rollback_run.h"
#include "run_summary.h"

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

// "NAME VERSION": the running program's file name and the file version of its version
// resource ("version unknown" without one).
std::string ProgramAndVersion() {
  char path[MAX_PATH] = "";
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string name = length > 0 && length < sizeof path ? std::string(path, length) : "mendit";
  name = name.substr(name.find_last_of("\\/") + 1);
  std::string version = "version unknown";
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));  // RT_VERSION
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const unsigned char* bytes = loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
  const DWORD size = found ? SizeofResource(nullptr, found) : 0;
  // VS_FIXEDFILEINFO starts with its signature 0xFEEF04BD; the file version follows it.
  for (DWORD at = 0; bytes && at + 16 <= size; at += 4) {
    auto word = [&](DWORD offset) {
      return static_cast<DWORD>(bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
                                static_cast<DWORD>(bytes[offset + 3]) << 24);
    };
    if (word(at) != 0xFEEF04BD) continue;
    const DWORD high = word(at + 8), low = word(at + 12);
    version = std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) +
              "." + std::to_string(LOWORD(low));
    break;
  }
  return name + " " + version;
}

// The first rows of the log: what runs, on what, how and when.
void ReportHeader(TPatchReporter& reporter, const TCompanionOptions& options, const std::string& patch,
                  const std::string& folder) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char date[32];
  std::snprintf(date, sizeof date, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond);
  const char* what = options.Check ? "check" : options.RollBack ? "all-or-nothing installation" : "installation";
  reporter.ReportInfo("%s - %s", ProgramAndVersion().c_str(), what);
  reporter.ReportInfo("Patch: %s", patch.c_str());
  reporter.ReportInfo("Folder: %s", folder.c_str());
  reporter.ReportInfo("Command line: %s", GetCommandLineA());
  reporter.ReportInfo("Date: %s", date);
}

// The run once the log is open: rows to reporter (and through tracker), errors outside
// records to failures, the application folder to logRoot once found. The exit code.
TToolExit CompanionRows(const TCompanionOptions& options, const TCarriedPatch* carried, TFileSystem* files,
                        TConsoleReporter& reporter, TRecordTracker& tracker, std::vector<std::string>& failures,
                        std::string& logRoot, TRunSummary& summary) {
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
  summary.Check = options.Check;
  {
    const std::string target = !options.Target.empty() ? options.Target
                               : read ? macros.ExpandMacros(description.DefaultPath, true) + description.Name
                                      : std::string();
    std::string folder;
    struct TNoRows : TFormattingReporter {
      void ReportProgress(int32_t, int32_t) override {}
      void ReportText(TReportKind, const char*) override {}
    } noRows;
    if (target.empty() || !FormTargetRoot(target.c_str(), description.Name.c_str(), noRows, folder)) folder = target;
    const std::string patch = embedded ? carried->Cabinet.File
                              : read   ? description.Patch + " (" + descriptionPath + ")"
                                       : descriptionPath;
    ReportHeader(reporter, options, patch, folder);
  }
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
    } else if (!FinishUnfinishedRun(disk, journalPath, rootFolder, reporter, removeDirectory)) {
      summary.NotPutBack = true;
    } else {
      // Check mode runs the engine itself over the disk seen through a record of changes, so
      // its verdicts are the run's own; nothing is written.
      TPrivateSpillStore spill;  // outlives the recording, whose files write into it
      TRecordingFileSystem recording(disk);
      recording.SpillTo(&spill, CheckMemoryBudget);
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
      } else if (!options.Force) {
        // Nobody is there to ask: a patch that does not fit changes nothing.
        run.Misfits = [](const std::vector<TRecordResult>&) { return TFitAnswer::Stop; };
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
        else if (outcome == TInstallOutcome::DoesNotFit)
          exit = ToolExitDoesNotFit;
      } else {
        TInstallOutcome outcome = TInstallOutcome::CannotOpen;
        const TRollbackResult result = RunAllOrNothing(disk, journalPath, rootFolder, options.Strict, tracker, reporter,
                                                       removeDirectory, [&](TFileSystem& journaled) {
                                                         run.Files = &journaled;
                                                         outcome = RunInstallation(run);
                                                       });
        ranRecords = outcome == TInstallOutcome::Installed;
        // A patch that could not be opened changed nothing, whatever was put back.
        summary.RolledBack = result == TRollbackResult::RolledBack;
        summary.NotPutBack = result == TRollbackResult::NotPutBack;
        if (outcome == TInstallOutcome::FilesInUse)
          exit = ToolExitFilesInUse;
        else if (outcome == TInstallOutcome::DoesNotFit)
          exit = ToolExitDoesNotFit;
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
    summary.RecordsRan = ranRecords;
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
  if (!options.Quiet) tracker.ShowProgress(out);
  TToolExit exit = ToolExitNothingDone;
  std::vector<std::string> failures;  // errors outside records, for the record log
  std::string logRoot;                // the application folder, once found
  // An exception (no memory left, an internal error) ends the run with one error row and
  // its own exit code, never with abort(), whose status 3 would read as "rolled back".
  // Everything the run held is released on the way out; a -rollback run's journal stays,
  // and the next start puts its files back.
  std::string internal;
  TRunSummary summary;
  try {
    exit = CompanionRows(options, carried, files, reporter, tracker, failures, logRoot, summary);
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
    summary.RecordsRan = true;  // it may have ended anywhere: the counts tell how far
  }
  summary.ErrorsOutsideRecords = !failures.empty();
  summary.Applied = tracker.Count(TRecordTally::Applied);
  summary.UpToDate = tracker.Count(TRecordTally::UpToDate);
  summary.Skipped = tracker.Count(TRecordTally::Skipped);
  summary.Failed = tracker.Count(TRecordTally::Failed);
  summary.RolledBackRecords = tracker.Count(TRecordTally::RolledBack);
  for (const std::string& row : SummaryRows(summary, exit)) reporter.ReportInfo("%s", row.c_str());
  if (recordLog) WriteRecordLog(log, options.Check, logRoot, tracker.Results(), failures, exit);
  if (log && (std::ferror(log) | std::fclose(log)) != 0) return ToolExitOutput;
  return exit;
}
