#pragma once
// One build of a patch in named steps: resolve the folders, format the description, make
// sure the output folder takes files, read both releases, plan the records, build them,
// pack the cabinet, apply that cabinet with the patch engine to a scratch copy of the old
// release and compare with the new release, and only then write the cabinet and the
// description file. The build says nothing itself: it reports its progress as events and
// ends with an outcome; the command line (wizard_run.h) turns both into words.

#include <cstdint>
#include <string>
#include <vector>

#include "patch_builder.h"
#include "release_verifier.h"
#include "vendor_identity.h"
#include "wizard_options.h"

enum class TWizardFailure {
  None,
  OldFolderUnreadable,      // Subject: the old folder as given
  NewFolderUnreadable,      // Subject: the new folder as given
  OutputFolderUnusable,     // Subject: the output folder as given
  OutputInsideRelease,      // Subject: the output folder, absolute (it would ship old patches)
  DescriptionRefused,       // Detail: why the values cannot form a description file
  OutputFolderNotWritable,  // Subject: the output folder, absolute
  ReleaseUnreadable,        // Detail: the listing's error
  MainExecutableMissing,    // Subject: the new release's folder, absolute
  ChangeNotExpressible,     // Detail: the planner's error
  NoScratchFolder,
  RecordsNotBuilt,          // Detail: the record builder's error
  NothingToPatch,           // the releases do not differ
  CabinetNotPacked,         // Detail: the cabinet writer's error
  CabinetNotStored,         // Subject: the cabinet's path in the scratch folder
  CabinetNotExtracted,      // Detail: the cabinet reader's error
  NotReproduced,            // Subject: the old release that was not brought up to the new one;
                            // Verification holds the engine's rows and the problems
  OutputNotWritten,         // Subject: the output that could not be written; Detail: why,
                            // when its name is a link or a file with other names
  StubUnusable,             // Subject: the stub's path; Detail: why it cannot carry a patch
  ProgramNotReproduced,     // Subject: the self-applying program, which does not carry the
                            // verified description and cabinet
  OutputExists,             // Subject: an output that exists already (no -f)
  AlsoRepeated,             // Subject: an -also folder given twice, or naming OLD or NEW
  ReleaseEmpty,             // Subject: a release folder that holds no file
  NamesNotCarried,          // Detail: every name no patch can carry, one a line
};

struct TWizardOutcome {
  TWizardFailure Failure = TWizardFailure::None;
  std::string Subject;
  std::string Detail;
  TVerification Verification;
  // After success: what was built and where it went.
  std::vector<TBuiltRecord> Records;
  size_t DataSize = 0;
  int64_t CabinetSize = 0;
  std::string CabinetOut, DescriptionOut;
  std::string ProgramOut;  // the self-applying program (-exe); "" when none is made
  int64_t ProgramSize = 0;
  int UnchangedFiles = 0;  // files of the new release that no record writes
};

// What a build run tells while it works; every event has an empty default.
class TWizardEvents {
 public:
  virtual ~TWizardEvents() = default;
  // Steps of a phase are counted from 1 (step of steps).
  virtual void ReadingRelease(const std::string& /*folder*/, size_t /*step*/, size_t /*steps*/) {}
  // A folder of the new release that holds no file: records cannot carry it.
  virtual void EmptyFolderNotCarried(const std::string& /*folder*/) {}
  // The stub's signature is not carried over: the program written must be signed again.
  virtual void StubSignatureDropped(const std::string& /*stub*/) {}
  // Two modify records leave their backups under one name; the later one's stays.
  virtual void SharedBackupName(const std::string& /*first*/, const std::string& /*second*/) {}
  // Two old releases hold different contents of a file under one date/time: readers of the
  // patch that know no content checks cannot tell them apart.
  virtual void SameStampOtherContent(const std::string& /*path*/) {}
  // The record builder's progress through one file (relative path, bytes done, total bytes),
  // the step-th of the steps files that are read for records.
  virtual void FileProgress(const std::string& /*path*/, size_t /*step*/, size_t /*steps*/, size_t /*done*/,
                            size_t /*total*/) {}
  // Every record is made (steps: the files read for them).
  virtual void RecordsMade(size_t /*steps*/) {}
  // The identity the patch carries and where each part came from (vendor_identity.h).
  virtual void IdentityChosen(const TVendorIdentity& /*vendor*/, const TIdentityOrigin& /*origin*/) {}
  // Packing the cabinet: done of total bytes of patch data compressed (first with done 0).
  virtual void Packing(size_t /*done*/, size_t /*total*/) {}
  // The patch applied to a copy of the old release folder, the step-th of steps.
  virtual void Verifying(const std::string& /*folder*/, size_t /*step*/, size_t /*steps*/) {}
};

// hooks.InspectDelta is passed on to the record builder (tests break deltas with it);
// hooks.Progress is set by the build itself (to events.FileProgress).
TWizardOutcome BuildWizardPatch(const TWizardOptions& options, const TBuildHooks& hooks,
                                TWizardEvents& events);
