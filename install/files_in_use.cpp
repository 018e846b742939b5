#include "files_in_use.h"

#include <set>

#include "patch/record_names.h"
#include "patch/record_path.h"
#include "paths/macros.h"
#include "paths/path_name.h"
#include "report/patch_reporter.h"

void TMemoryFileHolders::Hold(const std::string& path, const std::vector<std::string>& programs) {
  held[PathKey(path)] = programs;
}

void TMemoryFileHolders::Release(const std::string& path) { held.erase(PathKey(path)); }

bool TMemoryFileHolders::Held(const std::string& path, unsigned, std::vector<std::string>& holders) {
  ++Questions;
  const auto found = held.find(PathKey(path));
  if (found == held.end()) return false;
  holders = found->second;
  return true;
}

std::vector<TFileInUse> FindFilesInUse(const TPatchDirectory& records, TMacroExpander* macros,
                                       TFileHolders& holders) {
  std::vector<TFileInUse> inUse;
  std::set<std::string> asked;
  auto ask = [&](const std::string& path, unsigned uses) {
    if (path.empty() || !asked.insert(PathKey(path)).second) return;
    TFileInUse file{path, {}};
    if (holders.Held(path, uses, file.Holders)) inUse.push_back(file);
  };
  for (int i = 0; i < records.Count(); ++i) {
    const uint32_t type = records[i].Type();
    if (!ActsOnFile(type)) continue;
    // Only paths the engine would act on: a hostile patch must not make the look touch
    // files elsewhere either.
    const TResolvedPath path = ResolveRecordPath(records[i].Path, macros);
    if (path.Rule != TRecordPathRule::Allowed) continue;
    const TRecordNames names(path.Expanded);
    if (names.Name.Cut()) continue;
    ask(names.Target, FileUseRead | FileUseRemove);
    // An earlier backup is deleted before the file takes its name.
    if (RebuildsFile(type)) ask(names.Backup, FileUseRemove);
  }
  return inUse;
}

std::string DescribeFileInUse(const TFileInUse& file) {
  if (file.Holders.empty()) return file.Path;
  std::string text = file.Path + " (held by ";
  for (size_t i = 0; i < file.Holders.size(); ++i) text += (i ? ", " : "") + file.Holders[i];
  return text + ")";
}

bool ClearOfFilesInUse(const TPatchDirectory& records, TMacroExpander* macros, TFileHolders& holders,
                       const TAskAboutFilesInUse& ask, TPatchReporter& reporter) {
  for (;;) {
    const std::vector<TFileInUse> inUse = FindFilesInUse(records, macros, holders);
    if (inUse.empty()) return true;
    if (ask && ask(inUse) == TInUseAnswer::Retry) continue;
    for (const TFileInUse& file : inUse) reporter.ReportError("File in use: %s", DescribeFileInUse(file).c_str());
    reporter.ReportError("Cannot install patch: files in use - nothing was changed");
    return false;
  }
}

std::string FilesInUseQuestion(const std::vector<TFileInUse>& files, size_t maxListed) {
  std::string text = "These files are in use by other programs:\n\n";
  for (size_t i = 0; i < files.size() && i < maxListed; ++i) text += DescribeFileInUse(files[i]) + "\n";
  if (files.size() > maxListed) text += "and " + std::to_string(files.size() - maxListed) + " more\n";
  return text +
         "\nClose these programs, then press Retry.\n"
         "Cancel stops the installation; nothing has been changed.";
}
