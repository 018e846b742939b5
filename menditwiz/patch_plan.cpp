#include "patch_plan.h"

#include <map>
#include <set>

#include "files/whole_file.h"
#include "hash/sha256.h"
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

namespace {

// The records one file needs across the old releases, and the contents they were made from.
struct TFileRecords {
  std::vector<TPlannedRecord> Members;
  std::vector<TSha256Digest> Contents;  // of Members, in order
  std::string Name;                     // as the first release that has it spells it
  bool Copy = false;                    // some old release lacks the file
  TPlannedRecord CopyRecord{TPlannedKind::Add, "", "", 0, 0, 0, 0};
  std::vector<std::pair<TDosStamp, TSha256Digest>> Seen;  // every distinct old content, with its date/time
};

bool DigestOfFile(TFileSystem& files, const std::string& path, TSha256Digest& digest, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(files, path, bytes, SIZE_MAX)) {
    error = "Cannot read file " + path;
    return false;
  }
  digest = Sha256(bytes.data(), bytes.size());
  return true;
}

bool Holds(const std::vector<TSha256Digest>& contents, const TSha256Digest& digest) {
  for (const TSha256Digest& c : contents)
    if (c.Bytes == digest.Bytes) return true;
  return false;
}

}  // namespace

bool PlanMultiPatch(TFileSystem& files, const std::vector<TOldRelease>& oldReleases, const TRelease& newRelease,
                    const std::string& newRoot,
                    std::vector<TPlannedRecord>& plan, std::vector<std::string>& sameStamp, std::string& error) {
  plan.clear();
  sameStamp.clear();
  std::map<std::string, TFileRecords> byFile;
  std::vector<std::string> deleted, kept, added;  // keys in the order first met
  std::map<std::string, TSha256Digest> newContents;
  for (const TOldRelease& old : oldReleases) {
    std::vector<TPlannedRecord> single;
    if (!PlanPatch(old.Files, newRelease, single, error)) return false;
    for (TPlannedRecord& r : single) {
      r.OldRoot = old.Root;
      const std::string key = PathKey(r.Kind == TPlannedKind::Delete ? r.OldPath : r.NewPath);
      auto placed = byFile.emplace(key, TFileRecords());
      TFileRecords& file = placed.first->second;
      if (placed.second) file.Name = r.Kind == TPlannedKind::Delete ? r.OldPath : r.NewPath;
      if (placed.second)
        (r.Kind == TPlannedKind::Delete ? deleted : r.Kind == TPlannedKind::Change ? kept : added).push_back(key);
      if (r.Kind == TPlannedKind::Add) {
        file.Copy = true;
        file.CopyRecord = r;
        file.CopyRecord.OldRoot.clear();
        continue;
      }
      TSha256Digest digest;
      if (!DigestOfFile(files, JoinPath(old.Root, r.OldPath), digest, error)) return false;
      bool seen = false;
      for (const auto& s : file.Seen) seen |= s.first == r.OldStamp && s.second.Bytes == digest.Bytes;
      if (!seen) file.Seen.push_back({r.OldStamp, digest});
      if (r.Kind == TPlannedKind::Change) {
        auto known = newContents.find(key);
        if (known == newContents.end()) {
          TSha256Digest made;
          if (!DigestOfFile(files, JoinPath(newRoot, r.NewPath), made, error)) return false;
          known = newContents.emplace(key, made).first;
        }
        // Already the new release's file: no record.
        if (known->second.Bytes == digest.Bytes && r.OldStamp == r.NewStamp) continue;
      }
      if (Holds(file.Contents, digest)) continue;  // an identical old file has its record
      file.Members.push_back(r);
      file.Contents.push_back(digest);
    }
  }
  uint32_t alternative = 0;
  auto place = [&](const std::string& key) {
    TFileRecords& file = byFile[key];
    // A new file that some old releases lack and others hold: modify records for those, a
    // copy for the others.
    if (file.Copy) file.Members.push_back(file.CopyRecord);
    const uint32_t group = file.Members.size() > 1 ? ++alternative : 0;
    for (TPlannedRecord& r : file.Members) {
      r.Alternative = group;
      plan.push_back(r);
    }
    for (size_t i = 0; i < file.Seen.size(); ++i)
      for (size_t j = i + 1; j < file.Seen.size(); ++j)
        if (file.Seen[i].first == file.Seen[j].first && file.Seen[i].second.Bytes != file.Seen[j].second.Bytes) {
          sameStamp.push_back(file.Name);
          i = j = file.Seen.size();
        }
  };
  for (const std::string& key : deleted) place(key);
  for (const std::string& key : kept) place(key);
  for (const std::string& key : added) place(key);
  return true;
}
