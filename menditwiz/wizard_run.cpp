#include "wizard_run.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <memory>

#include "cabinet/patch_unpacker.h"
#include "cabinet_output.h"
#include "description_file.h"
#include "patch/win32_file_system.h"
#include "patch_plan.h"
#include "release_verifier.h"
#include "win32_folders.h"

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

// The cabinet binding's messages during the check extraction.
class TUnpackReporter : public TPatchReporter {
 public:
  std::string Errors;
  void ReportProgress(int32_t, int32_t) override {}

 protected:
  void Report(TReportKind kind, const char* format, va_list args) override {
    char text[1000];
    std::vsnprintf(text, sizeof text, format, args);
    if (kind != TReportKind::Info) Errors += std::string(Errors.empty() ? "" : "; ") + text;
  }
};

int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info)) return -1;
  return (static_cast<int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

// Writes text to path through a temporary name beside it, so that a failed write leaves no
// half file behind.
bool WriteTextFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new";
  TWin32FileSystem files;
  const std::vector<uint8_t> bytes(text.begin(), text.end());
  if (!WriteWholeFile(files, temporary, bytes)) {
    DeleteFileA(temporary.c_str());
    return false;
  }
  if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileA(temporary.c_str());
    return false;
  }
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

  TWin32FolderLister lister;
  TWin32FileSystem files;
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
  hooks.CompressedSize = [&](const std::vector<uint8_t>& bytes) { return CabinetSize(scratch.path, bytes); };
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
  // No record at all: a patch that does nothing helps nobody (and the cabinet library will
  // not pack an empty file).
  if (data.empty()) return fail(WizardInputError, "The releases do not differ: there is nothing to patch");

  const std::string dataPath = JoinPath(scratch.path, DataFileName);
  const std::string cabinetPath = JoinPath(scratch.path, options.CabinetName);
  if (!WriteWholeFile(files, dataPath, data)) return fail(WizardOutputError, "Cannot write " + dataPath);
  if (!options.Quiet) std::fprintf(out, "Packing the cabinet\n");
  if (!PackCabinet(dataPath, cabinetPath, error)) return fail(WizardOutputError, error);

  // The check works on what users receive: the cabinet, extracted as mendit extracts it.
  if (!options.Quiet) std::fprintf(out, "Verifying: applying the patch to a copy of the old release\n");
  TUnpackReporter unpackReporter;
  TPatchUnpacker unpacker(&unpackReporter);
  const std::string scratchDirectory = scratch.path + "\\";
  std::unique_ptr<TInputFile> extracted;
  if (unpacker.Unpack(options.CabinetName.c_str(), scratchDirectory.c_str(), 0) && unpacker.ExtractedName()[0])
    extracted = files.OpenRead(unpacker.ExtractedName());
  if (!extracted) {
    unpacker.RemoveTemporaryFiles();
    return fail(WizardVerifyFailed, "The cabinet just built cannot be extracted: " + unpackReporter.Errors);
  }
  const std::string target = JoinPath(scratch.path, "ROOT");
  TVerification verification;
  bool verified = files.CreateDir(target.c_str()) &&
                  VerifyPatch(lister, files, oldRoot, oldRelease, newRelease, newRoot, records,
                              *extracted, target, verification);
  extracted.reset();
  unpacker.RemoveTemporaryFiles();
  if (!verified) {
    for (const std::string& row : verification.EngineRows)
      if (row[0] == '[') std::fprintf(err, "%s\n", row.c_str());
    for (const std::string& problem : verification.Problems) std::fprintf(err, "  %s\n", problem.c_str());
    return fail(WizardVerifyFailed, "The patch does not reproduce the new release");
  }

  const std::string cabinetOut = JoinPath(outRoot, options.CabinetName);
  const std::string descriptionOut = JoinPath(outRoot, options.DescriptionName);
  if (!IsFolder(outRoot) && !CreateDirectoryA(outRoot.c_str(), nullptr))
    return fail(WizardOutputError, "Cannot create output folder " + outRoot);
  if (!CopyFileA(cabinetPath.c_str(), cabinetOut.c_str(), FALSE))
    return fail(WizardOutputError, "Cannot write " + cabinetOut);
  if (!WriteTextFile(descriptionOut, description)) {
    DeleteFileA(cabinetOut.c_str());
    return fail(WizardOutputError, "Cannot write " + descriptionOut);
  }
  PrintSummary(out, records, data.size(), FileSize(cabinetOut));
  std::fprintf(out, "Wrote %s and %s\n", cabinetOut.c_str(), descriptionOut.c_str());
  return WizardSuccess;
}
