#include "release_verifier.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>

#include "patch/patch_file.h"
#include "report/formatting_reporter.h"
#include "patch/root_macro.h"
#include "paths/macros.h"

namespace {

// Keeps every report as a row of the log file format.
class TRowCollector : public TFormattingReporter {
 public:
  explicit TRowCollector(std::vector<std::string>& rows) : rows(rows) {}
  bool Failed = false;
  void ReportProgress(int32_t, int32_t) override {}

 protected:
  void ReportText(TReportKind kind, const char* text) override {
    Failed |= kind != TReportKind::Info;
    rows.push_back(FormatLogRow(kind, text));
  }

 private:
  std::vector<std::string>& rows;
};

}  // namespace

std::string BackupKey(const std::string& relative) {
  const std::string key = PathKey(relative);
  const size_t slash = key.rfind('\\');
  const size_t dot = key.rfind('.');
  const std::string backup = std::string(".") + BackupExtension;
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return key + backup;
  return key.substr(0, dot) + backup;
}

bool CopyRelease(TFileSystem& files, const std::string& root, const TRelease& release,
                 const std::string& target, std::string& error) {
  // Sorted by name, so every folder comes after its parent.
  for (const std::string& d : release.Directories) {
    const std::string path = JoinPath(target, d);
    if (!files.CreateDir(path.c_str()) && !files.DirectoryExists(path.c_str())) {
      error = "Cannot create folder " + path;
      return false;
    }
  }
  std::vector<uint8_t> bytes;
  for (const TReleaseFile& f : release.Files) {
    const std::string from = JoinPath(root, f.Path), to = JoinPath(target, f.Path);
    if (!ReadWholeFile(files, from, bytes, SIZE_MAX)) {
      error = "Cannot read file " + from;
      return false;
    }
    if (!WriteWholeFile(files, to, bytes)) {
      error = "Cannot write file " + to;
      return false;
    }
    if (!files.SetStamp(to.c_str(), f.Stamp)) {
      error = "Cannot set the date/time of " + to;
      return false;
    }
  }
  return true;
}

bool VerifyPatch(TFolderLister& lister, TFileSystem& files, const std::string& oldRoot,
                 const TRelease& oldRelease, const TRelease& newRelease,
                 const std::string& newRoot, const std::vector<TBuiltRecord>& records,
                 TInputFile& data, const std::string& scratch, TVerification& result) {
  result = TVerification();
  std::string error;
  if (!CopyRelease(files, oldRoot, oldRelease, scratch, error)) {
    result.Problems.push_back(error);
    return false;
  }

  // Applied twice: the second run must find every record's result in place and change
  // nothing, as a user who runs the patch again (or after an interrupted run) would see it.
  TRowCollector reporter(result.EngineRows);
  size_t firstRunRows = 0;
  for (int run = 0; run < 2; ++run) {
    TMacroExpander macros;
    TRootMacro root(macros, scratch);
    TPatchFile installer(&data, &macros, &reporter, &files);
    installer.Run();
    if (run == 0) firstRunRows = result.EngineRows.size();
  }
  if (reporter.Failed) result.Problems.push_back("The patch engine reported errors or warnings");
  for (size_t i = firstRunRows; i < result.EngineRows.size(); ++i) {
    if (result.EngineRows[i].compare(0, 10, "\tApplying") == 0) {
      result.Problems.push_back("Applied again by a second run: " + result.EngineRows[i].substr(1));
      break;
    }
  }

  TRelease got;
  if (!ScanRelease(lister, files, scratch, got, error)) {
    result.Problems.push_back(error);
    return false;
  }
  std::map<std::string, const TReleaseFile*> gotFiles;
  for (const TReleaseFile& f : got.Files) gotFiles[PathKey(f.Path)] = &f;
  std::set<std::string> backups;
  for (const TBuiltRecord& r : records)
    if (r.Kind == TBuiltKind::Modify) backups.insert(BackupKey(r.Plan.OldPath));

  std::vector<uint8_t> want, have;
  std::set<std::string> expected;
  for (const TReleaseFile& f : newRelease.Files) {
    const std::string key = PathKey(f.Path);
    expected.insert(key);
    auto it = gotFiles.find(key);
    if (it == gotFiles.end()) {
      result.Problems.push_back("Missing after patching: " + f.Path);
      continue;
    }
    if (it->second->Stamp != f.Stamp) {
      char text[64];
      std::snprintf(text, sizeof text, " (date/time %08X, wanted %08X)", it->second->Stamp, f.Stamp);
      result.Problems.push_back("Other date/time after patching: " + f.Path + text);
    }
    if (!ReadWholeFile(files, JoinPath(newRoot, f.Path), want, SIZE_MAX) ||
        !ReadWholeFile(files, JoinPath(scratch, it->second->Path), have, SIZE_MAX)) {
      result.Problems.push_back("Cannot read for comparison: " + f.Path);
    } else if (want != have) {
      result.Problems.push_back("Other content after patching: " + f.Path);
    }
  }
  for (const TReleaseFile& f : got.Files) {
    const std::string key = PathKey(f.Path);
    if (!expected.count(key) && !backups.count(key))
      result.Problems.push_back("Left over after patching: " + f.Path);
  }
  return result.Problems.empty();
}
