#include "wizard_run.h"

#include "wizard_build.h"
#include "wizard_machine.h"

#include <new>

namespace {

// The build's events as menditwiz prints them: progress to out unless quiet; the notes
// about empty folders always.
class TPrintedEvents : public TWizardEvents {
 public:
  TPrintedEvents(std::FILE* out, bool quiet, const std::string& mainProgram)
      : Out(out), Quiet(quiet), MainProgram(mainProgram) {}

  void ReadingRelease(const std::string& folder, size_t step, size_t steps) override {
    Step(step, steps, 0);
    if (!Quiet) std::fprintf(Out, "Reading %s\n", DisplayPath(folder).c_str());
  }
  void EmptyFolderNotCarried(const std::string& folder) override {
    std::fprintf(Out, "Note: the empty folder %s is not carried by the patch\n", folder.c_str());
  }
  void SharedBackupName(const std::string& first, const std::string& second) override {
    std::fprintf(Out, "Note: %s and %s share one backup name; the backup of %s is the one kept\n", first.c_str(),
                 second.c_str(), second.c_str());
  }
  void StubSignatureDropped(const std::string& stub) override {
    std::fprintf(Out, "Note: the signature of %s is not carried into the program written: sign it again\n",
                 stub.c_str());
  }
  void SameStampOtherContent(const std::string& path) override {
    std::fprintf(Out,
                 "Note: old releases hold different contents of %s under one date/time; a mendit without "
                 "content checks cannot tell them apart\n",
                 path.c_str());
  }
  // Each file's first report starts its line; later ones show how far the records are, the
  // file's own part counted in, on that line.
  void FileProgress(const std::string& path, size_t step, size_t steps, size_t done, size_t total) override {
    if (Quiet) return;
    const double part = total > 0 ? static_cast<double>(done) / total : 0.0;
    if (step != FileStep) {
      FileStep = step;
      Step(step, steps, part);
      std::fprintf(Out, "%s (%zu bytes)\n", DisplayPath(path).c_str(), total);
    } else if (total > 0) {
      std::fprintf(Out, "\r  %3d%% of the records, %3d%% of the file", Percent(step, steps, part),
                   static_cast<int>(part * 100));
      if (done == total) std::fprintf(Out, "\n");
    }
    std::fflush(Out);
  }
  void RecordsMade(size_t steps) override {
    Step(steps, steps, 1);
    if (!Quiet) std::fprintf(Out, "Records made\n");
  }
  // What the patch says about who made it is no progress: it is printed with -q too.
  void IdentityChosen(const TVendorIdentity& vendor, const TIdentityOrigin& origin) override {
    std::fprintf(Out, "%s", IdentityText(vendor, origin, MainProgram).c_str());
  }
  // The first report starts the line; later ones show the share packed on the line below
  // whenever its percentage changes.
  void Packing(size_t done, size_t total) override {
    if (Quiet) return;
    const int percent = total > 0 ? static_cast<int>(static_cast<double>(done) / total * 100) : 100;
    if (done == 0) {
      Step(1, 1, 0);
      std::fprintf(Out, "Packing the cabinet (%zu bytes of patch data)\n", total);
      PackedPercent = -1;
    } else if (percent != PackedPercent) {
      PackedPercent = percent;
      std::fprintf(Out, "\r  %3d%% of the patch data packed", percent);
      if (done == total) std::fprintf(Out, "\n");
    }
    std::fflush(Out);
  }
  void Verifying(const std::string& folder, size_t step, size_t steps) override {
    Step(step, steps, 0);
    if (!Quiet) std::fprintf(Out, "Verifying: applying the patch to a copy of %s\n", DisplayPath(folder).c_str());
  }

 private:
  // How far a phase is when its step-th of steps is part done.
  static int Percent(size_t step, size_t steps, double part) {
    return steps == 0 ? 100 : static_cast<int>(((step - 1) + part) * 100 / steps);
  }
  // "[step/steps] NN% " before a step's line.
  void Step(size_t step, size_t steps, double part) {
    if (!Quiet) std::fprintf(Out, "[%zu/%zu] %3d%% ", step, steps, Percent(step, steps, part));
  }

  std::FILE* Out;
  bool Quiet;
  std::string MainProgram;
  size_t FileStep = 0;
  int PackedPercent = -1;
};

TToolExit ExitCodeOf(TWizardFailure failure) {
  switch (failure) {
    case TWizardFailure::None:
      return ToolExitDone;
    case TWizardFailure::DescriptionRefused:
      return ToolExitUsage;
    case TWizardFailure::OutputFolderUnusable:
    case TWizardFailure::OutputInsideRelease:
    case TWizardFailure::OutputFolderNotWritable:
    case TWizardFailure::NoScratchFolder:
    case TWizardFailure::ProgramNotReproduced:
    case TWizardFailure::CabinetNotPacked:
    case TWizardFailure::CabinetNotStored:
    case TWizardFailure::OutputNotWritten:
    case TWizardFailure::OutputExists:
      return ToolExitOutput;
    case TWizardFailure::AlsoRepeated:
      return ToolExitUsage;
    case TWizardFailure::CabinetNotExtracted:
    case TWizardFailure::NotReproduced:
      return ToolExitFailed;
    default:
      return ToolExitNothingDone;
  }
}

// The one line that names a failure.
std::string FailureText(const TWizardOptions& options, const TWizardOutcome& outcome) {
  switch (outcome.Failure) {
    case TWizardFailure::OldFolderUnreadable:
    case TWizardFailure::NewFolderUnreadable:
      return "Cannot read folder " + DisplayPath(outcome.Subject);
    case TWizardFailure::OutputFolderUnusable:
      return "Cannot use output folder " + DisplayPath(outcome.Subject);
    case TWizardFailure::OutputInsideRelease:
      return "The output folder lies inside a release folder: " + DisplayPath(outcome.Subject);
    case TWizardFailure::OutputFolderNotWritable:
      return "Cannot write in the output folder " + DisplayPath(outcome.Subject);
    case TWizardFailure::MainExecutableMissing:
      return "The main executable " + options.MainExecutable + " is not in " + DisplayPath(outcome.Subject);
    case TWizardFailure::NoScratchFolder:
      return "Cannot create a scratch folder in the temporary folder";
    case TWizardFailure::NothingToPatch:
      return "The releases do not differ: there is nothing to patch";
    case TWizardFailure::CabinetNotPacked:
      return "Cannot build the cabinet: " + outcome.Detail;
    case TWizardFailure::CabinetNotStored:
    case TWizardFailure::OutputNotWritten:
      return "Cannot write " + DisplayPath(outcome.Subject) + (outcome.Detail.empty() ? "" : ": " + outcome.Detail);
    case TWizardFailure::CabinetNotExtracted:
      return "The cabinet just built cannot be extracted: " + outcome.Detail;
    case TWizardFailure::NotReproduced:
      return "The patch does not reproduce the new release";
    case TWizardFailure::StubUnusable:
      return "Cannot make a self-applying program of " + DisplayPath(outcome.Subject) + ": " + outcome.Detail;
    case TWizardFailure::ProgramNotReproduced:
      return "The self-applying program just written does not carry the verified patch: " +
             DisplayPath(outcome.Subject);
    case TWizardFailure::OutputExists:
      return DisplayPath(outcome.Subject) + " exists already: give -f to replace it";
    case TWizardFailure::AlsoRepeated:
      return "-also names a release given already: " + DisplayPath(outcome.Subject);
    case TWizardFailure::ReleaseEmpty:
      return "The release folder holds no files: " + DisplayPath(outcome.Subject);
    case TWizardFailure::NamesNotCarried:
      return "Names no patch can carry:\n" + outcome.Detail;
    default:  // the lower layer's own words
      return outcome.Detail;
  }
}

void PrintSummary(std::FILE* out, const TWizardOutcome& outcome) {
  int copies = 0, modifies = 0, deletes = 0;
  std::fprintf(out, "Records:\n");
  for (const TBuiltRecord& r : outcome.Records) {
    switch (r.Kind) {
      case TBuiltKind::Copy:
        ++copies;
        std::fprintf(out, "  copy    %-40s %lld bytes\n", r.Plan.NewPath.c_str(), static_cast<long long>(r.DataSize));
        break;
      case TBuiltKind::Modify:
        ++modifies;
        if (r.Difference) {
          std::fprintf(out, "  modify  %-40s %lld -> %lld bytes, difference record %lld bytes (packed %zu, block delta %zu)\n",
                       r.Plan.OldPath.c_str(), static_cast<long long>(r.Plan.OldSize),
                       static_cast<long long>(r.Plan.NewSize), static_cast<long long>(r.DataSize), r.PackedDifference,
                       r.PackedBlock);
          break;
        }
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
        break;
    }
  }
  std::fprintf(out, "%d copy, %d modify, %d delete records; %d files unchanged\n", copies, modifies,
               deletes, outcome.UnchangedFiles);
  std::fprintf(out, "Patch data file: %zu bytes; cabinet: %lld bytes\n", outcome.DataSize,
               static_cast<long long>(outcome.CabinetSize));
}

}  // namespace

TToolExit RunWizard(const TWizardOptions& options, const TBuildHooks& hooks, std::FILE* out,
                      std::FILE* err) {
  TPrintedEvents events(out, options.Quiet, options.MainExecutable);
  TWizardOutcome outcome;
  try {
    outcome = BuildWizardPatch(options, hooks, events);
  } catch (const std::bad_alloc&) {
    // The build holds both releases' files in memory; the scratch folder and any output
    // written under a temporary name are removed as the build unwinds.
    std::fprintf(err, "menditwiz: not enough memory to build this patch\nmenditwiz: nothing was written\n");
    return ToolExitNothingDone;
  } catch (const std::exception& e) {
    // Unwound the same way: nothing was written.
    std::fprintf(err, "menditwiz: internal error: %s\nmenditwiz: nothing was written\n", e.what());
    return ToolExitInternal;
  }
  const TToolExit code = ExitCodeOf(outcome.Failure);
  if (code == ToolExitDone) {
    PrintSummary(out, outcome);
    if (outcome.ProgramOut.empty())
      std::fprintf(out, "Wrote %s and %s\n", DisplayPath(outcome.CabinetOut).c_str(),
                   DisplayPath(outcome.DescriptionOut).c_str());
    else
      std::fprintf(out, "Wrote %s, %s and %s (%lld bytes)\n", DisplayPath(outcome.CabinetOut).c_str(),
                   DisplayPath(outcome.DescriptionOut).c_str(), DisplayPath(outcome.ProgramOut).c_str(),
                   static_cast<long long>(outcome.ProgramSize));
    return code;
  }
  if (outcome.Failure == TWizardFailure::NotReproduced) {
    for (const std::string& row : outcome.Verification.EngineRows)
      if (row[0] == '[') std::fprintf(err, "%s\n", row.c_str());
    for (const std::string& problem : outcome.Verification.Problems) std::fprintf(err, "  %s\n", problem.c_str());
  }
  std::fprintf(err, "menditwiz: %s\n", FailureText(options, outcome).c_str());
  if (code == ToolExitFailed || code == ToolExitOutput) std::fprintf(err, "menditwiz: nothing was written\n");
  return code;
}
