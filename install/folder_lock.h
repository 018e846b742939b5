#pragma once
// One run at a time per application folder. TFolderLock holds a named kernel mutex for as
// long as it lives; a second run, in this process or another, finds it held and changes
// nothing. A process that ends in any way (killed too) lets go of it, and the system removes
// the object with its last handle: a lock no live run holds never blocks.
//
// The lock is no file: nothing at a path beside the folder can be planted to block every
// later run, or turned into a deletion (a link there once made a run delete its target). Its
// name is built from the folder's final path (links followed, long names: every spelling of
// one folder, an 8.3 name, a link to it, "\\?\", meets the same lock), hashed so that any
// path fits: "Global\MENDIT-LOCK-<SHA-256 of the path's key>", in the global namespace so
// that runs in other sessions (a service's /S run, another user's) meet it too.
//
// mendit's installation run takes it itself; menditcon takes it before it puts back an
// interrupted run, and holds it over the whole run (TInstallationRun::LockHeld).

#include <string>

class TPatchReporter;

class TFolderLock {
 public:
  TFolderLock() = default;
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;
  ~TFolderLock();

  // Takes the lock of the application in folder root. False with an error row when another
  // run holds it ("Cannot install patch: another run is under way (%s)") or it cannot be made.
  bool Take(const std::string& root, TPatchReporter& reporter);

 private:
  void* handle = nullptr;
  std::string name;
};

// The name of the lock of the application in folder root (see above).
std::string FolderLockName(const std::string& root);

// The final path of folder root (links followed, long names), the key of its lock and of its
// journal (JournalPathFor(FinalFolderPath(root), SystemTempFolder()): every spelling of the
// folder finds the one unfinished journal); root itself when the system cannot tell.
std::string FinalFolderPath(const std::string& root);

// The system's temporary folder, with its trailing backslash (empty when the system cannot
// say): where the journal of a drive's own folder goes (JournalPathFor in
// files/journal_file_system.h).
std::string SystemTempFolder();
