#include "journal_file_system.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "memory_file_system.h"
#include "report/patch_reporter.h"

namespace {

const char* const JournalHeader = "MENDIT JOURNAL 1";
constexpr size_t CopyChunk = 256 * 1024;
// A journal larger than this is not one of ours.
constexpr int64_t MaxJournalSize = 64 << 20;

std::string BackupPath(const std::string& journalPath, int n) { return journalPath + "." + std::to_string(n); }

struct TEntry {
  enum TKind { Saved, Absent, Dir, Commit } Kind;
  int Number = 0;
  bool StampKnown = false;
  TDosStamp Stamp = 0;
  std::string Path;
};

// Splits s at tabs.
std::vector<std::string> Fields(const std::string& s) {
  std::vector<std::string> fields(1);
  for (char c : s) {
    if (c == '\t')
      fields.emplace_back();
    else
      fields.back() += c;
  }
  return fields;
}

bool ParseEntry(const std::string& line, TEntry& entry) {
  const std::vector<std::string> f = Fields(line);
  if (f.size() == 1 && f[0] == "commit") {
    entry.Kind = TEntry::Commit;
    return true;
  }
  if (f.size() == 2 && (f[0] == "absent" || f[0] == "dir") && !f[1].empty()) {
    entry.Kind = f[0] == "absent" ? TEntry::Absent : TEntry::Dir;
    entry.Path = f[1];
    return true;
  }
  if (f.size() != 4 || f[0] != "saved" || f[3].empty() || f[1].empty() || f[1].size() > 9) return false;
  for (char c : f[1])
    if (c < '0' || c > '9') return false;
  entry.Kind = TEntry::Saved;
  entry.Number = std::atoi(f[1].c_str());
  if (f[2] != "-") {
    if (f[2].size() != 8) return false;
    char* end = nullptr;
    entry.Stamp = static_cast<TDosStamp>(std::strtoul(f[2].c_str(), &end, 16));
    if (*end != '\0') return false;
    entry.StampKnown = true;
  }
  entry.Path = f[3];
  return true;
}

// Whether a file exists; it is closed again before the caller goes on (an open file cannot be
// deleted or moved over on Windows).
bool Present(TFileSystem& files, const std::string& path) { return files.OpenRead(path.c_str()) != nullptr; }

// Whether the file at path is already the saved copy: same date/time, size and content (a
// change that failed, such as the delete of a read-only file, left it as it was).
bool SameAsSaved(TFileSystem& files, const std::string& path, const std::string& backup, const TEntry& entry) {
  std::unique_ptr<TInputFile> a = files.OpenRead(path.c_str());
  std::unique_ptr<TInputFile> b = files.OpenRead(backup.c_str());
  TDosStamp stamp = 0;
  if (!a || !b || !entry.StampKnown || !a->GetStamp(stamp) || stamp != entry.Stamp) return false;
  const int64_t size = a->Size();
  if (size < 0 || size != b->Size()) return false;
  std::vector<uint8_t> x(CopyChunk), y(CopyChunk);
  for (int64_t done = 0; done < size;) {
    const int64_t got = a->Read(done, x.data(), x.size());
    if (got <= 0 || b->Read(done, y.data(), static_cast<size_t>(got)) != got ||
        !std::equal(x.begin(), x.begin() + got, y.begin()))
      return false;
    done += got;
  }
  return true;
}

}  // namespace

bool CopyFileWithStamp(TFileSystem& files, const std::string& from, const std::string& to, int64_t* bytes) {
  std::unique_ptr<TInputFile> in = files.OpenRead(from.c_str());
  if (!in) return false;
  TDosStamp stamp = 0;
  const bool stampKnown = in->GetStamp(stamp);
  std::unique_ptr<TOutputFile> out = files.Create(to.c_str());
  if (!out) return false;
  std::vector<uint8_t> buffer(CopyChunk);
  int64_t done = 0;
  for (;;) {
    const int64_t got = in->Read(done, buffer.data(), buffer.size());
    if (got < 0 || (got > 0 && !out->Write(done, buffer.data(), static_cast<size_t>(got)))) {
      out.reset();
      files.Delete(to.c_str());
      return false;
    }
    if (got == 0) break;
    done += got;
  }
  out.reset();
  if (bytes) *bytes += done;
  return !stampKnown || files.SetStamp(to.c_str(), stamp);
}

bool TJournalFileSystem::AppendLine(const std::string& line) {
  if (!Journal) return false;
  const std::string text = line + "\n";
  if (!Journal->Write(JournalSize, text.data(), text.size())) return false;
  JournalSize += static_cast<int64_t>(text.size());
  return true;
}

bool TJournalFileSystem::Begin() {
  // Another run's journal is never written over: it is that run's only way back.
  if (Present(Files, JournalPath)) return false;
  Journal = Files.Create(JournalPath.c_str());
  return AppendLine(JournalHeader);
}

bool TJournalFileSystem::Commit() {
  // From the commit line on, a restore only removes the journal and the saved copies.
  if (!AppendLine("commit")) return false;
  Journal.reset();
  for (int n = 1; n <= Saved + 1; ++n) Files.Delete(BackupPath(JournalPath, n).c_str());
  return Files.Delete(JournalPath.c_str());
}

bool TJournalFileSystem::Protect(const char* path) {
  // A name with a tab or line end (no Windows file has one; a damaged or hostile record
  // path might) would forge journal lines: it is refused, so nothing is changed under it.
  if (!Journal || std::strpbrk(path, "\t\r\n")) return false;
  const std::string key = TMemoryFileSystem::Key(path);
  if (ProtectedKeys.count(key)) return true;
  std::unique_ptr<TInputFile> existing = Files.OpenRead(path);
  if (!existing) {
    if (!AppendLine(std::string("absent\t") + path)) return false;
  } else {
    TDosStamp stamp = 0;
    const bool stampKnown = existing->GetStamp(stamp);
    existing.reset();
    const int n = Saved + 1;
    if (!CopyFileWithStamp(Files, path, BackupPath(JournalPath, n), &savedBytes)) return false;
    Saved = n;
    char stampText[16] = "-";
    if (stampKnown) std::snprintf(stampText, sizeof stampText, "%08lX", static_cast<unsigned long>(stamp));
    if (!AppendLine("saved\t" + std::to_string(n) + "\t" + stampText + "\t" + path)) return false;
  }
  ProtectedKeys.insert(key);
  return true;
}

std::unique_ptr<TOutputFile> TJournalFileSystem::Create(const char* path) {
  if (!Protect(path)) return nullptr;
  return Files.Create(path);
}

bool TJournalFileSystem::Move(const char* from, const char* to) {
  return Protect(from) && Protect(to) && Files.Move(from, to);
}

bool TJournalFileSystem::Replace(const char* from, const char* to) {
  return Protect(from) && Protect(to) && Files.Replace(from, to);
}

bool TJournalFileSystem::Delete(const char* path) { return Protect(path) && Files.Delete(path); }

bool TJournalFileSystem::SetStamp(const char* path, TDosStamp stamp) {
  return Protect(path) && Files.SetStamp(path, stamp);
}

bool TJournalFileSystem::CreateDir(const char* path) {
  if (Files.DirectoryExists(path)) return Files.CreateDir(path);  // refused, as it exists
  if (std::strpbrk(path, "\t\r\n")) return false;
  return AppendLine(std::string("dir\t") + path) && Files.CreateDir(path);
}

bool JournalExists(TFileSystem& files, const std::string& journalPath) { return Present(files, journalPath); }

bool RestoreJournal(TFileSystem& files, const std::string& journalPath, TPatchReporter& reporter,
                    const TRemoveDirectory& removeDirectory) {
  std::vector<TEntry> entries;
  {
    std::unique_ptr<TInputFile> in = files.OpenRead(journalPath.c_str());
    if (!in) return true;
    const int64_t size = in->Size();
    if (size < 0 || size > MaxJournalSize) {
      reporter.ReportError("Cannot read the journal of an unfinished run: %s", journalPath.c_str());
      return false;
    }
    std::string text(static_cast<size_t>(size), '\0');
    if (size > 0 && in->Read(0, &text[0], text.size()) != size) {
      reporter.ReportError("Cannot read the journal of an unfinished run: %s", journalPath.c_str());
      return false;
    }
    // Whole lines only: a line cut short announced nothing that was done.
    size_t start = 0;
    bool header = false;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      const std::string line = text.substr(start, end - start);
      if (!header) {
        if (line != JournalHeader) {
          reporter.ReportError("Not a journal of menditcon: %s", journalPath.c_str());
          return false;
        }
        header = true;
        continue;
      }
      TEntry entry;
      if (!ParseEntry(line, entry)) {
        reporter.ReportError("Damaged journal of an unfinished run: %s", journalPath.c_str());
        return false;
      }
      entries.push_back(entry);
    }
  }

  bool committed = false;
  int highest = 0;
  for (const TEntry& e : entries) {
    committed |= e.Kind == TEntry::Commit;
    if (e.Kind == TEntry::Saved && e.Number > highest) highest = e.Number;
  }
  bool ok = true;
  for (auto it = entries.rbegin(); it != entries.rend() && !committed; ++it) {
    const TEntry& e = *it;
    const char* path = e.Path.c_str();
    if (e.Kind == TEntry::Absent) {
      if (Present(files, path) && !files.Delete(path)) {
        reporter.ReportError("Cannot delete file: %s", path);
        ok = false;
      }
    } else if (e.Kind == TEntry::Saved) {
      const std::string backup = BackupPath(journalPath, e.Number);
      if (Present(files, backup)) {
        if (SameAsSaved(files, path, backup, e)) continue;  // its copy goes with the others
        if (Present(files, path) && !files.Delete(path)) {
          reporter.ReportError("Cannot delete file: %s", path);
          ok = false;
          continue;
        }
        // The copy keeps its date/time when moved; on another volume it is copied instead.
        if (!files.Move(backup.c_str(), path) &&
            !(CopyFileWithStamp(files, backup, path) && files.Delete(backup.c_str()))) {
          reporter.ReportError("Cannot move file %s to %s", backup.c_str(), path);
          ok = false;
          continue;
        }
      } else if (!Present(files, path)) {
        reporter.ReportError("The saved copy of %s is missing: %s", path, backup.c_str());
        ok = false;
        continue;
      }
      if (e.StampKnown && !files.SetStamp(path, e.Stamp)) {
        reporter.ReportError("Cannot set the date/time of file: %s", path);
        ok = false;
      }
    }
  }
  // Directories last, the deepest (made last) first; one that is not empty stays.
  if (ok && !committed && removeDirectory)
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
      if (it->Kind == TEntry::Dir && files.DirectoryExists(it->Path.c_str())) removeDirectory(it->Path.c_str());
  if (!ok) return false;
  // Every saved copy still there is unused now (one cut short by a kill at most); the
  // journal goes last, so a kill before leaves a restore that only sets date/times again.
  for (int n = 1; n <= highest + 1; ++n) files.Delete(BackupPath(journalPath, n).c_str());
  if (!files.Delete(journalPath.c_str())) {
    reporter.ReportError("Cannot delete file: %s", journalPath.c_str());
    return false;
  }
  return true;
}
