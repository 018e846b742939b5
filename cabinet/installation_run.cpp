#include "installation_run.h"

#include <memory>
#include <string>

#include "patch/patch_reporter.h"
#include "patch/win32_file_system.h"
#include "patch_unpacker.h"
#include "paths/macros.h"
#include "paths/path_name.h"

namespace {
const char* const RootMacro = "&ROOT&";

// Opens the extracted patch data file, runs the installer over it with "&ROOT&" defined,
// and closes it again.
TInstallOutcome Install(const TInstallationRun& run, const char* extractedName) {
  TWin32FileSystem files;
  std::unique_ptr<TInputFile> data;
  if (extractedName[0] != '\0') data = files.OpenRead(extractedName);
  if (!data) {
    run.Reporter->ReportError("Cannot open patch file: %s", run.Patch);
    return TInstallOutcome::CannotOpen;
  }
  run.Reporter->ReportInfo("Installing patch...");
  TPathName target(run.TargetPath);
  TMacroDef* root = new TMacroDef(RootMacro, target.Directory());
  if (!run.Macros->AddMacro(root)) delete root;
  {
    TPatchFile installer(data.get(), run.Macros, run.Reporter, &files);
    installer.SetMessageHook(run.MessageHook, run.MessageContext);
    installer.Run();
    run.Reporter->ReportInfo("Patching completed !");
    run.Macros->RemoveMacro(RootMacro);
  }
  return TInstallOutcome::Installed;  // data closes here, after the installer is gone
}
}  // namespace

TInstallOutcome RunInstallation(const TInstallationRun& run) {
  TPatchUnpacker unpacker(run.Reporter);
  TPathName patch(run.Patch);
  const std::string cabinetName = patch.FileName();
  const std::string cabinetDirectory = std::string(patch.Directory()) + "\\";
  if (run.ClearLog) run.ClearLog();
  run.Reporter->ReportInfo("Unpacking patch...");

  TInstallOutcome outcome;
  if (unpacker.Unpack(cabinetName.c_str(), cabinetDirectory.c_str(), 0)) {
    outcome = Install(run, unpacker.ExtractedName());
  } else {
    run.Reporter->ReportError("Cannot unpack patch file: %s", run.Patch);
    outcome = TInstallOutcome::CannotUnpack;
  }
  unpacker.RemoveTemporaryFiles();
  return outcome;
}
