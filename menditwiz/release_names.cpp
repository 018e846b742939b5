#include "release_names.h"

#include <map>

#include "patch/patch_writer.h"
#include "patch/record_path.h"
#include "patch_plan.h"
#include "paths/path_name.h"

namespace {

const char* SpellingReason(TRecordPathRule rule) {
  switch (rule) {
    case TRecordPathRule::Allowed:
      return nullptr;
    case TRecordPathRule::UndoJournal:
      return "named like the undo journal";
    case TRecordPathRule::LeavesFolder:
      return "a part a patch may not name (\".\", \"..\" or empty)";
    case TRecordPathRule::NoFolderMacro:
    case TRecordPathRule::ForbiddenPart:
      break;
  }
  return "a name Windows cannot hold (a device, a refused character, trailing dots or spaces)";
}

}  // namespace

std::vector<std::string> ReleaseNameProblems(const TRelease& release, const std::string& label) {
  std::vector<std::string> problems;
  std::map<std::string, std::string> seen;  // PathKey -> the first spelling
  auto note = [&](const std::string& path) {
    auto [at, added] = seen.emplace(PathKey(path), path);
    if (!added) problems.push_back(label + ": two names differ only in letter case: " + at->second + " and " + path);
  };
  // Names the system spells with characters patches cannot carry: Windows-1252 is the code
  // page of the systems patches are made for, and a name must be the same bytes whichever
  // builder wrote it.
  for (const std::string& path : release.UnheldNames)
    problems.push_back(label + ": a name Windows-1252 (the code page of patch names) cannot hold: " + path);
  for (const std::string& folder : release.Directories) note(folder);
  for (const TReleaseFile& f : release.Files) {
    note(f.Path);
    if (!TPatchWriter::PathFits(RecordPath(f.Path)))
      problems.push_back(label + ": Path too long for a patch record (at most " +
                         std::to_string(TPatchWriter::MaxPathLength - RecordPath("").size()) + " characters): " + f.Path);
    else if (const char* reason = SpellingReason(CheckRecordPathSpelling(RecordPath(f.Path))))
      problems.push_back(label + ": " + reason + ": " + f.Path);
  }
  return problems;
}
