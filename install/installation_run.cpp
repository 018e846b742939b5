#include "installation_run.h"

#include <string>

#include "extracted_patch.h"
#include "patch/root_macro.h"
#include "patch/win32_file_system.h"
#include "paths/path_name.h"

TInstallOutcome RunInstallation(const TInstallationRun& run) {
  TExtractedPatch patch(run.Reporter);
  if (run.ClearLog) run.ClearLog();
  switch (patch.Open(run.Patch)) {
    case TExtractOutcome::CannotUnpack:
      return TInstallOutcome::CannotUnpack;
    case TExtractOutcome::CannotOpen:
      return TInstallOutcome::CannotOpen;
    case TExtractOutcome::Opened:
      break;
  }
  run.Reporter->ReportInfo("Installing patch...");
  TPathName target(run.TargetPath);
  TRootMacro root(*run.Macros, target.Directory());
  TWin32FileSystem files;
  TPatchFile installer(patch.Data(), run.Macros, run.Reporter, &files);
  installer.SetMessageHook(run.MessageHook, run.MessageContext);
  installer.Run();
  run.Reporter->ReportInfo("Patching completed !");
  // The installer goes first, then "&ROOT&", then the data file and the temporary files.
  return TInstallOutcome::Installed;
}
