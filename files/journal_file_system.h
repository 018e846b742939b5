#pragma once
// All-or-nothing changes to files: TJournalFileSystem passes every call on to another file
// system, but before a file is first changed (written, moved away or onto, deleted, given a
// date/time) it saves the file's content and date/time beside a journal, or notes in the
// journal that the file did not exist; a directory is noted before it is made. RestoreJournal
// puts every noted file back exactly as it was (content, date/time, presence) and removes the
// noted directories, from the journal alone: after a failed run, or on the next start when
// the process was killed at any point of the run or of an earlier restore.
//
// Journal: a text file; each line ends in '\n' and is written (and reaches the system) before
// the change it announces, so a line cut short by a kill announces nothing that was done.
//   MENDIT JOURNAL 1
//   saved\t<n>\t<stamp: 8 hex digits, or ->\t<path>   the content is in "<journal>.<n>"
//   absent\t<path>                                  the file did not exist
//   dir\t<path>                                     the directory was about to be made
//   commit                                          the run stands
// A journal that exists means an unfinished run. Commit writes its last line, then deletes
// the saved copies and the journal; a restore of a committed journal only finishes that.
//
// Restoring is idempotent: a saved file is put back by moving its copy over it (a copy that is
// gone was moved back by an earlier, interrupted restore, so only its date/time is set again);
// a file noted absent is deleted; the journal is deleted last.

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "file_system.h"

class TPatchReporter;

class TJournalFileSystem : public TFileSystem {
 public:
  // files is not owned. The saved copies are named journalPath + "." + n.
  TJournalFileSystem(TFileSystem& files, const std::string& journalPath)
      : Files(files), JournalPath(journalPath) {}

  // Creates the journal. False when it exists already (another run's) or cannot be written;
  // nothing may then be changed.
  bool Begin();
  // The run stands: notes so in the journal, then deletes the saved copies and the journal.
  // False when the note or the deletion failed.
  bool Commit();
  // Closes the journal so RestoreJournal can read it.
  void Close() { Journal.reset(); }

  std::unique_ptr<TInputFile> OpenRead(const char* path) override { return Files.OpenRead(path); }
  std::unique_ptr<TOutputFile> Create(const char* path) override;
  bool Move(const char* from, const char* to) override;
  bool Replace(const char* from, const char* to) override;
  bool Delete(const char* path) override;
  bool CreateDir(const char* path) override;
  bool DirectoryExists(const char* path) override { return Files.DirectoryExists(path); }
  bool FileExists(const char* path) override { return Files.FileExists(path); }
  bool ReadOnly(const char* path) override { return Files.ReadOnly(path); }
  bool MakeReadOnly(const char* path, bool readOnly) override { return Files.MakeReadOnly(path, readOnly); }
  bool SetStamp(const char* path, TDosStamp stamp) override;

  // Bytes of saved copies written (the cost of the journal, for benchmarks).
  int64_t SavedBytes() const { return savedBytes; }

 private:
  // Saves path's state before its first change. False when it could not be saved.
  bool Protect(const char* path);
  bool AppendLine(const std::string& line);

  TFileSystem& Files;
  std::string JournalPath;
  std::unique_ptr<TOutputFile> Journal;
  int64_t JournalSize = 0;
  int Saved = 0;
  int64_t savedBytes = 0;  // read through SavedBytes()
  std::set<std::string> ProtectedKeys;
};

// Removes an empty directory; may be empty (directories are then left).
using TRemoveDirectory = std::function<bool(const char* path)>;

// Puts back what the journal at journalPath noted, then deletes the journal and its saved
// copies. Problems are reported as error rows; false when something could not be put back
// (the journal then stays for the next attempt). True at once when there is no journal.
bool RestoreJournal(TFileSystem& files, const std::string& journalPath, TPatchReporter& reporter,
                    const TRemoveDirectory& removeDirectory);

bool JournalExists(TFileSystem& files, const std::string& journalPath);

// Copies a file with its date/time (when it can be read). False on any failure; a partial
// destination is then deleted.
bool CopyFileWithStamp(TFileSystem& files, const std::string& from, const std::string& to,
                       int64_t* bytes = nullptr);
