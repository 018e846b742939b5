#pragma once
// One run at a time per application folder. TFolderLock holds the folder's lock file (beside
// the folder, as its journal is: LockPathFor) open without sharing and deleted on close, for
// as long as it lives; a second run, in this process or another, cannot open it and changes
// nothing. A process that ends in any way (killed too) lets go of it.
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
};

// The system's temporary folder, with its trailing backslash (empty when the system cannot
// say): where the journal and the lock of a drive's own folder go (JournalPathFor,
// LockPathFor in files/journal_file_system.h).
std::string SystemTempFolder();
