#include "installation_run.h"

#include <string>

#include "extracted_patch.h"
#include "files/journal_file_system.h"
#include "folder_lock.h"
#include "patch/root_macro.h"
#include "files/disk_file_system.h"
#include "files/private_folder_win32.h"
#include "files/recording_file_system.h"
#include "paths/path_name.h"
#include "signature/signature.h"

namespace {
bool Blank(const char* text) {
  while (*text == ' ') ++text;
  return *text == '\0';
}
}  // namespace

bool FormTargetRoot(const char* targetPath, const char* mainName, TPatchReporter& reporter, std::string& root) {
  root.clear();
  if (Blank(targetPath)) {
    reporter.ReportError("Cannot install patch: the path field is empty");
    return false;
  }
  TPathName target(targetPath);
  const std::string whole = target.FullPath(true);
  if (target.Cut() || whole.empty()) {
    reporter.ReportError("Cannot install patch: path too long: %s", targetPath);
    return false;
  }
  TDiskFileSystem files;
  if (files.DirectoryExists(whole.c_str())) {
    std::string folder = whole;
    if (folder.back() == '\\') folder.pop_back();  // "C:\\" is the drive's folder "C:"
    const std::string main = folder + "\\" + mainName;
    if (!*mainName || !files.FileExists(main.c_str())) {
      reporter.ReportError("Cannot install patch: %s not found", main.c_str());
      return false;
    }
    root = folder;
  } else if (files.FileExists(whole.c_str())) {
    root = target.Directory();
  } else {
    reporter.ReportError("Cannot install patch: %s not found", targetPath);
    return false;
  }
  if (root.empty()) {
    reporter.ReportError("Cannot install patch: path too long: %s", targetPath);
    return false;
  }
  return true;
}

TInstallOutcome RunInstallation(const TInstallationRun& run) {
  TExtractedPatch patch(run.Reporter);
  patch.SetMessageHook(run.MessageHook, run.MessageContext);
  if (run.ClearLog) run.ClearLog();
  // A self-applying program is the one file a vendor signs: who signed it is the run's first
  // row. (Loose patches get none: a description file carries no signature, so a signed
  // cabinet alone would not vouch for where the patch installs.)
  // A signature that is there but does not hold (the file changed after signing, a root
  // this system does not trust) refuses the install: whoever changed the file may have
  // swapped the patch for another. No signature at all stays a warning, as for loose patches.
  if (run.Within) {
    const TSignature signature = ReadSignature(run.Within->File);
    const std::string row = SignatureRow(signature);
    if (signature.State == TSignatureState::Signed) {
      run.Reporter->ReportInfo("%s", row.c_str());
    } else if (signature.State == TSignatureState::Invalid) {
      run.Reporter->ReportError("%s", row.c_str());
      run.Reporter->ReportError("Cannot install patch: its signature does not hold - nothing was unpacked or installed");
      if (run.SignatureRefused) run.SignatureRefused(row);
      return TInstallOutcome::SignatureInvalid;
    } else {
      run.Reporter->ReportWarning("%s", row.c_str());
    }
  }
  // Both the target folder and the cabinet's path must be whole before anything is unpacked:
  // a shortened path would name another place.
  std::string rootFolder;
  if (!FormTargetRoot(run.TargetPath, run.MainName, *run.Reporter, rootFolder)) return TInstallOutcome::NoTarget;
  TPathName cabinet(run.Within ? run.Within->File.c_str() : run.Patch);
  if (cabinet.Cut() || cabinet.Directory()[0] == '\0') {
    run.Reporter->ReportError("Cannot install patch: patch file path too long: %s", run.Patch);
    return TInstallOutcome::NoTarget;
  }
  // One run per folder; and files an interrupted run of menditcon changed are put back by
  // menditcon before anything else may change them.
  TFolderLock lock;
  if (!run.LockHeld) {
    if (!lock.Take(rootFolder, *run.Reporter)) return TInstallOutcome::Busy;
    const std::string journal = JournalPathFor(FinalFolderPath(rootFolder), SystemTempFolder());
    TDiskFileSystem disk;
    if (disk.FileExists(journal.c_str())) {
      run.Reporter->ReportError(
          "Cannot install patch: an interrupted run of menditcon left files to put back (%s); "
          "start menditcon with this patch to put them back first",
          journal.c_str());
      return TInstallOutcome::Unfinished;
    }
  }
  switch (patch.Open(run.Patch, run.Within)) {
    case TExtractOutcome::CannotUnpack:
      return TInstallOutcome::CannotUnpack;
    case TExtractOutcome::CannotOpen:
      return TInstallOutcome::CannotOpen;
    case TExtractOutcome::Opened:
      break;
  }
  TRootMacro root(*run.Macros, rootFolder);
  // The directory is read once: the look for files in use (every Retry of it) and the
  // installer work from this one reading.
  const TPatchDirectory directory = ReadPatchDirectory(*patch.Data());
  if (ReportRefusal(directory, run.Patch, *run.Reporter)) return TInstallOutcome::CannotOpen;
  // Before the first record changes anything: a file held by another process would make its
  // record fail in the middle of the patch and leave the application half old, half new.
  TDiskFileHolders diskHolders;
  if (!ClearOfFilesInUse(directory, run.Macros, run.Holders ? *run.Holders : diskHolders, run.FilesInUse,
                         *run.Reporter))
    return TInstallOutcome::FilesInUse;
  TDiskFileSystem files;
  // A patch that does not fit would leave the application part old, part new: its owner is
  // asked before the first change. Only a patch with content checks can be judged by content.
  if (run.Misfits && !run.Check && CarriesVerification(directory)) {
    TPrivateSpillStore spill;  // outlives the recording, whose files write into it
    TRecordingFileSystem recording(run.Files ? *run.Files : files);
    recording.SpillTo(&spill, CheckMemoryBudget);
    const std::vector<TRecordResult> misfits =
        JudgeFit(directory, *patch.Data(), run.Macros, recording, run.Reporter, run.MessageHook, run.MessageContext);
    if (!misfits.empty() && run.Misfits(misfits) == TFitAnswer::Stop) {
      for (const TRecordResult& m : misfits) {
        if (m.Tally() == TRecordTally::Failed)
          run.Reporter->ReportError("%s", MisfitRow(m).c_str());
        else
          run.Reporter->ReportWarning("%s", MisfitRow(m).c_str());
      }
      run.Reporter->ReportError("Cannot install patch: it does not fit this installation - nothing was changed");
      return TInstallOutcome::DoesNotFit;
    }
  }
  run.Reporter->ReportInfo(run.Check ? "Checking patch..." : "Installing patch...");
  TPatchFile installer(directory, patch.Data(), run.Macros, run.Reporter, run.Files ? run.Files : &files);
  installer.SetMessageHook(run.MessageHook, run.MessageContext);
  installer.SetRecordObserver(run.Observer);
  installer.Run();
  if (!run.Check) run.Reporter->ReportInfo("Patching completed !");
  // The installer goes first, then "&ROOT&", then the data file and the temporary files.
  return TInstallOutcome::Installed;
}
