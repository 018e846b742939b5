#pragma once
// All-or-nothing changes to files: TJournalFileSystem passes every call on to another file
// system, but before a file is first changed (written, moved away or onto, deleted, given a
// date/time) it saves the file's content and date/time beside a journal, or notes in the
// journal that the file did not exist; a directory is noted before it is made. RestoreJournal
// puts every noted file back exactly as it was (content, date/time, presence) and removes the
// noted directories, from the journal alone: after a failed run, or on the next start when
// the process was killed at any point of the run or of an earlier restore.
//
// Journal: a text file; each line ends in '\n' and is flushed to the disk (FlushFileBuffers)
// before the change it announces, as is the saved copy it names, so neither a kill nor a power
// cut can leave a change the journal does not know of. A line cut short announces nothing.
//   MENDIT JOURNAL 2
//   folder\t<folder>                                the application folder; every path below
//                                                   lies inside it
//   saved\t<n>\t<stamp: 8 hex digits, or ->\t<size>\t<SHA-256, 64 hex digits>\t<path>
//                                                   the content is in "<journal>.<n>", of that
//                                                   size and digest; the file's name
//                                                   spelt as stored, so it comes back under
//                                                   it whatever spelling the run used
//   absent\t<path>                                  the file did not exist
//   dir\t<path>                                     the directory was about to be made
//   commit                                          the run stands
// Journals of version 1 (no folder line, saved lines without size and digest) are still read;
// their paths must lie inside the folder the restore is for, and a saved copy that is gone
// cannot be proven put back, so it is an error there.
// A journal that exists means an unfinished run. Commit writes its last line, then deletes
// the saved copies and the journal; a restore of a committed journal only finishes that. The
// journal and its copies are made with the exclusive create: never over a file already there
// (a number taken already is passed over), and only the copies a run made, or a journal's
// lines name, are ever deleted.
//
// Links: a restore follows no link out of the folder. Every path it deletes, replaces or
// puts back must lead inside the folder once links are followed (TFileSystem::FinalPath),
// with no other names (hard links), and every saved copy it moves must be the file its name
// says; otherwise the journal is refused whole before anything is changed.
//
// What a restore trusts: a journal owned by neither the current user nor the administrators
// (TFileSystem::TrustedOwner), one of another folder, or one naming a path outside its folder
// (a part "..", a stream, another drive) is refused whole, before anything is changed; so is
// one whose saved copies have a stranger as owner. A saved copy whose size or digest is not
// the recorded one is not put back.
//
// Restoring is idempotent: a saved file is put back by moving its copy over it; a copy that is
// gone is accepted only when the file already holds the saved content (an earlier, interrupted
// restore moved it back), and then only its date/time is set again; otherwise it is an error
// and the journal stays. A file noted absent is deleted; the journal is deleted last.

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "file_system.h"

class TPatchReporter;

class TJournalFileSystem : public TFileSystem {
 public:
  // files is not owned. The saved copies are named journalPath + "." + n. folder is the
  // application folder (no trailing backslash): only paths inside it are changed.
  TJournalFileSystem(TFileSystem& files, const std::string& journalPath, const std::string& folder)
      : Files(files), JournalPath(journalPath), Folder(folder) {}

  // Creates the journal. False when it exists already (another run's) or cannot be written;
  // nothing may then be changed.
  bool Begin();
  // The run stands: writes the commit line. False when it could not be written (the run must
  // then be put back at once, or the next start would).
  bool CommitLine();
  // After the commit line: deletes the saved copies and the journal. False when the journal
  // could not be deleted (the next start only finishes that).
  bool Discard();
  // CommitLine, then Discard. False when either failed.
  bool Commit() { return CommitLine() && Discard(); }
  // Closes the journal so RestoreJournal can read it.
  void Close() { Journal.reset(); }

  std::unique_ptr<TInputFile> OpenRead(const char* path) override { return Files.OpenRead(path); }
  std::unique_ptr<TOutputFile> Create(const char* path) override;
  std::unique_ptr<TOutputFile> CreateNew(const char* path) override;
  bool Move(const char* from, const char* to) override;
  bool Replace(const char* from, const char* to) override;
  bool Delete(const char* path) override;
  bool CreateDir(const char* path) override;
  bool DirectoryExists(const char* path) override { return Files.DirectoryExists(path); }
  bool FileExists(const char* path) override { return Files.FileExists(path); }
  // The attribute follows the file: a file it is set on was saved before its change.
  bool ReadOnly(const char* path) override { return Files.ReadOnly(path); }
  bool MakeReadOnly(const char* path, bool readOnly) override { return Files.MakeReadOnly(path, readOnly); }
  bool SetStamp(const char* path, TDosStamp stamp) override;
  std::string StoredName(const char* path) override { return Files.StoredName(path); }
  std::string FinalPath(const char* path) override { return Files.FinalPath(path); }
  int NameCount(const char* path) override { return Files.NameCount(path); }

  // Bytes of saved copies written (the cost of the journal, for benchmarks).
  int64_t SavedBytes() const { return savedBytes; }

 private:
  // Saves path's state before its first change. False when it could not be saved.
  bool Protect(const char* path);
  bool AppendLine(const std::string& line);

  TFileSystem& Files;
  std::string JournalPath;
  std::string Folder;
  std::unique_ptr<TOutputFile> Journal;
  int64_t JournalSize = 0;
  int Saved = 0;                // the highest copy number taken
  std::vector<int> MadeCopies;  // the copies this object made, the only ones it deletes
  int64_t savedBytes = 0;
  std::set<std::string> ProtectedKeys;
};

// Removes an empty directory; may be empty (directories are then left).
using TRemoveDirectory = std::function<bool(const char* path)>;

// Puts back what the journal at journalPath noted for the application in folder, then deletes
// the journal and its saved copies. Problems are reported as error rows; false when the
// journal was refused (nothing changed) or something could not be put back (the journal then
// stays for the next attempt). True at once when there is no journal.
bool RestoreJournal(TFileSystem& files, const std::string& journalPath, const std::string& folder,
                    TPatchReporter& reporter, const TRemoveDirectory& removeDirectory);

// The journal of the application in folder root (no trailing backslash): a file beside the
// folder, so its saved copies are on the same volume. A drive's own folder ("C:") has
// nothing beside it: its journal goes into tempFolder (with a trailing backslash), named
// after the drive.
std::string JournalPathFor(const std::string& root, const std::string& tempFolder = "");

// Whether path names a file inside folder (or below it): its key starts with the folder's,
// and no part climbs out ("..", "."), names a stream (":") or ends in a dot or space (which
// Windows drops from names).
bool InsideFolder(const std::string& path, const std::string& folder);

bool JournalExists(TFileSystem& files, const std::string& journalPath);

// Copies a file with its date/time (when it can be read). False on any failure; a partial
// destination is then deleted.
bool CopyFileWithStamp(TFileSystem& files, const std::string& from, const std::string& to,
                       int64_t* bytes = nullptr);
