#include "patch_plan.h"

#include <map>
#include <set>

#include "patch/patch_writer.h"
#include "patch/record_path.h"

std::string RecordPath(const std::string& relative) {
  return std::string(RootMacro) + "\\" + relative;
}

namespace {
// A name Windows cannot hold (a device such as AUX, a ':' or another character it refuses,
// trailing dots or spaces, "..") would be read differently by mendit than the builder meant,
// so no record names one.
bool Nameable(const std::string& relative, std::string& error) {
  if (CheckRecordPathSpelling(RecordPath(relative)) == TRecordPathRule::Allowed) return true;
  error = "A name that Windows cannot hold, or that a patch may not name: " + relative;
  return false;
}
}  // namespace

bool PlanPatch(const TRelease& oldRelease, const TRelease& newRelease,
               std::vector<TPlannedRecord>& plan, std::string& error) {
  plan.clear();
  std::map<std::string, const TReleaseFile*> oldFiles, newFiles;
  for (const TReleaseFile& f : oldRelease.Files) oldFiles[PathKey(f.Path)] = &f;
  for (const TReleaseFile& f : newRelease.Files) newFiles[PathKey(f.Path)] = &f;
  std::set<std::string> oldDirectories;
  for (const std::string& d : oldRelease.Directories) oldDirectories.insert(PathKey(d));

  for (const TReleaseFile& f : newRelease.Files) {
    // The record's path field holds the path and its terminating zero.
    if (!TPatchWriter::PathFits(RecordPath(f.Path))) {
      error = "Path too long for a patch record (at most " +
              std::to_string(TPatchWriter::MaxPathLength - RecordPath("").size()) + " characters): " + f.Path;
      return false;
    }
    if (!Nameable(f.Path, error)) return false;
    if (oldDirectories.count(PathKey(f.Path))) {
      error = "A folder of the old release is a file in the new one (a patch cannot remove folders): " + f.Path;
      return false;
    }
  }
  for (const TReleaseFile& f : oldRelease.Files) {
    if (!newFiles.count(PathKey(f.Path)) && !TPatchWriter::PathFits(RecordPath(f.Path))) {
      error = "Path too long for a patch record: " + f.Path;
      return false;
    }
    if (!newFiles.count(PathKey(f.Path)) && !Nameable(f.Path, error)) return false;
  }

  for (const TReleaseFile& f : oldRelease.Files) {
    if (newFiles.count(PathKey(f.Path))) continue;
    TPlannedRecord r{TPlannedKind::Delete, f.Path, "", f.Size, 0, f.Stamp, 0};
    plan.push_back(r);
  }
  for (const TReleaseFile& f : newRelease.Files) {
    auto old = oldFiles.find(PathKey(f.Path));
    if (old == oldFiles.end()) continue;
    const TReleaseFile& o = *old->second;
    plan.push_back({TPlannedKind::Change, o.Path, f.Path, o.Size, f.Size, o.Stamp, f.Stamp});
  }
  for (const TReleaseFile& f : newRelease.Files) {
    if (oldFiles.count(PathKey(f.Path))) continue;
    plan.push_back({TPlannedKind::Add, "", f.Path, 0, f.Size, 0, f.Stamp});
  }
  return true;
}
