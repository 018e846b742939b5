#include "wizard_run.h"

#include <algorithm>
#include <cstdarg>
#include <memory>

#include "cabinet_output.h"
#include "description_file.h"
#include "patch_plan.h"
#include "release_verifier.h"
#include "wizard_machine.h"

namespace {

// Removes the scratch folder however the run ends.
class TScratch {
 public:
  TScratch() : path(MakeScratchFolder()) {}
  ~TScratch() {
    if (!path.empty()) RemoveTree(path);
  }
  const std::string path;
};

// The name an output is written under until both outputs are complete.
std::string TemporaryName(const std::string& path) { return path + ".new"; }

// Whether a file can be made in folder (made first when missing; made is set then): a file
// under the cabinet's temporary name is written and removed again.
bool CanWriteIn(TFileSystem& files, const std::string& folder, const std::string& probe, bool& made) {
  made = false;
  if (!IsFolder(folder)) {
    if (!files.CreateDir(folder.c_str())) return false;
    made = true;
  }
  const bool written = WriteWholeFile(files, probe, std::vector<uint8_t>{0});
  files.Delete(probe.c_str());
  return written;
}

// Puts both outputs in place, or neither: each is written complete under its temporary name
// first; then the cabinet replaces the previous one, whose file is kept aside until the
// description has replaced its own. Any failure leaves the folder as it was.
bool WriteOutputs(TFileSystem& files, const std::string& cabinetPath, const std::vector<uint8_t>& cabinet,
                  const std::string& descriptionPath, const std::string& description, std::string& failed) {
  const std::string cabinetTemporary = TemporaryName(cabinetPath);
  const std::string descriptionTemporary = TemporaryName(descriptionPath);
  const std::string previousCabinet = cabinetPath + ".old";
  auto discard = [&] {
    files.Delete(cabinetTemporary.c_str());
    files.Delete(descriptionTemporary.c_str());
  };
  failed = cabinetPath;
  if (!WriteWholeFile(files, cabinetTemporary, cabinet)) return discard(), false;
  failed = descriptionPath;
  if (!WriteWholeFile(files, descriptionTemporary, std::vector<uint8_t>(description.begin(), description.end())))
    return discard(), false;
  failed = cabinetPath;
  files.Delete(previousCabinet.c_str());
  const bool hadCabinet = files.Move(cabinetPath.c_str(), previousCabinet.c_str());
  if (!MoveReplacing(cabinetTemporary, cabinetPath)) {
    if (hadCabinet) files.Move(previousCabinet.c_str(), cabinetPath.c_str());
    return discard(), false;
  }
  failed = descriptionPath;
  if (!MoveReplacing(descriptionTemporary, descriptionPath)) {
    files.Delete(cabinetPath.c_str());
    if (hadCabinet) files.Move(previousCabinet.c_str(), cabinetPath.c_str());
    return discard(), false;
  }
  if (hadCabinet) files.Delete(previousCabinet.c_str());
  return true;
}

void PrintSummary(std::FILE* out, const std::vector<TBuiltRecord>& records, size_t dataSize,
                  int64_t cabinetSize) {
  int copies = 0, modifies = 0, deletes = 0, same = 0;
  std::fprintf(out, "Records:\n");
  for (const TBuiltRecord& r : records) {
    switch (r.Kind) {
      case TBuiltKind::Copy:
        ++copies;
        std::fprintf(out, "  copy    %-40s %lld bytes\n", r.Plan.NewPath.c_str(), static_cast<long long>(r.DataSize));
        break;
      case TBuiltKind::Modify:
        ++modifies;
        std::fprintf(out, "  modify  %-40s %lld -> %lld bytes, delta %lld bytes (%zu blocks copied, %zu literal, %zu bytes edited)\n",
                     r.Plan.OldPath.c_str(), static_cast<long long>(r.Plan.OldSize),
                     static_cast<long long>(r.Plan.NewSize), static_cast<long long>(r.DataSize),
                     r.Delta.CopyBlocks, r.Delta.LiteralBlocks, r.Delta.EditedBytes);
        break;
      case TBuiltKind::Delete:
        ++deletes;
        std::fprintf(out, "  delete  %s\n", r.Plan.OldPath.c_str());
        break;
      default:
        ++same;
    }
  }
  std::fprintf(out, "%d copy, %d modify, %d delete records; %d files unchanged\n", copies, modifies,
               deletes, same);
  std::fprintf(out, "Patch data file: %zu bytes; cabinet: %lld bytes\n", dataSize,
               static_cast<long long>(cabinetSize));
}

}  // namespace

TWizardExit RunWizard(const TWizardOptions& options, const TBuildHooks& givenHooks, std::FILE* out,
                      std::FILE* err) {
  auto fail = [&](TWizardExit code, const std::string& text) {
    std::fprintf(err, "menditwiz: %s\n", text.c_str());
    if (code == WizardVerifyFailed || code == WizardOutputError)
      std::fprintf(err, "menditwiz: nothing was written\n");
    return code;
  };
  const std::string oldRoot = AbsolutePath(options.OldFolder);
  const std::string newRoot = AbsolutePath(options.NewFolder);
  const std::string outRoot = AbsolutePath(options.OutputFolder);
  if (oldRoot.empty() || !IsFolder(oldRoot)) return fail(WizardInputError, "Cannot read folder " + options.OldFolder);
  if (newRoot.empty() || !IsFolder(newRoot)) return fail(WizardInputError, "Cannot read folder " + options.NewFolder);
  if (outRoot.empty()) return fail(WizardOutputError, "Cannot use output folder " + options.OutputFolder);

  std::string description, error;
  if (!FormatDescription(options.MainExecutable, options.DefaultPath, options.PatchValue, description, error))
    return fail(WizardUsage, error);

  const std::unique_ptr<TFolderLister> machineLister = NewFolderLister();
  const std::unique_ptr<TFileSystem> machineFiles = NewFileSystem();
  TFolderLister& lister = *machineLister;
  TFileSystem& files = *machineFiles;

  // The output folder must take files before the long build, not after it. A folder made
  // for this run goes again if the run writes nothing (removing fails once it holds files).
  const std::string cabinetOut = JoinPath(outRoot, options.CabinetName);
  const std::string descriptionOut = JoinPath(outRoot, options.DescriptionName);
  bool madeOutput = false;
  if (!CanWriteIn(files, outRoot, TemporaryName(cabinetOut), madeOutput))
    return fail(WizardOutputError, "Cannot write in the output folder " + outRoot);
  struct TMadeFolder {
    const std::string& Path;
    bool Made;
    ~TMadeFolder() {
      if (Made) RemoveEmptyFolder(Path);
    }
  } madeFolder{outRoot, madeOutput};
  TRelease oldRelease, newRelease;
  if (!options.Quiet) std::fprintf(out, "Reading %s\n", oldRoot.c_str());
  if (!ScanRelease(lister, files, oldRoot, oldRelease, error)) return fail(WizardInputError, error);
  if (!options.Quiet) std::fprintf(out, "Reading %s\n", newRoot.c_str());
  if (!ScanRelease(lister, files, newRoot, newRelease, error)) return fail(WizardInputError, error);
  bool mainFound = false;
  for (const TReleaseFile& f : newRelease.Files) mainFound |= NameKey(f.Path) == NameKey(options.MainExecutable);
  if (!mainFound)
    return fail(WizardInputError, "The main executable " + options.MainExecutable + " is not in " + newRoot);

  std::vector<TPlannedRecord> plan;
  if (!PlanPatch(oldRelease, newRelease, plan, error)) return fail(WizardInputError, error);
  // Records create folders only for the files they write; say so for new folders left empty.
  for (const std::string& folder : newRelease.Directories) {
    const std::string prefix = NameKey(folder) + "\\";
    bool holdsFile = false;
    for (const std::string& had : oldRelease.Directories) holdsFile |= NameKey(had) == NameKey(folder);
    for (const TReleaseFile& f : newRelease.Files) holdsFile |= NameKey(f.Path).compare(0, prefix.size(), prefix) == 0;
    if (!holdsFile) std::fprintf(out, "Note: the empty folder %s is not carried by the patch\n", folder.c_str());
  }

  TScratch scratch;
  if (scratch.path.empty()) return fail(WizardOutputError, "Cannot create a scratch folder in the temporary folder");

  TBuildHooks hooks = givenHooks;
  size_t fileNumber = 0;
  std::string current;
  hooks.Progress = [&](const std::string& path, size_t done, size_t total) {
    if (options.Quiet) return;
    if (path != current) {
      current = path;
      ++fileNumber;
      std::fprintf(out, "[%zu] %s (%zu bytes)\n", fileNumber, path.c_str(), total);
    } else if (total > 0) {
      std::fprintf(out, "\r  %3d%%", static_cast<int>(done * 100.0 / total));
      if (done == total) std::fprintf(out, "\n");
    }
    std::fflush(out);
  };
  std::vector<uint8_t> data;
  std::vector<TBuiltRecord> records;
  if (!BuildPatchData(files, oldRoot, newRoot, plan, hooks, data, records, error))
    return fail(WizardInputError, error);
  // No record at all: a patch that does nothing helps nobody.
  if (data.empty()) return fail(WizardInputError, "The releases do not differ: there is nothing to patch");

  // The patch data file is dated like the newest file of the new release, so that the same
  // releases always give the same cabinet.
  TDosStamp dataStamp = 0;
  for (const TReleaseFile& f : newRelease.Files) dataStamp = std::max(dataStamp, f.Stamp);
  if (!options.Quiet) std::fprintf(out, "Packing the cabinet\n");
  std::vector<uint8_t> cabinet;
  if (!PackCabinet(data, options.Compression, dataStamp, cabinet, error))
    return fail(WizardOutputError, "Cannot build the cabinet: " + error);
  const std::string cabinetPath = JoinPath(scratch.path, options.CabinetName);
  if (!WriteWholeFile(files, cabinetPath, cabinet)) return fail(WizardOutputError, "Cannot write " + cabinetPath);

  // The check works on what users receive: the cabinet, extracted as mendit extracts it.
  if (!options.Quiet) std::fprintf(out, "Verifying: applying the patch to a copy of the old release\n");
  std::unique_ptr<TExtractedCabinet> extracted = ExtractCabinet(scratch.path, options.CabinetName, error);
  if (!extracted) return fail(WizardVerifyFailed, "The cabinet just built cannot be extracted: " + error);
  const std::string target = JoinPath(scratch.path, "ROOT");
  TVerification verification;
  bool verified = files.CreateDir(target.c_str()) &&
                  VerifyPatch(lister, files, oldRoot, oldRelease, newRelease, newRoot, records,
                              extracted->Data(), target, verification);
  extracted.reset();
  if (!verified) {
    for (const std::string& row : verification.EngineRows)
      if (row[0] == '[') std::fprintf(err, "%s\n", row.c_str());
    for (const std::string& problem : verification.Problems) std::fprintf(err, "  %s\n", problem.c_str());
    return fail(WizardVerifyFailed, "The patch does not reproduce the new release");
  }

  std::string failed;
  if (!WriteOutputs(files, cabinetOut, cabinet, descriptionOut, description, failed))
    return fail(WizardOutputError, "Cannot write " + failed);
  PrintSummary(out, records, data.size(), static_cast<int64_t>(cabinet.size()));
  std::fprintf(out, "Wrote %s and %s\n", cabinetOut.c_str(), descriptionOut.c_str());
  return WizardSuccess;
}
