#pragma once
// TPatchFile: the installer. Reads the directory of an extracted patch data file and
// applies its records in file order: copy (write a file with its directories), delete
// (remove the exact version of a file) and modify (rebuild a file from its previous version,
// kept as a "$$$" backup, and a block delta; a difference record does the same with a
// difference of the bsdiff family, difference/README.md). Every failure is reported through the
// reporter; a failed record never stops the run.
//
// The installer knows nothing of windows or of the operating system: files are reached
// through a TFileSystem, and the step "let the application dispatch waiting window
// messages", taken before every block of a modify patch and every piece of a copy patch, is
// a hook set by the owner.
//
// One run, as the installation run (install/installation_run.cpp) makes it, over the
// directory it read once (patch_directory.h):
//   TPatchFile installer(directory, patch.Data(), macros, reporter, &files);
//   installer.SetMessageHook(hook, context);
//   installer.SetRecordObserver(observer);  // optional: each record's outcome and path
//   installer.Run();

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "files/file_system.h"
#include "patch_directory.h"
#include "content_check.h"
#include "hash/sha256.h"
#include "record_io.h"
#include "record_names.h"
#include "record_path.h"
#include "record_outcome.h"
#include "report/patch_reporter.h"
#include "verify_info.h"

class TMacroExpander;
class TPathName;

// The macro every record path starts with: the folder of the target application's main
// executable, defined by the owner of a run (TRootMacro).
inline constexpr char RootMacro[] = "&ROOT&";

class TPatchFile {
 public:
  // Called before every block of a modify patch (262,144 times for a 64 MB file) and every
  // 256 KB piece of a copy patch, both with the same owner's hook and its rate limit. It must
  // return at once when nothing waits; PeekMessageA alone costs 20-50 us under Wine (a
  // server call), which would cost several seconds per 64 MB, so a Windows owner looks for
  // messages only when a few milliseconds have passed (GetTickCount is cheap).
  using TMessageHook = ::TMessageHook;

  // Told of every record Run takes up, before and after its step (tools that report per
  // record, such as the console tools' record tracker): after it, with the record's outcome
  // and its path, macros expanded (a record of unknown type gets both calls, outcome Ignored).
  // A verification record gets none: its checks are part of the record after it.
  class TRecordObserver {
   public:
    virtual ~TRecordObserver() = default;
    virtual void BeforeRecord(TPatchFile& installer, int index) = 0;
    virtual void AfterRecord(TPatchFile& installer, int index, TRecordOutcome outcome,
                             const std::string& path) = 0;
    // Called when the record's step starts, right before its own row, "Applying KIND patch
    // (FILE)" (KIND: RecordKindName, FILE: fileName): a tool that words that row otherwise
    // (a check) knows it by this call, not by its text.
    virtual void BeforeStepRow(TPatchFile& /*installer*/, int /*index*/, const std::string& /*fileName*/) {}
  };

  // None of the five is owned; all must outlive the installer. macros may be null (paths
  // are then used as they stand).
  TPatchFile(const TPatchDirectory& directory, TInputFile* dataFile, TMacroExpander* macros,
             TPatchReporter* reporter, TFileSystem* files);
  // The same over a directory the installer reads from dataFile itself, when made.
  TPatchFile(TInputFile* dataFile, TMacroExpander* macros, TPatchReporter* reporter, TFileSystem* files);
  ~TPatchFile();
  TPatchFile(const TPatchFile&) = delete;
  TPatchFile& operator=(const TPatchFile&) = delete;

  void SetMessageHook(TMessageHook hook, void* context);
  // Not owned; null for none.
  void SetRecordObserver(TRecordObserver* observer) { RecordObserver = observer; }

  // Reports the directory's reading ("Reading patch directory...", and the damaged header
  // that ended it) and applies every record in file order; a refused directory (a read
  // error, too many records: ReportRefusal) gets its row and nothing is applied.
  void Run();

  const TPatchDirectory& Directory() const { return Records; }

 private:
  // The steps of a run, each on the record at a directory index and the names formed from
  // its path (after PathUsable).
  // True when path holds the exact version the record was made for; otherwise, after an
  // error or a warning row, false with verdict set to Failed or SkippedOtherVersion.
  bool CheckSource(int index, const char* path, TRecordOutcome& verdict);
  TRecordOutcome ApplyCopy(int index, const TRecordNames& names);
  TRecordOutcome ApplyDelete(int index, const TRecordNames& names);
  // A modify or a difference record: they differ only in how the new version is made from
  // the previous one and the record's data.
  TRecordOutcome ApplyModify(int index, const TRecordNames& names);

  bool ChecksFor(int index, TVerifyInfo& checks) { return ::ChecksFor(Records, *DataFile, index, checks); }
  // The records whose checks carry the same non-zero Alternative number act on one file, one
  // per old version, side by side (a member apart from the others is passed over with them).
  // When the first of a group is reached, the installed file is judged once
  // against every member's checks: the member whose old content it holds acts for the group
  // (a copy member when the file is missing); when none does, the first member that is not a
  // copy acts alone and reports the file as up to date or of another version. Every other
  // member is passed over without a row (NotThisVersion). Returns the index that acts.
  // allowed: the group's path may be acted on (a path that leaves its folder is not looked
  // at: the first record refuses it).
  int ChooseAlternative(int first, uint32_t alternative, bool allowed, const TRecordNames& names);
  // CheckSource for a modify or delete record with checks: true when path holds the version
  // the record was made for (by content; another date/time gets an info row); otherwise
  // false, after its row, with verdict UpToDate (the record's result is there already, or
  // the file a delete removes is gone), SkippedOtherVersion (another version with another
  // date/time: a warning) or Failed (the expected date/time but other content, or the file
  // cannot be read: an error).
  bool CheckVersion(int index, const char* path, const TVerifyInfo& checks, TRecordOutcome& verdict);
  // The rows and the verdict of CheckVersion once the file's content is judged; stamp null
  // when the file's date/time could not be read.
  bool JudgeVersion(int index, const char* fileName, const TDosStamp* stamp, TContentMatch content,
                    TRecordOutcome& verdict);
  // The step's own row, "Applying KIND patch (FILE)", announced to the observer first.
  void ReportStep(int index, const std::string& fileName);
  // Sets a file's date/time, trying again for a moment when the system refuses.
  bool SetStampPersistently(const char* path, TDosStamp stamp);
  static constexpr int StampAttempts = 5;
  static constexpr int StampRetryMilliseconds = 100;
  // False, after an error report, when the record's path leaves the folder of its macro, was
  // cut to fit a path name, or one of the names its step acts on leads outside the folder
  // (LeadsInside).
  bool PathUsable(int index, const TResolvedPath& path, const TRecordNames& names);

  // Links. Before a record acts, every name it writes, renames or deletes is asked where it
  // leads once links are followed (TFileSystem::FinalPath): it must lie inside the folder the
  // record's macro names, itself followed to its final path, and an existing file there must
  // have no other names (hard links), since a change through one name changes them all.
  // False, after an error row naming the file, otherwise; nothing is changed then.
  bool LeadsInside(const std::string& path, const std::string& fileName);
  // LeadsInside, and a plain file standing at a name the engine makes for itself ("$$N",
  // "$$C", "$$B": left by a run that ended early) is deleted; a link there is refused, never
  // cleaned up (deleting it could delete what it leads to).
  bool ClearScratch(const std::string& path, const std::string& fileName);
  // Creates a new file at path (never over anything standing there) and checks where the
  // handle's file lies; null, after an error row, when it cannot be made or lies outside.
  // quiet: no row when it cannot be made (the caller tries again another way).
  std::unique_ptr<TOutputFile> CreateInside(const std::string& path, const std::string& fileName, bool quiet = false);
  // Where the record's folder leads (TResolvedPath::Folder, links followed), asked once per
  // folder; empty when it cannot be told.
  std::string FinalFolderOf(const std::string& folder);

  enum TCopyFault { CopyReadFailed, CopyWriteFailed };
  // The copy record's data into out; false on a read or write error (CopyFault says which).
  bool WriteCopy(const TPatchInfo& record, TOutputFile& out);
  // The record's delta, read whole; null when it cannot be read.
  std::unique_ptr<uint8_t[]> ReadDelta(const TPatchInfo& record);
  // How making the new version of a modify or difference record ended.
  enum class TRebuildStatus { Built, Damaged, OtherContent, ReadFailed, WriteFailed };
  enum class TPrepareStatus { Ready, ReadFailed, Damaged };
  // Reads and checks the record's data before the target is touched: a block delta is read
  // whole into delta, a difference record is walked where it lies in the data file. Reports
  // nothing: ReportUnprepared gives the row, once the old file's verdict has had its own.
  TPrepareStatus PrepareRebuild(const TPatchInfo& record, std::unique_ptr<uint8_t[]>& delta);
  void ReportUnprepared(TPrepareStatus status, const std::string& fileName);
  // Writes the new version, in order, from the previous version and the prepared data.
  TRebuildStatus Rebuild(const TPatchInfo& record, const uint8_t* delta, TInputFile& previous, TOutputFile& out);
  // Whether written (size bytes) is, as far as it reaches, what the difference record makes
  // of previous; complete: it must also be the whole new version.
  bool DifferenceWrote(const TPatchInfo& record, TInputFile& previous, TInputFile& written, int64_t size,
                       bool complete);
  // Whether a run ended in the middle of this record: the backup carries Stamp, and either
  // the target carries neither stamp and holds what the record writes from that backup as
  // far as it reaches, or the target is missing and the new version beside it is complete.
  bool Interrupted(const TPatchInfo& record, const TRecordNames& names);
  void RestoreTarget(const std::string& target, const std::string& backup,
                     const std::string& targetName, const std::string& backupName);

  TPatchDirectory OwnRecords;  // when the installer read the directory itself
  const TPatchDirectory& Records;
  TInputFile* DataFile;
  TMacroExpander* Macros;
  TPatchReporter* Reporter;
  TFileSystem* Files;
  TMessagePump Pump;
  TRecordObserver* RecordObserver = nullptr;
  TCopyFault CopyFault = CopyReadFailed;
  // The record being applied: the final path of its folder (empty: no macros, nothing to
  // compare with), and the final paths already asked, by folder.
  std::string FinalFolder;
  bool Confining = false;
  std::map<std::string, std::string> FinalFolders;
};

// Creates the folders path lies in, level by level from the top; true when its folder exists
// then (a bare name has none to make).
bool MakeDirectories(TFileSystem& files, const char* path);
