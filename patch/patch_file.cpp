#include "patch_file.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <climits>
#include <cstring>
#include <map>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "block_io.h"
#include "content_check.h"
#include "delta/delta_decoder.h"
#include "difference/difference_decoder.h"
#include "hash/sha256.h"
#include "record_names.h"
#include "record_path.h"
#include "verify_info.h"
#include "paths/macros.h"
#include "paths/path_name.h"
#include "pattern/pattern.h"

namespace {

// Whether the final path path lies below the final path folder.
bool LiesBelow(const std::string& path, const std::string& folder) {
  std::string base = PathKey(folder);
  while (!base.empty() && base.back() == '\\') base.pop_back();
  const std::string key = PathKey(path);
  return !base.empty() && key.size() > base.size() + 1 && key.compare(0, base.size(), base) == 0 &&
         key[base.size()] == '\\';
}

}  // namespace

TPatchFile::TPatchFile(const TPatchDirectory& directory, TInputFile* dataFile, TMacroExpander* macros,
                       TPatchReporter* reporter, TFileSystem* files)
    : Records(directory), DataFile(dataFile), Macros(macros), Reporter(reporter), Files(files) {}

TPatchFile::TPatchFile(TInputFile* dataFile, TMacroExpander* macros, TPatchReporter* reporter, TFileSystem* files)
    : OwnRecords(ReadPatchDirectory(*dataFile)),
      Records(OwnRecords),
      DataFile(dataFile),
      Macros(macros),
      Reporter(reporter),
      Files(files) {}

TPatchFile::~TPatchFile() = default;

void TPatchFile::SetMessageHook(TMessageHook hook, void* context) { Pump = {hook, context}; }

bool TPatchFile::CheckSource(int index, const char* path, TRecordOutcome& verdict) {
  TPathName name(path);
  std::unique_ptr<TInputFile> file = Files->OpenRead(path);
  if (!file) {
    Reporter->ReportError("Cannot open source file: %s", name.FileName());
    verdict = TRecordOutcome::Failed;
    return false;
  }
  // A date/time that cannot be read is never taken for the right one.
  TDosStamp stamp = 0;
  if (!file->GetStamp(stamp) || stamp != Records[index].Stamp) {
    Reporter->ReportWarning("File: %s has improper date/time stamp - skipping...", name.FileName());
    verdict = TRecordOutcome::SkippedOtherVersion;
    return false;
  }
  return true;
}

int TPatchFile::ChooseAlternative(int first, uint32_t alternative, bool allowed, const TRecordNames& names) {
  std::vector<int> members;
  std::vector<TVerifyInfo> checks;
  // The group is the run of records side by side from first (each after its checks).
  for (int i = first; i < Records.Count(); ++i) {
    if (Records[i].Type() == ptVerify) continue;
    TVerifyInfo info;
    if (!ChecksFor(i, info) || info.Alternative != alternative || PathKey(Records[i].Path) != PathKey(Records[first].Path))
      break;
    members.push_back(i);
    checks.push_back(info);
  }
  // A path that leaves its folder is not looked at: the first record refuses it.
  if (!allowed) return first;
  const char* path = names.Target.c_str();
  // The member (of the kinds wanted) whose old content the file at filePath holds; -1 for none.
  auto holding = [&](const std::string& filePath, bool modifyOnly) {
    std::unique_ptr<TInputFile> file = Files->OpenRead(filePath.c_str());
    if (!file) return -1;
    // One hash serves every member: only a file of some member's old size is worth it.
    const int64_t size = file->Size();
    bool sized = false;
    for (const TVerifyInfo& info : checks) sized = sized || (info.OldKnown() && size == static_cast<int64_t>(info.OldSize));
    TSha256Digest digest;
    if (!sized || !HashFile(*file, size, Pump, digest)) return -1;
    for (size_t m = 0; m < members.size(); ++m) {
      const uint32_t type = Records[members[m]].Type();
      if ((modifyOnly ? RebuildsFile(type) : type != ptCopy) && checks[m].OldKnown() &&
          size == static_cast<int64_t>(checks[m].OldSize) &&
          std::memcmp(digest.Bytes.data(), checks[m].OldHash, VerifyHashSize) == 0)
        return members[m];
    }
    return -1;
  };
  const int fitting = holding(path, false);
  if (fitting >= 0) return fitting;
  // A run ended in the middle of a modify record left the old version as the backup: that
  // record finishes the run (ApplyModify looks at the target).
  const int interrupted = holding(names.Backup, true);
  if (interrupted >= 0) return interrupted;
  if (!Files->FileExists(path))
    for (int i : members)
      if (Records[i].Type() == ptCopy) return i;
  for (int i : members)
    if (Records[i].Type() != ptCopy) return i;
  return first;
}

bool TPatchFile::CheckVersion(int index, const char* path, const TVerifyInfo& checks, TRecordOutcome& verdict) {
  const TPatchInfo& record = Records[index];
  TPathName name(path);
  std::unique_ptr<TInputFile> file = Files->OpenRead(path);
  if (!file) {
    // A file the record removes and that is gone already: an earlier run got that far.
    if (record.Type() == ptDelete && !Files->FileExists(path)) {
      Reporter->ReportInfo("File: %s is already deleted", name.FileName());
      return verdict = TRecordOutcome::UpToDate, false;
    }
    Reporter->ReportError("Cannot open source file: %s", name.FileName());
    return verdict = TRecordOutcome::Failed, false;
  }
  TDosStamp stamp = 0;
  const bool stamped = file->GetStamp(stamp);
  const TContentMatch content = JudgeContent(*file, checks, Pump);
  return JudgeVersion(index, name.FileName(), stamped ? &stamp : nullptr, content, verdict);
}

bool TPatchFile::JudgeVersion(int index, const char* fileName, const TDosStamp* stamp, TContentMatch content,
                              TRecordOutcome& verdict) {
  const TPatchInfo& record = Records[index];
  const bool stamped = stamp != nullptr;
  const TDosStamp fileStamp = stamped ? *stamp : 0;
  // The new version is recognised first, unless it is also the old one and still carries the
  // old date/time (a record that only changes the date/time).
  if (content.New && (!content.Old || (stamped && fileStamp == record.NewStamp))) {
    Reporter->ReportInfo("File: %s is already up to date", fileName);
    return verdict = TRecordOutcome::UpToDate, false;
  }
  if (content.Old) {
    if (!stamped || fileStamp != record.Stamp)
      Reporter->ReportInfo("File: %s has another date/time but the expected content - patching...", fileName);
    return true;
  }
  // A file named as the engine names its backups, which a delete record removes, may be the
  // backup an earlier run of this patch made of another file (MAIN.EXE keeps MAIN.$$$).
  if (record.Type() == ptDelete && ExtensionIs(TPathName(fileName), BackupExtension)) {
    Reporter->ReportInfo("File: %s is a backup of another version - skipping...", fileName);
    return verdict = TRecordOutcome::UpToDate, false;
  }
  if (stamped && fileStamp == record.Stamp) {
    Reporter->ReportError("File: %s has the expected date/time but different content - skipping...", fileName);
    return verdict = TRecordOutcome::Failed, false;
  }
  Reporter->ReportWarning("File: %s has improper date/time stamp - skipping...", fileName);
  return verdict = TRecordOutcome::SkippedOtherVersion, false;
}

void TPatchFile::ReportStep(int index, const std::string& fileName) {
  if (RecordObserver) RecordObserver->BeforeStepRow(*this, index, fileName);
  Reporter->ReportInfo("Applying %s patch (%s)", RecordKindName(Records[index].Type()), fileName.c_str());
}

bool TPatchFile::SetStampPersistently(const char* path, TDosStamp stamp) {
  // A virus scanner or an indexer may hold a file just written for a moment.
  for (int attempt = 0;; ++attempt) {
    if (Files->SetStamp(path, stamp)) return true;
    if (attempt == StampAttempts - 1) return false;
    Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(StampRetryMilliseconds));
  }
}

bool TPatchFile::PathUsable(int index, const TResolvedPath& path, const TRecordNames& names) {
  if (path.Rule != TRecordPathRule::Allowed) {
    Reporter->ReportError("Unsafe path refused: %s", Records[index].Path);
    return false;
  }
  if (!names.Name.Cut()) {
    // Where the names lead, before anything is read or changed through them.
    Confining = Macros != nullptr;
    FinalFolder = Confining ? FinalFolderOf(path.Folder) : "";
    const uint32_t type = Records[index].Type();
    if (!LeadsInside(names.Target, names.TargetFile)) return false;
    if (type == ptCopy)
      return names.CopyScratch.empty() || LeadsInside(names.CopyScratch, TPathName(names.CopyScratch).FileName());
    if (!RebuildsFile(type)) return true;
    for (const std::string* other : {&names.Backup, &names.Scratch, &names.Aside})
      if (!other->empty() && !LeadsInside(*other, TPathName(*other).FileName())) return false;
    return true;
  }
  // The name as the record spells it after expansion, not the shortened one.
  const size_t separator = names.Expanded.find_last_of("\\/");
  std::string fileName = separator == std::string::npos ? names.Expanded : names.Expanded.substr(separator + 1);
  if (fileName.size() > TPathName::PartLimit) fileName = fileName.substr(0, TPathName::PartLimit) + "...";
  Reporter->ReportError("Path too long for file: %s", fileName.c_str());
  return false;
}

std::string TPatchFile::FinalFolderOf(const std::string& folder) {
  if (folder.empty()) return "";
  auto known = FinalFolders.find(folder);
  if (known == FinalFolders.end()) known = FinalFolders.emplace(folder, Files->FinalPath(folder.c_str())).first;
  return known->second;
}

bool TPatchFile::LeadsInside(const std::string& path, const std::string& fileName) {
  if (!Confining) return true;
  const std::string final = Files->FinalPath(path.c_str());
  if (FinalFolder.empty() || final.empty() || !LiesBelow(final, FinalFolder)) {
    Reporter->ReportError("Link refused: %s leads outside the application folder", fileName.c_str());
    return false;
  }
  if (Files->FileExists(path.c_str()) && Files->NameCount(path.c_str()) > 1) {
    Reporter->ReportError("Link refused: %s has other names (hard links)", fileName.c_str());
    return false;
  }
  return true;
}

bool TPatchFile::ClearScratch(const std::string& path, const std::string& fileName) {
  if (!LeadsInside(path, fileName)) return false;
  if (!Files->FileExists(path.c_str())) return true;
  Files->MakeReadOnly(path.c_str(), false);
  if (Files->Delete(path.c_str())) return true;
  Reporter->ReportError("Cannot delete file: %s", fileName.c_str());
  return false;
}

std::unique_ptr<TOutputFile> TPatchFile::CreateInside(const std::string& path, const std::string& fileName,
                                                      bool quiet) {
  std::unique_ptr<TOutputFile> out = path.empty() ? nullptr : Files->CreateNew(path.c_str());
  if (!out) {
    if (!quiet) Reporter->ReportError("Cannot open destination file: %s", fileName.c_str());
    return nullptr;
  }
  // The name was asked before; the handle tells where the file was really made (a folder
  // swapped for a link in between). Such a file is left where it is, empty: removing it by
  // name could remove something else by then.
  const std::string final = Confining ? out->FinalPath() : "";
  if (!final.empty() && !LiesBelow(final, FinalFolder)) {
    Reporter->ReportError("Link refused: %s leads outside the application folder", fileName.c_str());
    return nullptr;
  }
  return out;
}

bool MakeDirectories(TFileSystem& files, const char* path) {
  TPathName name(path);
  const std::string drive = name.Drive();
  const std::string dir = name.Dir();
  std::string prefix = drive;
  std::string rest = dir;
  // Level by level from the top; a level that exists already (or the drive alone) is
  // refused by the system, which is harmless.
  // The levels are split with the pattern engine, the applier's one matcher for path texts,
  // rather than with a second scanner of its own: "{*}\\" says what a level is (the text up
  // to the first backslash, which may be empty), and the engine's backtracking is bounded.
  // The pattern takes the first level only: the remainder is what follows the match. (A
  // pattern that also matched the remainder, {?#}, would need two backtrack entries per
  // character and run out of stack for a directory part of some 200 characters.)
  TPattern level("{*}\\");
  while (!rest.empty() && level.Match(rest.c_str())) {
    const std::string first = level.Tag(1);
    const size_t matched = first.size() + 1;
    if (matched > rest.size()) break;  // never loop on a bad match
    files.CreateDir((prefix + first).c_str());
    prefix += first + "\\";
    rest.erase(0, matched);
  }
  if (!rest.empty()) files.CreateDir((prefix + rest).c_str());
  return dir.empty() || files.DirectoryExists((drive + dir).c_str());
}

bool TPatchFile::WriteCopy(const TPatchInfo& record, TOutputFile& out) {
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[PieceSize]);
  for (int64_t done = 0; done < record.DataSize();) {
    // A large copy keeps the window answering, as the blocks of a modify patch do.
    Pump();
    const size_t want = static_cast<size_t>(std::min<int64_t>(PieceSize, record.DataSize() - done));
    const int64_t got = DataFile->Read(record.DataOffset() + done, buffer.get(), want);
    if (got != static_cast<int64_t>(want)) {
      CopyFault = CopyReadFailed;
      return false;
    }
    if (!out.Write(done, buffer.get(), want)) {
      CopyFault = CopyWriteFailed;
      return false;
    }
    done += static_cast<int64_t>(want);
  }
  return true;
}

TRecordOutcome TPatchFile::ApplyCopy(int index, const TRecordNames& names) {
  const TPatchInfo& record = Records[index];
  const std::string& path = names.Target;
  const std::string& fileName = names.TargetFile;
  TVerifyInfo checks;
  const bool checked = ChecksFor(index, checks);
  if (checked && checks.NewKnown()) {
    std::unique_ptr<TInputFile> existing = Files->OpenRead(path.c_str());
    if (existing && JudgeContent(*existing, checks, Pump).New) {
      Reporter->ReportInfo("File: %s is already up to date", fileName.c_str());
      return TRecordOutcome::UpToDate;
    }
  }
  ReportStep(index, fileName);

  // The whole content must be in the data file before anything is created or replaced.
  const int64_t dataSize = record.DataSize();
  const int64_t fileSize = DataFile->Size();
  if (dataSize < 0 || fileSize < 0 || record.DataOffset() + dataSize > fileSize) {
    Reporter->ReportError("Cannot read patch data for file: %s", fileName.c_str());
    return TRecordOutcome::Failed;
  }
  if (!MakeDirectories(*Files, path.c_str())) {
    Reporter->ReportError("Cannot create directories for file: %s", fileName.c_str());
    return TRecordOutcome::Failed;
  }
  // An existing file stays until its replacement is complete: the new content is written
  // beside it and put in its place only then, so a failed copy leaves the user's file as
  // it was. A file that is not there yet is written under its own name.
  const bool exists = Files->OpenRead(path.c_str()) != nullptr;
  const std::string& written = exists ? names.CopyScratch : path;
  if (exists && !written.empty() && !ClearScratch(written, TPathName(written).FileName())) return TRecordOutcome::Failed;
  std::unique_ptr<TOutputFile> out = CreateInside(written, fileName);
  if (!out) return TRecordOutcome::Failed;
  THashingOutput hashing(*out, checked && checks.NewKnown());
  // A new version that takes another file's place by a rename is on the disk before it:
  // after a power cut the file system may keep the rename and lose unflushed data.
  bool complete = WriteCopy(record, hashing);
  if (complete && exists && !out->Flush()) {
    complete = false;
    CopyFault = CopyWriteFailed;
  }
  out.reset();
  if (!complete) {
    // A file holding only part of its content is worse than none: remove it.
    Files->Delete(written.c_str());
    if (CopyFault == CopyWriteFailed)
      Reporter->ReportError("Cannot write destination file: %s", fileName.c_str());
    else
      Reporter->ReportError("Cannot read patch data for file: %s", fileName.c_str());
    return TRecordOutcome::Failed;
  }
  if (checked && !WrittenAsExpected(hashing, *Files, written.c_str(), checks, Pump)) {
    Files->Delete(written.c_str());
    Reporter->ReportError("File: %s does not match the patch after writing - keeping the previous version",
                          fileName.c_str());
    return TRecordOutcome::Failed;
  }
  if (exists && !Files->Replace(written.c_str(), path.c_str())) {
    // Read-only or busy: refused, as creating over it would have been.
    Files->Delete(written.c_str());
    Reporter->ReportError("Cannot open destination file: %s", fileName.c_str());
    return TRecordOutcome::Failed;
  }
  if (!SetStampPersistently(path.c_str(), record.Stamp)) {
    Reporter->ReportWarning("Cannot set the date/time of file: %s", fileName.c_str());
    return TRecordOutcome::AppliedWithWarning;
  }
  return TRecordOutcome::Applied;
}

TRecordOutcome TPatchFile::ApplyDelete(int index, const TRecordNames& names) {
  const std::string& path = names.Target;
  const std::string& fileName = names.TargetFile;
  TVerifyInfo checks;
  TRecordOutcome verdict = TRecordOutcome::Failed;
  if (ChecksFor(index, checks) && checks.OldKnown() ? !CheckVersion(index, path.c_str(), checks, verdict)
                                                    : !CheckSource(index, path.c_str(), verdict))
    return verdict;
  ReportStep(index, fileName);
  if (!Files->Delete(path.c_str())) {
    Reporter->ReportError("Cannot delete file: %s", fileName.c_str());
    return TRecordOutcome::Failed;
  }
  return TRecordOutcome::Applied;
}

void TPatchFile::RestoreTarget(const std::string& target, const std::string& backup,
                               const std::string& targetName, const std::string& backupName) {
  // The previous version goes back under its own name, so the application keeps a working
  // file; a partly written target is removed first.
  Files->Delete(target.c_str());
  if (!Files->Move(backup.c_str(), target.c_str()))
    Reporter->ReportError("Cannot move file %s to %s", backupName.c_str(), targetName.c_str());
}

std::unique_ptr<uint8_t[]> TPatchFile::ReadDelta(const TPatchInfo& record) {
  const int64_t deltaSize = record.DataSize();
  const int64_t fileSize = DataFile->Size();
  if (deltaSize <= 0 || fileSize < 0 || record.DataOffset() + deltaSize > fileSize) return nullptr;
  // The whole delta in one buffer, read in one read. Its size is bounded by the data file's,
  // but that may still be more than a 32-bit process can hold: a failed record, not a crash.
  std::unique_ptr<uint8_t[]> delta(static_cast<uint64_t>(deltaSize) <= SIZE_MAX / 2
                                       ? new (std::nothrow) uint8_t[static_cast<size_t>(deltaSize)]
                                       : nullptr);
  if (!delta ||
      DataFile->Read(record.DataOffset(), delta.get(), static_cast<size_t>(deltaSize)) != deltaSize)
    return nullptr;
  return delta;
}

bool TPatchFile::Interrupted(const TPatchInfo& record, const TRecordNames& names) {
  const std::string& target = names.Target;
  const std::string& backup = names.Backup;
  // The stamps first: a target that carries either stamp is left to the usual check, and
  // the backup must be exactly the version this record rebuilds from. A missing target is
  // taken up only when the complete new version stands beside it (the run ended between
  // its two renames).
  std::unique_ptr<TInputFile> written = Files->OpenRead(target.c_str());
  const bool missing = !written;
  TDosStamp stamp = 0;
  if (missing) {
    const std::string& scratch = names.Scratch;
    if (scratch.empty() || !(written = Files->OpenRead(scratch.c_str()))) return false;
  } else if (!written->GetStamp(stamp) || stamp == record.Stamp || stamp == record.NewStamp) {
    return false;
  }
  std::unique_ptr<TInputFile> previous = Files->OpenRead(backup.c_str());
  if (!previous || !previous->GetStamp(stamp) || stamp != record.Stamp) return false;
  // Then the bytes: the target must be what this record writes from that backup, as far as
  // it got. A file the user changed, or a backup of another file sharing the name (MAIN.EXE
  // and MAIN.DLL share MAIN.$$$), is not, and is left alone.
  const int64_t writtenSize = written->Size();
  if (IsDifference(record.Type()))
    return writtenSize >= 0 && DifferenceWrote(record, *previous, *written, writtenSize, missing);
  std::unique_ptr<uint8_t[]> delta = ReadDelta(record);
  if (writtenSize < 0 || !delta) return false;
  TCachedBlockSource source(*previous);
  TMatchingBlockTarget sink(*written, writtenSize);
  TBlockProgress pump(Pump, *Reporter, 0);
  const TDeltaStatus status =
      ApplyDelta(delta.get(), static_cast<size_t>(record.DataSize()), source, sink, &pump).Status;
  return status == TDeltaStatus::Applied && (missing ? writtenSize == sink.End() : writtenSize <= sink.End());
}

bool TPatchFile::DifferenceWrote(const TPatchInfo& record, TInputFile& previous, TInputFile& written, int64_t size,
                                 bool complete) {
  TFileRangeSource data(*DataFile, record.DataOffset(), record.DataSize(), Pump);
  TDifferenceHeader header;
  if (record.DataSize() <= 0 || CheckDifference(data, &header) != TDifferenceStatus::Applied ||
      (complete ? size != static_cast<int64_t>(header.NewSize) : size > static_cast<int64_t>(header.NewSize)))
    return false;
  TFileRangeSource old(previous, 0, previous.Size(), Pump);
  TMatchingDifferenceSink sink(written, size);
  const TDifferenceStatus status = ApplyDifference(data, old, sink);
  return !sink.Mismatch && (status == TDifferenceStatus::Applied || (status == TDifferenceStatus::WriteFailed && sink.Reached));
}

TPatchFile::TPrepareStatus TPatchFile::PrepareRebuild(const TPatchInfo& record, std::unique_ptr<uint8_t[]>& delta) {
  const int64_t dataSize = record.DataSize();
  const int64_t fileSize = DataFile->Size();
  if (dataSize <= 0 || fileSize < 0 || record.DataOffset() + dataSize > fileSize) return TPrepareStatus::ReadFailed;
  if (IsDifference(record.Type())) {
    // Left in the data file: the decoder reads its streams through small buffers.
    TFileRangeSource data(*DataFile, record.DataOffset(), dataSize, Pump);
    const TDifferenceStatus status = CheckDifference(data);
    if (status == TDifferenceStatus::ReadFailed) return TPrepareStatus::ReadFailed;
    return status == TDifferenceStatus::Applied ? TPrepareStatus::Ready : TPrepareStatus::Damaged;
  }
  delta = ReadDelta(record);
  if (!delta) return TPrepareStatus::ReadFailed;
  return CheckDelta(delta.get(), static_cast<size_t>(dataSize)).Status == TDeltaStatus::Applied
             ? TPrepareStatus::Ready
             : TPrepareStatus::Damaged;
}

void TPatchFile::ReportUnprepared(TPrepareStatus status, const std::string& fileName) {
  if (status == TPrepareStatus::ReadFailed)
    Reporter->ReportError("Cannot read patch data for file: %s", fileName.c_str());
  else
    Reporter->ReportError("Damaged patch data for file: %s", fileName.c_str());
}

TPatchFile::TRebuildStatus TPatchFile::Rebuild(const TPatchInfo& record, const uint8_t* delta, TInputFile& previous,
                                               TOutputFile& out) {
  if (IsDifference(record.Type())) {
    TFileRangeSource data(*DataFile, record.DataOffset(), record.DataSize(), Pump);
    TFileRangeSource old(previous, 0, previous.Size(), Pump);
    TFileDifferenceSink sink(out);
    TDifferenceProgress progress(*Reporter);
    switch (ApplyDifference(data, old, sink, &progress)) {
      case TDifferenceStatus::Applied: return TRebuildStatus::Built;
      case TDifferenceStatus::WrongOldSize: return TRebuildStatus::OtherContent;
      case TDifferenceStatus::ReadFailed: return TRebuildStatus::ReadFailed;
      case TDifferenceStatus::WriteFailed: return TRebuildStatus::WriteFailed;
      case TDifferenceStatus::Malformed: break;
    }
    return TRebuildStatus::Damaged;
  }
  const int64_t fileSize = DataFile->Size();
  const int32_t total = static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(fileSize, 1), INT32_MAX));
  TBlockProgress progress(Pump, *Reporter, total);
  TCachedBlockSource source(previous);
  TBufferedBlockTarget sink(out);
  TDeltaStatus status = ApplyDelta(delta, static_cast<size_t>(record.DataSize()), source, sink, &progress).Status;
  if (status == TDeltaStatus::Applied && !sink.Flush()) status = TDeltaStatus::WriteFailed;
  switch (status) {
    case TDeltaStatus::Applied: return TRebuildStatus::Built;
    case TDeltaStatus::ReadFailed: return TRebuildStatus::ReadFailed;
    case TDeltaStatus::WriteFailed: return TRebuildStatus::WriteFailed;
    case TDeltaStatus::Malformed: break;
  }
  return TRebuildStatus::Damaged;
}

TRecordOutcome TPatchFile::ApplyModify(int index, const TRecordNames& names) {
  const TPatchInfo& record = Records[index];
  const std::string& target = names.Target;
  const std::string& targetFile = names.TargetFile;
  const std::string& backup = names.Backup;
  const std::string& backupFile = names.BackupFile;

  // A run ended in the middle of this record left the previous version as the backup and
  // part of the new one under the target's name (or all of it beside the target): put the
  // backup back and apply the record.
  bool recovered = false;
  if (backup != target && Interrupted(record, names)) {
    recovered = true;
    Reporter->ReportWarning("File: %s was left incomplete by an interrupted run - restoring %s...",
                            targetFile.c_str(), backupFile.c_str());
    Files->Delete(target.c_str());
    if (!Files->Move(backup.c_str(), target.c_str())) {
      Reporter->ReportError("Cannot move file %s to %s", backupFile.c_str(), targetFile.c_str());
      return TRecordOutcome::Failed;
    }
  }
  TVerifyInfo checks;
  const bool checked = ChecksFor(index, checks) && checks.OldKnown();
  TRecordOutcome verdict = TRecordOutcome::Failed;
  const std::string& scratch = names.Scratch;
  // A plain file left at the scratch name by an earlier run goes; a link there refuses.
  if (!scratch.empty() && !ClearScratch(scratch, TPathName(scratch).FileName())) return TRecordOutcome::Failed;
  std::unique_ptr<TInputFile> previous = Files->OpenRead(target.c_str());
  // A file of the old version's size is judged by the rebuild's own reading: the old file is
  // hashed while the new version is written under its scratch name, and the verdict comes
  // after. Every row waits for it, so the rows are those of a check made first; a file that
  // turns out to be another version (or the new one) costs only the scratch file. A file
  // that carries the new date/time and has the new size is most likely patched already and
  // is judged first, by a pass of its own, as is any file when the record's data is unusable
  // or no scratch file can be made.
  const int64_t previousSize = previous ? previous->Size() : -1;
  TDosStamp previousStamp = 0;
  const bool previousStamped = previous && previous->GetStamp(previousStamp);
  const bool deferred = checked && backup != target && !scratch.empty() &&
                        previousSize == static_cast<int64_t>(checks.OldSize) &&
                        !(checks.NewKnown() && previousSize == static_cast<int64_t>(checks.NewSize) &&
                          previousStamped && previousStamp == record.NewStamp);
  std::unique_ptr<uint8_t[]> delta;
  TPrepareStatus prepared = TPrepareStatus::Ready;
  std::unique_ptr<TOutputFile> rebuilt;
  TRebuildStatus status = TRebuildStatus::Built;
  bool judged = false;
  bool created = false;  // the scratch file was made by the deferred check
  TContentMatch content;
  bool writtenRight = true;
  if (deferred && (prepared = PrepareRebuild(record, delta)) == TPrepareStatus::Ready &&
      (rebuilt = CreateInside(scratch, targetFile, true))) {
    created = true;
    THashingInput reading(*previous, Pump);
    THashingOutput hashing(*rebuilt, checks.NewKnown());
    status = Rebuild(record, delta.get(), reading, hashing);
    // On the disk before the renames put it in place (see ApplyCopy).
    if (status == TRebuildStatus::Built && !rebuilt->Flush()) status = TRebuildStatus::WriteFailed;
    rebuilt.reset();
    TSha256Digest digest;
    judged = reading.Finish(previousSize, digest);
    content.Old = judged && std::memcmp(digest.Bytes.data(), checks.OldHash, VerifyHashSize) == 0;
    content.New = judged && checks.NewKnown() && previousSize == static_cast<int64_t>(checks.NewSize) &&
                  std::memcmp(digest.Bytes.data(), checks.NewHash, VerifyHashSize) == 0;
    if (status == TRebuildStatus::Built && content.Old)
      writtenRight = WrittenAsExpected(hashing, *Files, scratch.c_str(), checks, Pump);
  }
  if (judged) {
    if (!JudgeVersion(index, targetFile.c_str(), previousStamped ? &previousStamp : nullptr, content, verdict)) {
      Files->Delete(scratch.c_str());
      return verdict;
    }
  } else {
    // Not rebuilt yet, or the old file could not be hashed on the way: judged by a pass of
    // its own, then built (again) as a record without the deferred check.
    if (created) Files->Delete(scratch.c_str());
    previous.reset();
    if (checked ? !CheckVersion(index, target.c_str(), checks, verdict) : !CheckSource(index, target.c_str(), verdict))
      return verdict;
  }
  ReportStep(index, targetFile);

  // A file that already carries the backup's name would be deleted as "an earlier backup".
  if (backup == target) {
    Reporter->ReportError("Cannot move file %s to %s", targetFile.c_str(), backupFile.c_str());
    return TRecordOutcome::Failed;
  }

  if (!judged) {
    // The record's data is read and checked before the target is touched: a record whose
    // data is missing or damaged leaves the file as it is.
    if (!deferred || prepared == TPrepareStatus::Ready) prepared = PrepareRebuild(record, delta);
    if (prepared != TPrepareStatus::Ready) {
      ReportUnprepared(prepared, targetFile);
      return TRecordOutcome::Failed;
    }

    // The new version is written beside the target and takes its place only when complete,
    // so that a run ended at any moment leaves a state the next run can finish (Interrupted):
    // before the two renames the target is untouched, between them the backup and a complete
    // new version stand beside each other.
    previous = Files->OpenRead(target.c_str());
    if (!previous) {
      Reporter->ReportError("Cannot open source file: %s", targetFile.c_str());
      return TRecordOutcome::Failed;
    }
    rebuilt = CreateInside(scratch, targetFile);
    if (!rebuilt) return TRecordOutcome::Failed;
    THashingOutput hashing(*rebuilt, checked && checks.NewKnown());
    status = Rebuild(record, delta.get(), *previous, hashing);
    if (status == TRebuildStatus::Built && !rebuilt->Flush()) status = TRebuildStatus::WriteFailed;
    rebuilt.reset();
    if (status == TRebuildStatus::Built && checked)
      writtenRight = WrittenAsExpected(hashing, *Files, scratch.c_str(), checks, Pump);
  }
  previous.reset();
  if (status == TRebuildStatus::Built && !writtenRight) {
    // The new version is not what the patch was made to produce: the target stays as it was.
    Files->Delete(scratch.c_str());
    Reporter->ReportError("File: %s does not match the patch after writing - keeping the previous version",
                          targetFile.c_str());
    return TRecordOutcome::Failed;
  }
  if (status != TRebuildStatus::Built) {
    Files->Delete(scratch.c_str());
    if (status == TRebuildStatus::ReadFailed)
      Reporter->ReportError("Cannot read source file: %s", targetFile.c_str());
    else if (status == TRebuildStatus::WriteFailed)
      Reporter->ReportError("Cannot write destination file: %s", targetFile.c_str());
    else if (status == TRebuildStatus::OtherContent)
      // Only a difference record knows the previous version's size: a file of another size
      // that carries the expected date/time (and no content checks) is another version.
      Reporter->ReportError("File: %s has the expected date/time but different content - skipping...",
                            targetFile.c_str());
    else
      Reporter->ReportError("Damaged patch data for file: %s", targetFile.c_str());
    return TRecordOutcome::Failed;
  }

  // An earlier backup of the same name (MAIN.EXE and MAIN.DLL share MAIN.$$$; the later one
  // wins) is moved aside, not deleted, until the renames that need its name have worked: a
  // rename that fails (the target open without delete sharing) then leaves it where it was.
  const bool readOnly = Files->ReadOnly(target.c_str());
  std::string aside;
  if (Files->FileExists(backup.c_str())) {
    aside = names.Aside;
    Files->MakeReadOnly(aside.c_str(), false);
    Files->Delete(aside.c_str());  // left by a run ended between these steps
    if (aside.empty() || !Files->Move(backup.c_str(), aside.c_str())) {
      Files->Delete(scratch.c_str());
      Reporter->ReportError("Cannot move file %s to %s", targetFile.c_str(), backupFile.c_str());
      return TRecordOutcome::Failed;
    }
  }
  auto putAsideBack = [&] {
    if (!aside.empty()) Files->Move(aside.c_str(), backup.c_str());
  };
  if (!Files->Move(target.c_str(), backup.c_str())) {
    Files->Delete(scratch.c_str());
    putAsideBack();
    Reporter->ReportError("Cannot move file %s to %s", targetFile.c_str(), backupFile.c_str());
    return TRecordOutcome::Failed;
  }
  if (!Files->Move(scratch.c_str(), target.c_str())) {
    Files->Delete(scratch.c_str());
    Reporter->ReportError("Cannot open destination file: %s", targetFile.c_str());
    RestoreTarget(target, backup, targetFile, backupFile);
    putAsideBack();
    return TRecordOutcome::Failed;
  }
  // The earlier backup is superseded; a read-only one (a file installed from a disc) is made
  // writable first, as is the backup just made, so the next patch can replace it in turn.
  if (!aside.empty()) {
    Files->MakeReadOnly(aside.c_str(), false);
    Files->Delete(aside.c_str());
  }
  if (readOnly) Files->MakeReadOnly(backup.c_str(), false);
  const bool stamped = SetStampPersistently(target.c_str(), record.NewStamp);
  // The new version keeps the target's read-only attribute.
  if (readOnly) Files->MakeReadOnly(target.c_str(), true);
  if (!stamped) {
    Reporter->ReportWarning("Cannot set the date/time of file: %s", targetFile.c_str());
    return TRecordOutcome::AppliedWithWarning;
  }
  return recovered ? TRecordOutcome::RecoveredAndApplied : TRecordOutcome::Applied;
}

void TPatchFile::Run() {
  Reporter->ReportInfo("Reading patch directory...");
  // An owner that read the directory itself refuses a directory that may not be applied
  // before anything else; the installer applies nothing from one either.
  if (ReportRefusal(Records, "the patch data file", *Reporter)) return;
  if (Records.End == TDirectoryEnd::Damaged)
    Reporter->ReportError("Damaged patch directory at offset %lu - the remaining records are ignored",
                          static_cast<unsigned long>(Records.EndOffset));
  // The record of each group of alternatives that acts for its group, by Alternative number.
  std::map<uint32_t, int> acting;
  // The count is read anew each time; records are applied strictly in file order, since a
  // later record may act on the file an earlier one wrote or removed.
  for (int i = 0; i < Records.Count(); ++i) {
    // A verification record belongs to the record after it: no step of its own.
    if (Records[i].Type() == ptVerify) continue;
    if (RecordObserver) RecordObserver->BeforeRecord(*this, i);
    // The record's path is confined and expanded once; the steps and the observer share it.
    const TResolvedPath path = ResolveRecordPath(Records[i].Path, Macros);
    const TRecordNames names(path.Expanded);
    TRecordOutcome outcome = TRecordOutcome::Ignored;  // unknown types are passed over without a word
    TVerifyInfo checks;
    const uint32_t type = Records[i].Type();
    if (ActsOnFile(type) && ChecksFor(i, checks) && checks.Alternative != 0) {
      auto group = acting.find(checks.Alternative);
      if (group == acting.end())
        group = acting.emplace(checks.Alternative, ChooseAlternative(i, checks.Alternative, path.Rule == TRecordPathRule::Allowed, names))
                    .first;
      if (group->second != i) {
        if (RecordObserver) RecordObserver->AfterRecord(*this, i, TRecordOutcome::NotThisVersion, names.Target);
        continue;
      }
    }
    if (!ActsOnFile(type))
      ;  // no step
    else if (!PathUsable(i, path, names))
      outcome = TRecordOutcome::Failed;
    else if (RebuildsFile(type))
      outcome = ApplyModify(i, names);
    else if (type == ptCopy)
      outcome = ApplyCopy(i, names);
    else
      outcome = ApplyDelete(i, names);
    if (RecordObserver) RecordObserver->AfterRecord(*this, i, outcome, names.Target);
  }
}
