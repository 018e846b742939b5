#include "wizard_build.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "cabinet_output.h"
#include "description/description_file.h"
#include "files/checked_output.h"
#include "patch_plan.h"
#include "files/whole_file.h"
#include "release_names.h"
#include "payload/payload.h"
#include "executable/pe_resources.h"
#include "vendor_identity.h"
#include "wizard_machine.h"

namespace {

// Removes the scratch folder however the build ends.
class TScratch {
 public:
  TScratch() : Path(MakeScratchFolder()) {}
  ~TScratch() {
    if (!Path.empty()) RemoveTree(Path);
  }
  const std::string Path;
};

// Removes an output folder made for this build if the build wrote nothing into it
// (removing fails once it holds files).
struct TMadeFolder {
  std::string Path;
  bool Made = false;
  ~TMadeFolder() {
    if (Made) RemoveEmptyFolder(Path);
  }
};

// The name an output is written under until both outputs are complete.
std::string TemporaryName(const std::string& path) { return path + ".new"; }

// Whether a file can be made in folder (made first when missing; made is set then): a file
// under the cabinet's temporary name is written and removed again. A link standing at that
// name is neither written through nor removed (Link).
TOutputName CanWriteIn(TFileSystem& files, const std::string& folder, const std::string& probe, bool& made) {
  made = false;
  if (!IsFolder(folder)) {
    if (!files.CreateDir(folder.c_str())) return TOutputName::Unusable;
    made = true;
  }
  const TOutputName written = WriteCheckedFile(probe, std::vector<uint8_t>{0});
  if (written != TOutputName::Link && written != TOutputName::OtherNames) files.Delete(probe.c_str());
  return written;
}

// One file the build writes, what it holds, and how it is checked once written (given the
// path it was written to; empty: not checked).
struct TBuildOutput {
  std::string Path;
  std::vector<uint8_t> Bytes;
  std::function<bool(const std::string&)> Check;
};

// Puts every output in place, or none: each is written complete under its temporary name
// first and checked; then they replace the previous files in order, each previous file kept
// aside until all are in place. Any failure leaves the folder as it was; failed names the
// output that failed, and checkFailed tells a failed check from a failed write.
//
// No output is written, renamed or deleted through a link (files/checked_output.h): a link
// at an output's name, its temporary name or its ".old" name stops the build before anything
// is written, with problem saying why, and the link and what it leads to stay as they are.
bool WriteOutputs(TFileSystem& files, const std::vector<TBuildOutput>& outputs, std::string& failed, bool& checkFailed,
                  std::string& problem) {
  checkFailed = false;
  problem.clear();
  for (const TBuildOutput& o : outputs)
    for (const std::string& name : {o.Path, o.Path + ".old"})
      if (CheckOutputName(name) == TOutputName::Link) {
        failed = name;
        problem = OutputNameProblem(TOutputName::Link);
        return false;
      }
  size_t made = 0;  // the temporary files this build wrote, the only ones it removes
  auto discard = [&] {
    for (size_t n = 0; n < made; ++n) files.Delete(TemporaryName(outputs[n].Path).c_str());
  };
  for (size_t n = 0; n < outputs.size(); ++n) {
    failed = outputs[n].Path;
    const TOutputName written = WriteCheckedFile(TemporaryName(outputs[n].Path), outputs[n].Bytes);
    if (written == TOutputName::Link || written == TOutputName::OtherNames) {
      failed = TemporaryName(outputs[n].Path);
      problem = OutputNameProblem(written);
      return discard(), false;
    }
    made = n + 1;
    if (written != TOutputName::Usable) return discard(), false;
    if (outputs[n].Check && !outputs[n].Check(TemporaryName(outputs[n].Path))) return checkFailed = true, discard(), false;
  }
  std::vector<bool> hadPrevious;
  auto undo = [&] {
    for (size_t n = hadPrevious.size(); n-- > 0;) {
      files.Delete(outputs[n].Path.c_str());
      if (hadPrevious[n]) files.Move((outputs[n].Path + ".old").c_str(), outputs[n].Path.c_str());
    }
    discard();
  };
  for (const TBuildOutput& o : outputs) {
    failed = o.Path;
    const std::string previous = o.Path + ".old";
    files.Delete(previous.c_str());
    const bool had = files.Move(o.Path.c_str(), previous.c_str());
    if (!MoveReplacing(TemporaryName(o.Path), o.Path)) {
      if (had) files.Move(previous.c_str(), o.Path.c_str());
      return undo(), false;
    }
    hadPrevious.push_back(had);
  }
  for (size_t n = 0; n < outputs.size(); ++n)
    if (hadPrevious[n]) files.Delete((outputs[n].Path + ".old").c_str());
  return true;
}

// The state of one build, and its steps in order. Each step returns false with the
// outcome's failure set when the build must stop.
class TWizardBuild {
 public:
  TWizardBuild(const TWizardOptions& options, const TBuildHooks& hooks, TWizardEvents& events)
      : Options(options), Hooks(hooks), Events(events), Vendor(options.Vendor), Lister(NewFolderLister()),
        OwnFiles(hooks.Files ? nullptr : NewFileSystem()), Files(hooks.Files ? hooks.Files : OwnFiles.get()) {}

  bool Run() {
    return ResolveFolders() && FormatDescriptionFile() && CheckOutputFolder() && ReadStub() && ReadReleases() &&
           ReadIdentity() && PlanRecords() && MakeScratchFolder() && BuildRecords() && NoteSharedBackups() && PackPatch() && VerifyBuiltPatch() &&
           WriteResults();
  }

  TWizardOutcome Outcome;

 private:
  bool Fail(TWizardFailure failure, const std::string& subject, const std::string& detail = "") {
    Outcome.Failure = failure;
    Outcome.Subject = subject;
    Outcome.Detail = detail;
    return false;
  }

  bool ResolveFolders() {
    OldRoot = AbsolutePath(Options.OldFolder);
    NewRoot = AbsolutePath(Options.NewFolder);
    OutRoot = AbsolutePath(Options.OutputFolder);
    if (OldRoot.empty() || !IsFolder(OldRoot)) return Fail(TWizardFailure::OldFolderUnreadable, Options.OldFolder);
    if (NewRoot.empty() || !IsFolder(NewRoot)) return Fail(TWizardFailure::NewFolderUnreadable, Options.NewFolder);
    for (const std::string& folder : Options.AlsoFolders) {
      AlsoRoots.push_back(AbsolutePath(folder));
      if (AlsoRoots.back().empty() || !IsFolder(AlsoRoots.back())) return Fail(TWizardFailure::OldFolderUnreadable, folder);
      // A release given twice would be planned and proven twice; NEW as an old release
      // would plan records that undo themselves.
      for (const std::string* given : {&OldRoot, &NewRoot})
        if (SameFolder(AlsoRoots.back(), *given)) return Fail(TWizardFailure::AlsoRepeated, folder);
      for (size_t i = 0; i + 1 < AlsoRoots.size(); ++i)
        if (SameFolder(AlsoRoots.back(), AlsoRoots[i])) return Fail(TWizardFailure::AlsoRepeated, folder);
    }
    if (OutRoot.empty()) return Fail(TWizardFailure::OutputFolderUnusable, Options.OutputFolder);
    for (const std::string& root : AlsoRoots)
      if (PathWithinFolder(OutRoot, root)) return Fail(TWizardFailure::OutputInsideRelease, OutRoot);
    // An output folder inside a release would be read as part of it: the next build would
    // ship the previous patch to users.
    if (PathWithinFolder(OutRoot, OldRoot) || PathWithinFolder(OutRoot, NewRoot)) return Fail(TWizardFailure::OutputInsideRelease, OutRoot);
    return true;
  }

  static bool SameFolder(const std::string& a, const std::string& b) {
    return PathWithinFolder(a, b) && PathWithinFolder(b, a);
  }

  bool FormatDescriptionFile() {
    std::string error;
    if (!FormatDescription(Options.MainExecutable, Options.DefaultPath, Options.PatchValue, Description, error,
                           Vendor))
      return Fail(TWizardFailure::DescriptionRefused, "", error);
    return true;
  }

  // The output folder must take files before the long build, not after it.
  bool CheckOutputFolder() {
    Outcome.CabinetOut = JoinPath(OutRoot, Options.CabinetName);
    Outcome.DescriptionOut = JoinPath(OutRoot, Options.DescriptionName);
    if (!Options.Overwrite) {
      std::vector<std::string> outputs{Outcome.CabinetOut, Outcome.DescriptionOut};
      if (!Options.ExeName.empty()) outputs.push_back(JoinPath(OutRoot, Options.ExeName));
      for (const std::string& output : outputs)
        if (Files->FileExists(output.c_str()) || Files->DirectoryExists(output.c_str()))
          return Fail(TWizardFailure::OutputExists, output);
    }
    // A nested output folder that does not exist yet is made, level by level.
    if (!CreateFolderLevels(OutRoot)) return Fail(TWizardFailure::OutputFolderNotWritable, OutRoot);
    MadeOutput.Path = OutRoot;
    const std::string probe = TemporaryName(Outcome.CabinetOut);
    const TOutputName probed = CanWriteIn(*Files, OutRoot, probe, MadeOutput.Made);
    if (probed == TOutputName::Link || probed == TOutputName::OtherNames)
      return Fail(TWizardFailure::OutputNotWritten, probe, OutputNameProblem(probed));
    if (probed != TOutputName::Usable) return Fail(TWizardFailure::OutputFolderNotWritable, OutRoot);
    return true;
  }

  // Makes every missing folder of path, parent first. Levels that exist are left alone.
  bool CreateFolderLevels(const std::string& path) {
    if (Files->DirectoryExists(path.c_str())) return true;
    const size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos || cut == 0 || path[cut - 1] == ':') return false;
    // The folder that will hold the outputs itself is made by CanWriteIn (and removed again
    // when the build fails); only the levels above it are made here.
    const std::string parent = path.substr(0, cut);
    if (Files->DirectoryExists(parent.c_str())) return true;
    return CreateFolderLevels(parent) && Files->CreateDir(parent.c_str());
  }

  // The program the self-applying file is made of, read before the long build.
  bool ReadStub() {
    if (Options.ExeName.empty()) return true;
    const std::string path = Options.StubPath.empty() ? DefaultStubPath() : AbsolutePath(Options.StubPath);
    if (path.empty()) return Fail(TWizardFailure::StubUnusable, Options.StubPath, "give the mendit.exe to use with -stub PATH");
    std::vector<uint8_t> stub;
    std::string problem;
    if (!ReadWholeFile(*Files, path, stub)) return Fail(TWizardFailure::StubUnusable, path, "it cannot be read");
    bool wasSigned = false;
    if (!StubImage(stub, StubProgram, problem, &wasSigned)) return Fail(TWizardFailure::StubUnusable, path, problem);
    if (!IsMenditStub(StubProgram))
      return Fail(TWizardFailure::StubUnusable, path, "it is not a mendit.exe (any other program would not apply the patch)");
    // The version resource is written after the build; a stub that cannot take one is
    // refused now.
    std::vector<uint8_t> trial;
    if (!DescribePatchInProgram(StubProgram, {"-", "1.0", "", ""}, Options.ExeName, trial, problem))
      return Fail(TWizardFailure::StubUnusable, path, problem);
    StubFile = path;
    StubHadChecksum = StoredPeChecksum(stub) != 0;
    if (wasSigned) Events.StubSignatureDropped(path);
    Outcome.ProgramOut = JoinPath(OutRoot, Options.ExeName);
    return true;
  }

  // What the options leave out of the identity comes from the main program's version
  // resource: product, version and publisher from the new release, -from from the old one.
  bool ReadIdentity() {
    TVendorIdentity newProgram, oldProgram;
    auto identityIn = [&](const std::string& root, const TRelease& release, TVendorIdentity& identity) {
      std::vector<uint8_t> bytes;
      for (const TReleaseFile& f : release.Files)
        if (PathKey(f.Path) == PathKey(Options.MainExecutable) && ReadWholeFile(*Files, JoinPath(root, f.Path), bytes))
          ProgramIdentity(bytes, identity);
    };
    const TVendorIdentity& given = Options.Vendor;
    if (given.Product.empty() || given.Version.empty() || given.Publisher.empty()) identityIn(NewRoot, NewRelease, newProgram);
    if (given.FromVersion.empty()) identityIn(OldRoot, OldRelease, oldProgram);
    const TIdentityOrigin origin = CompleteIdentity(Vendor, newProgram, oldProgram);
    Events.IdentityChosen(Vendor, origin);
    return FormatDescriptionFile();
  }

  bool ReadReleases() {
    std::string error;
    const size_t releases = AlsoRoots.size() + 2;
    Events.ReadingRelease(OldRoot, 1, releases);
    if (!ScanRelease(*Lister, *Files, OldRoot, OldRelease, error)) return Fail(TWizardFailure::ReleaseUnreadable, "", error);
    for (const std::string& root : AlsoRoots) {
      Events.ReadingRelease(root, AlsoReleases.size() + 2, releases);
      AlsoReleases.emplace_back();
      if (!ScanRelease(*Lister, *Files, root, AlsoReleases.back(), error))
        return Fail(TWizardFailure::ReleaseUnreadable, "", error);
    }
    Events.ReadingRelease(NewRoot, releases, releases);
    if (!ScanRelease(*Lister, *Files, NewRoot, NewRelease, error)) return Fail(TWizardFailure::ReleaseUnreadable, "", error);
    // Every name no patch can carry, in every release at once, before the long build.
    std::vector<std::string> problems = ReleaseNameProblems(OldRelease, "OLD_FOLDER " + DisplayPath(OldRoot));
    for (size_t i = 0; i < AlsoRoots.size(); ++i)
      for (const std::string& p : ReleaseNameProblems(AlsoReleases[i], "-also " + DisplayPath(AlsoRoots[i])))
        problems.push_back(p);
    for (const std::string& p : ReleaseNameProblems(NewRelease, "NEW_FOLDER " + DisplayPath(NewRoot))) problems.push_back(p);
    if (!problems.empty()) {
      std::string detail;
      for (const std::string& p : problems) detail += (detail.empty() ? "  " : "\n  ") + p;
      return Fail(TWizardFailure::NamesNotCarried, "", detail);
    }
    if (OldRelease.Files.empty()) return Fail(TWizardFailure::ReleaseEmpty, OldRoot);
    if (NewRelease.Files.empty()) return Fail(TWizardFailure::ReleaseEmpty, NewRoot);
    bool mainFound = false;
    for (const TReleaseFile& f : NewRelease.Files) mainFound |= PathKey(f.Path) == PathKey(Options.MainExecutable);
    if (!mainFound) return Fail(TWizardFailure::MainExecutableMissing, NewRoot);
    return true;
  }

  bool PlanRecords() {
    std::string error;
    if (AlsoRoots.empty()) {
      if (!PlanPatch(OldRelease, NewRelease, Plan, error)) return Fail(TWizardFailure::ChangeNotExpressible, "", error);
    } else {
      std::vector<TOldRelease> olds{{OldRoot, OldRelease}};
      for (size_t i = 0; i < AlsoRoots.size(); ++i) olds.push_back({AlsoRoots[i], AlsoReleases[i]});
      std::vector<std::string> sameStamp;
      if (!PlanMultiPatch(*Files, olds, NewRelease, NewRoot, Plan, sameStamp, error))
        return Fail(TWizardFailure::ChangeNotExpressible, "", error);
      for (const std::string& path : sameStamp) Events.SameStampOtherContent(path);
    }
    // Records create folders only for the files they write: new folders left empty are lost.
    for (const std::string& folder : NewRelease.Directories) {
      const std::string prefix = PathKey(folder) + "\\";
      bool holdsFile = false;
      for (const std::string& had : OldRelease.Directories) holdsFile |= PathKey(had) == PathKey(folder);
      for (const TReleaseFile& f : NewRelease.Files) holdsFile |= PathKey(f.Path).compare(0, prefix.size(), prefix) == 0;
      if (!holdsFile) Events.EmptyFolderNotCarried(folder);
    }
    return true;
  }

  bool NoteSharedBackups() {
    std::map<std::string, std::string> backups;
    for (const TBuiltRecord& r : Outcome.Records) {
      if (r.Kind != TBuiltKind::Modify) continue;
      auto placed = backups.emplace(BackupKey(r.Plan.OldPath), r.Plan.OldPath);
      // The alternatives for one file share its backup, as only one of them acts.
      if (!placed.second && PathKey(placed.first->second) != PathKey(r.Plan.OldPath))
        Events.SharedBackupName(placed.first->second, r.Plan.OldPath);
    }
    return true;
  }

  bool MakeScratchFolder() {
    Scratch = std::make_unique<TScratch>();
    if (Scratch->Path.empty()) return Fail(TWizardFailure::NoScratchFolder, "");
    return true;
  }

  bool BuildRecords() {
    TBuildHooks hooks = Hooks;
    // Every planned record but a delete reads its file: those are the steps.
    size_t steps = 0, step = 0;
    for (const TPlannedRecord& planned : Plan) steps += planned.Kind != TPlannedKind::Delete;
    std::string current;
    size_t last = 0;
    bool started = false;
    // A new file, or the next record of the same file (one per old content) starting over.
    hooks.Progress = [&](const std::string& path, size_t done, size_t total) {
      if (!started || path != current || (done == 0 && last != 0)) step += 1, current = path, started = true;
      last = done;
      Events.FileProgress(path, step, std::max(steps, step), done, total);
    };
    std::string error;
    if (!BuildPatchData(*Files, OldRoot, NewRoot, Plan, hooks, Data, Outcome.Records, error, Options.Delta,
                        Options.Compression))
      return Fail(TWizardFailure::RecordsNotBuilt, "", error);
    Events.RecordsMade(std::max(steps, step));
    // No record at all: a patch that does nothing helps nobody.
    if (Data.empty()) return Fail(TWizardFailure::NothingToPatch, "");
    Outcome.DataSize = Data.size();
    // Files of the new release that no record writes: the same in every old release.
    std::set<std::string> written;
    for (const TBuiltRecord& r : Outcome.Records)
      if (r.Kind == TBuiltKind::Copy || r.Kind == TBuiltKind::Modify) written.insert(PathKey(r.Plan.NewPath));
    Outcome.UnchangedFiles = 0;
    for (const TReleaseFile& f : NewRelease.Files) Outcome.UnchangedFiles += written.count(PathKey(f.Path)) == 0;
    return true;
  }

  bool PackPatch() {
    // The patch data file is dated like the newest file of the new release, so that the
    // same releases always give the same cabinet.
    TDosStamp dataStamp = 0;
    for (const TReleaseFile& f : NewRelease.Files) dataStamp = std::max(dataStamp, f.Stamp);
    Events.Packing(0, Data.size());
    std::string error;
    const auto progress = [this](size_t done) { Events.Packing(done, Data.size()); };
    if (!MakePatchCabinet(Data, Options.Compression, dataStamp, Cabinet, error, progress))
      return Fail(TWizardFailure::CabinetNotPacked, "", error);
    Outcome.CabinetSize = static_cast<int64_t>(Cabinet.size());
    const std::string cabinetPath = JoinPath(Scratch->Path, Options.CabinetName);
    if (!WriteWholeFile(*Files, cabinetPath, Cabinet)) return Fail(TWizardFailure::CabinetNotStored, cabinetPath);
    return true;
  }

  // The check works on what users receive: the cabinet, extracted as mendit extracts it.
  bool VerifyBuiltPatch() {
    std::string error;
    std::unique_ptr<TInputFile> extracted = ExtractCabinet(Scratch->Path, Options.CabinetName, error);
    if (!extracted) return Fail(TWizardFailure::CabinetNotExtracted, "", error);
    // Every old release the patch is made for is brought up to the new one.
    for (size_t n = 0; n <= AlsoRoots.size(); ++n) {
      const std::string& root = n == 0 ? OldRoot : AlsoRoots[n - 1];
      const std::string target = JoinPath(Scratch->Path, n == 0 ? "ROOT" : "ROOT" + std::to_string(n));
      Events.Verifying(root, n + 1, AlsoRoots.size() + 1);
      const bool verified = Files->CreateDir(target.c_str()) &&
                            VerifyPatch(*Lister, *Files, root, n == 0 ? OldRelease : AlsoReleases[n - 1], NewRelease,
                                        NewRoot, Outcome.Records, *extracted, target, Outcome.Verification);
      if (!verified) return Fail(TWizardFailure::NotReproduced, root);
    }
    return true;
  }

  bool WriteResults() {
    std::vector<TBuildOutput> outputs = {{Outcome.CabinetOut, Cabinet, nullptr},
                                    {Outcome.DescriptionOut, std::vector<uint8_t>(Description.begin(), Description.end()), nullptr}};
    if (!Options.ExeName.empty()) {
      // The self-applying program is read back from the disk as mendit reads itself: it must
      // carry exactly the description and the cabinet that were verified.
      auto carriesThePatch = [this](const std::string& written) {
        const TCarriedPatch carried = ReadCarriedPatch(*Files, written);
        std::unique_ptr<TInputFile> file = Files->OpenRead(written.c_str());
        std::vector<uint8_t> cabinet;
        return carried.State == TPayloadState::Found && carried.DescriptionText == Description && file &&
               ReadPart(*file, carried.Cabinet.Offset, carried.Cabinet.Length, cabinet) && cabinet == Cabinet;
      };
      // The program describes the patch in its version resource (Explorer's properties,
      // inventory tools); without any identity it keeps mendit's own.
      std::vector<uint8_t> described;
      std::string problem;
      if (!Vendor.Empty() && !DescribePatchInProgram(StubProgram, Vendor, Options.ExeName, described, problem))
        return Fail(TWizardFailure::StubUnusable, StubFile, problem);
      std::vector<uint8_t> program = MakePayloadProgram(Vendor.Empty() ? StubProgram : described, Description, Cabinet);
      if (StubHadChecksum) SetPeChecksum(program);
      outputs.push_back({Outcome.ProgramOut, std::move(program), carriesThePatch});
      Outcome.ProgramSize = static_cast<int64_t>(outputs.back().Bytes.size());
    }
    std::string failed, problem;
    bool checkFailed = false;
    if (!WriteOutputs(*Files, outputs, failed, checkFailed, problem))
      return Fail(checkFailed ? TWizardFailure::ProgramNotReproduced : TWizardFailure::OutputNotWritten, failed, problem);
    return true;
  }

  const TWizardOptions& Options;
  const TBuildHooks& Hooks;
  TWizardEvents& Events;
  TVendorIdentity Vendor;  // the options' identity, completed by ReadIdentity
  const std::unique_ptr<TFolderLister> Lister;
  const std::unique_ptr<TFileSystem> OwnFiles;  // the disk, unless the hooks name files
  TFileSystem* const Files;
  std::string OldRoot, NewRoot, OutRoot, Description;
  std::vector<std::string> AlsoRoots;     // the further old releases (-also)
  std::vector<TRelease> AlsoReleases;
  TMadeFolder MadeOutput;
  TRelease OldRelease, NewRelease;
  std::vector<TPlannedRecord> Plan;
  std::unique_ptr<TScratch> Scratch;
  std::vector<uint8_t> Data, Cabinet;
  std::vector<uint8_t> StubProgram;  // the stub's image, for -exe
  std::string StubFile;               // its path
  bool StubHadChecksum = false;      // the written program gets one over its whole file
};

}  // namespace

TWizardOutcome BuildWizardPatch(const TWizardOptions& options, const TBuildHooks& hooks,
                                TWizardEvents& events) {
  TWizardBuild build(options, hooks, events);
  build.Run();
  return build.Outcome;
}
