#pragma once
// The records a patch needs to turn one release into the next, in an order that applies
// cleanly, decided from the two listings alone (contents are compared later, when the
// records are built).
//
// Names compare without regard to letter case, as on Windows. Order: deletes first (a file
// that gives way to a folder of the same name must be gone before the folder is made), then
// the files present in both releases, then the new files. The new files come last also
// because a modify record deletes the "$$$" backup name of its target before it moves the
// target there, which would remove a new file of that name made earlier.
//
// What records cannot express is refused: a folder of the old release that becomes a file
// (no record removes a folder), and paths that do not fit a record's path field with its
// terminating zero (record paths of 200 characters or more).

#include <string>
#include <vector>

#include "patch/patch_file.h"
#include "release_listing.h"

enum class TPlannedKind {
  Delete,  // gone in the new release
  Change,  // in both: a modify or a copy record, or none when content and date/time agree
  Add,     // new in the new release
};

struct TPlannedRecord {
  TPlannedKind Kind;
  std::string OldPath;  // relative, old spelling ("" for Add)
  std::string NewPath;  // relative, new spelling ("" for Delete)
  int64_t OldSize = 0;
  int64_t NewSize = 0;
  TDosStamp OldStamp = 0;
  TDosStamp NewStamp = 0;
  std::string OldRoot = "";  // the old release the record is made from ("": the first one)
  uint32_t Alternative = 0;  // non-zero: one of the records for one file, one per old content
};

// The record path of a relative path: "&ROOT&\SUB\FILE.DLL".
std::string RecordPath(const std::string& relative);

struct TOldRelease {
  std::string Root;  // absolute folder
  TRelease Files;
};

// Several old releases brought to one new release: each is planned as PlanPatch plans it;
// then, file by file, the old releases that hold the same content share one record. Where a
// file still needs more than one record (several old contents; or a new file that some old
// releases lack, which gets a copy record beside the modify records of the others), the
// file's records form one group of alternatives (a common Alternative number), of which the
// installer applies the one that fits the installed file. A file's records lie side by side.
// sameStamp receives the files of which two old releases hold different contents under one
// date/time (readers without content checks cannot tell those apart). False with error set
// when a change cannot be expressed or an old file cannot be read.
bool PlanMultiPatch(TFileSystem& files, const std::vector<TOldRelease>& oldReleases, const TRelease& newRelease,
                    const std::string& newRoot,
                    std::vector<TPlannedRecord>& plan, std::vector<std::string>& sameStamp, std::string& error);

// False with error set when the change cannot be expressed by records.
bool PlanPatch(const TRelease& oldRelease, const TRelease& newRelease,
               std::vector<TPlannedRecord>& plan, std::string& error);
