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
};

// The record path of a relative path: "&ROOT&\SUB\FILE.DLL".
std::string RecordPath(const std::string& relative);

// False with error set when the change cannot be expressed by records.
bool PlanPatch(const TRelease& oldRelease, const TRelease& newRelease,
               std::vector<TPlannedRecord>& plan, std::string& error);
