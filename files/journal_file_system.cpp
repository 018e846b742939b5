#include "journal_file_system.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hash/sha256.h"
#include "memory_file_system.h"
#include "paths/path_name.h"
#include "report/patch_reporter.h"

namespace {

const char* const JournalHeader = "MENDIT JOURNAL 2";
const char* const FirstJournalHeader = "MENDIT JOURNAL 1";
constexpr size_t CopyChunk = 256 * 1024;
// A journal larger than this is not one of ours.
constexpr int64_t MaxJournalSize = 64 << 20;
// Names standing where a saved copy would go that are passed over before saving gives up.
constexpr int MaxSkippedCopies = 16;

std::string BackupPath(const std::string& journalPath, int n) { return journalPath + "." + std::to_string(n); }

struct TEntry {
  enum TKind { Saved, Absent, Dir, Commit } Kind;
  int Number = 0;
  bool StampKnown = false;
  TDosStamp Stamp = 0;
  bool ContentKnown = false;  // Size and Digest (version 2)
  int64_t Size = 0;
  TSha256Digest Digest;
  std::string Path;
};

// The size and digest of a file's content, as the journal records it.
struct TContent {
  int64_t Size = 0;
  TSha256Digest Digest;
  bool operator==(const TContent& o) const { return Size == o.Size && Digest == o.Digest; }
};

bool ParseHex(const std::string& text, uint8_t* bytes, size_t count) {
  if (text.size() != count * 2) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (v < 0) return false;
    bytes[i / 2] = static_cast<uint8_t>(i % 2 ? bytes[i / 2] | v : v << 4);
  }
  return true;
}

bool ParseDecimal(const std::string& text, int64_t& value, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// Reads the whole file at path, hashing it. False when it cannot be read.
bool ContentOf(TFileSystem& files, const std::string& path, TContent& content) {
  std::unique_ptr<TInputFile> in = files.OpenRead(path.c_str());
  if (!in) return false;
  std::vector<uint8_t> buffer(CopyChunk);
  TSha256 hasher;
  content.Size = 0;
  for (int64_t got; (got = in->Read(content.Size, buffer.data(), buffer.size())) != 0; content.Size += got) {
    if (got < 0) return false;
    hasher.Update(buffer.data(), static_cast<size_t>(got));
  }
  content.Digest = hasher.Final();
  return !hasher.Failed();
}

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

// Parses one line after the header; version is the journal's (1 or 2).
bool ParseEntry(const std::string& line, int version, TEntry& entry) {
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
  const size_t fields = version == 1 ? 4 : 6;
  if (f.size() != fields || f[0] != "saved" || f.back().empty()) return false;
  int64_t number = 0;
  if (!ParseDecimal(f[1], number, 9)) return false;
  entry.Kind = TEntry::Saved;
  entry.Number = static_cast<int>(number);
  if (f[2] != "-") {
    std::string lower = f[2];
    for (char& c : lower)
      if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    uint8_t stamp[4];
    if (!ParseHex(lower, stamp, sizeof stamp)) return false;
    entry.Stamp = static_cast<TDosStamp>(uint32_t(stamp[0]) << 24 | uint32_t(stamp[1]) << 16 | uint32_t(stamp[2]) << 8 | stamp[3]);
    entry.StampKnown = true;
  }
  if (version == 2) {
    if (!ParseDecimal(f[3], entry.Size, 18) || !ParseHex(f[4], entry.Digest.Bytes.data(), TSha256Digest::Size))
      return false;
    entry.ContentKnown = true;
  }
  entry.Path = f.back();
  return true;
}

// Whether a file exists, open or not.
bool Present(TFileSystem& files, const std::string& path) { return files.FileExists(path.c_str()); }

// A journal's own files must not lie inside the folder it protects.
std::string BesideFolder(const std::string& root, const std::string& tempFolder, const char* suffix) {
  std::string folder = root;
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  if (folder.empty() || folder.back() == ':') {
    std::string drive = folder.empty() ? "CURRENT" : folder.substr(0, folder.size() - 1);
    return tempFolder + suffix + "-" + drive;
  }
  return folder + "." + suffix;
}

// Whether path, once links are followed, lies below the folder whose final path is
// finalFolder, and an existing file there has no other names (hard links).
bool LeadsInside(TFileSystem& files, const std::string& path, const std::string& finalFolder) {
  std::string base = PathKey(finalFolder);
  while (!base.empty() && base.back() == '\\') base.pop_back();
  const std::string key = PathKey(files.FinalPath(path.c_str()));
  return !base.empty() && key.size() > base.size() + 1 && key.compare(0, base.size(), base) == 0 &&
         key[base.size()] == '\\' && (!files.FileExists(path.c_str()) || files.NameCount(path.c_str()) <= 1);
}

// Whether path is itself the file it names: not a link, no other names.
bool PlainName(TFileSystem& files, const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return false;
  std::string folder = files.FinalPath(path.substr(0, slash + 1).c_str());
  if (folder.empty()) return false;
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return PathKey(files.FinalPath(path.c_str())) == PathKey(folder + path.substr(slash + 1)) &&
         files.NameCount(path.c_str()) <= 1;
}

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

std::string JournalPathFor(const std::string& root, const std::string& tempFolder) {
  return BesideFolder(root, tempFolder, "MENDITCON-UNDO");
}

bool InsideFolder(const std::string& path, const std::string& folder) {
  std::string key;
  if (!PathWithinFolder(path, folder, &key) || key.size() < 2) return false;
  size_t start = 1;
  for (;;) {
    const size_t end = std::min(key.find('\\', start), key.size());
    const std::string part = key.substr(start, end - start);
    if (part.empty() || part.find(':') != std::string::npos || part.back() == '.' || part.back() == ' ')
      return false;
    if (end == key.size()) return true;
    start = end + 1;
  }
}

bool CopyFileWithStamp(TFileSystem& files, const std::string& from, const std::string& to, int64_t* bytes) {
  std::unique_ptr<TInputFile> in = files.OpenRead(from.c_str());
  if (!in) return false;
  TDosStamp stamp = 0;
  const bool stampKnown = in->GetStamp(stamp);
  std::unique_ptr<TOutputFile> out = files.CreateNew(to.c_str());
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
  // On the disk before the change it announces.
  return Journal->Flush();
}

bool TJournalFileSystem::Begin() {
  // Another run's journal is never written over: it is that run's only way back.
  if (Journal || Folder.empty() || std::strpbrk(Folder.c_str(), "\t\r\n") || Present(Files, JournalPath)) return false;
  Journal = Files.CreateNew(JournalPath.c_str());
  if (!Journal) return false;
  if (AppendLine(JournalHeader) && AppendLine("folder\t" + Folder)) return true;
  Journal.reset();
  Files.Delete(JournalPath.c_str());  // ours, and announcing nothing
  return false;
}

bool TJournalFileSystem::CommitLine() {
  // From the commit line on, a restore only removes the journal and the saved copies.
  return AppendLine("commit");
}

bool TJournalFileSystem::Discard() {
  Journal.reset();
  // Only the copies this run made: a name it never made is not its to delete.
  for (int n : MadeCopies) Files.Delete(BackupPath(JournalPath, n).c_str());
  return Files.Delete(JournalPath.c_str());
}

bool TJournalFileSystem::Protect(const char* path) {
  // A name with a tab or line end (no Windows file has one; a damaged or hostile record
  // path might) would forge journal lines, and a path outside the folder is none of this
  // run's business: both are refused, so nothing is changed under them.
  if (!Journal || std::strpbrk(path, "\t\r\n") || !InsideFolder(path, Folder)) return false;
  const std::string key = TMemoryFileSystem::Key(path);
  if (ProtectedKeys.count(key)) return true;
  // Existence is asked as such: a file that is there but cannot be opened (held without
  // sharing, no access) is not "absent"; it cannot be saved, so it is not changed.
  if (!Files.FileExists(path)) {
    if (!AppendLine(std::string("absent\t") + path)) return false;
  } else {
    std::unique_ptr<TInputFile> in = Files.OpenRead(path);
    if (!in) return false;
    TDosStamp stamp = 0;
    const bool stampKnown = in->GetStamp(stamp);
    // A name standing at the next number (a copy a killed run made before its line, or
    // anything planted) is passed over, never written or deleted: the next free one is taken.
    int n = Saved;
    std::unique_ptr<TOutputFile> out;
    while (!out && n < Saved + MaxSkippedCopies) out = Files.CreateNew(BackupPath(JournalPath, ++n).c_str());
    if (!out) return false;
    Saved = n;
    MadeCopies.push_back(n);  // from here on the copy is ours to delete
    std::vector<uint8_t> buffer(CopyChunk);
    TSha256 hasher;
    int64_t done = 0;
    for (int64_t got; (got = in->Read(done, buffer.data(), buffer.size())) != 0; done += got)
      if (got < 0 || !out->Write(done, buffer.data(), static_cast<size_t>(got))) return false;
      else hasher.Update(buffer.data(), static_cast<size_t>(got));
    const TSha256Digest digest = hasher.Final();
    if (hasher.Failed() || !out->Flush()) return false;
    savedBytes += done;
    // The name as stored: a run that writes the file under another spelling (the engine's
    // upper case) must not leave it renamed when the file is put back.
    std::string named = Files.StoredName(path);
    if (std::strpbrk(named.c_str(), "\t\r\n")) named = path;
    char stampText[16] = "-";
    if (stampKnown) std::snprintf(stampText, sizeof stampText, "%08lX", static_cast<unsigned long>(stamp));
    if (!AppendLine("saved\t" + std::to_string(n) + "\t" + stampText + "\t" + std::to_string(done) + "\t" +
                    digest.Hex() + "\t" + named))
      return false;
  }
  ProtectedKeys.insert(key);
  return true;
}

std::unique_ptr<TOutputFile> TJournalFileSystem::Create(const char* path) {
  if (!Protect(path)) return nullptr;
  return Files.Create(path);
}

std::unique_ptr<TOutputFile> TJournalFileSystem::CreateNew(const char* path) {
  if (!Protect(path)) return nullptr;
  return Files.CreateNew(path);
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
  if (std::strpbrk(path, "\t\r\n") || !InsideFolder(path, Folder)) return false;
  return AppendLine(std::string("dir\t") + path) && Files.CreateDir(path);
}

bool JournalExists(TFileSystem& files, const std::string& journalPath) { return Present(files, journalPath); }

bool RestoreJournal(TFileSystem& files, const std::string& journalPath, const std::string& folder,
                    TPatchReporter& reporter, const TRemoveDirectory& removeDirectory) {
  if (!Present(files, journalPath)) return true;
  const char* journalName = journalPath.c_str();
  // Whoever could put a journal here must not be able to make the next run delete or replace
  // files: a journal is only followed when its owner is trusted and it stays inside its folder.
  if (!files.TrustedOwner(journalName)) {
    reporter.ReportError("Refused journal: %s is owned by neither you nor the administrators", journalName);
    return false;
  }
  std::vector<TEntry> entries;
  int version = 0;
  std::string spelt = folder;  // the folder as the journal's lines spell it
  {
    std::unique_ptr<TInputFile> in = files.OpenRead(journalName);
    const int64_t size = in ? in->Size() : -1;
    std::string text(size > 0 && size <= MaxJournalSize ? static_cast<size_t>(size) : 0, '\0');
    if (size < 0 || size > MaxJournalSize || (size > 0 && in->Read(0, &text[0], text.size()) != size)) {
      reporter.ReportError("Cannot read the journal of an unfinished run: %s", journalName);
      return false;
    }
    // Whole lines only: a line cut short announced nothing that was done.
    size_t start = 0;
    bool named = false;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      const std::string line = text.substr(start, end - start);
      if (version == 0) {
        version = line == JournalHeader ? 2 : line == FirstJournalHeader ? 1 : -1;
        if (version < 0) {
          reporter.ReportError("Not a journal of menditcon: %s", journalName);
          return false;
        }
        continue;
      }
      if (version == 2 && !named) {
        const std::vector<std::string> f = Fields(line);
        // The folder as the run spelt it; another spelling of the same folder (a short name,
        // a link to it) is the same folder, and the journal's own spelling is kept.
        if (f.size() != 2 || f[0] != "folder" ||
            (PathKey(f[1]) != PathKey(folder) &&
             (files.FinalPath(folder.c_str()).empty() ||
              PathKey(files.FinalPath(f[1].c_str())) != PathKey(files.FinalPath(folder.c_str()))))) {
          reporter.ReportError("Refused journal: %s is not the journal of %s", journalName, folder.c_str());
          return false;
        }
        named = true;
        spelt = f[1];
        continue;
      }
      TEntry entry;
      if (!ParseEntry(line, version, entry)) {
        reporter.ReportError("Damaged journal of an unfinished run: %s", journalName);
        return false;
      }
      if (entry.Kind != TEntry::Commit && !InsideFolder(entry.Path, spelt)) {
        reporter.ReportError("Refused journal: %s names a file outside %s: %s", journalName, folder.c_str(),
                             entry.Path.c_str());
        return false;
      }
      entries.push_back(entry);
    }
  }
  bool committed = false;
  for (const TEntry& e : entries) {
    committed |= e.Kind == TEntry::Commit;
    if (e.Kind != TEntry::Saved) continue;
    const std::string copy = BackupPath(journalPath, e.Number);
    if (!committed && Present(files, copy) && !files.TrustedOwner(copy.c_str())) {
      reporter.ReportError("Refused journal: its copy %s is owned by neither you nor the administrators", copy.c_str());
      return false;
    }
  }

  // Every name the restore deletes, replaces or puts back must lead inside the folder, and
  // every saved copy it moves must be the file its name says: a folder swapped for a link
  // since the run, or a link planted at a copy's name, refuses the journal before anything
  // is changed (putting back through a link would delete or replace a file elsewhere).
  const std::string finalFolder = files.FinalPath(spelt.c_str());
  for (const TEntry& e : entries) {
    if (committed || e.Kind == TEntry::Commit) continue;
    if (!LeadsInside(files, e.Path, finalFolder)) {
      reporter.ReportError("Refused journal: %s leads outside %s through a link: %s", journalName, folder.c_str(),
                           e.Path.c_str());
      return false;
    }
    const std::string copy = BackupPath(journalPath, e.Number);
    if (e.Kind == TEntry::Saved && Present(files, copy) && !PlainName(files, copy)) {
      reporter.ReportError("Refused journal: its copy %s is a link or has other names", copy.c_str());
      return false;
    }
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
      const TContent recorded{e.Size, e.Digest};
      TContent found;
      if (Present(files, backup)) {
        if (e.ContentKnown && !(ContentOf(files, backup, found) && found == recorded)) {
          reporter.ReportError("The saved copy of %s is damaged: %s", path, backup.c_str());
          ok = false;
          continue;
        }
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
      } else if (!e.ContentKnown || !ContentOf(files, path, found) || !(found == recorded)) {
        // Gone, and the file does not hold the saved content: it cannot be put back.
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
  // The copies its lines name, and the one after the highest when a kill came between its
  // making and its line: each only when it is a plain file (no link, no other names) owned by
  // the user or the administrators, as the run left it. A link or a stranger's file standing
  // at such a name is never touched (deleting a link under Wine deletes what it leads to).
  int highest = 0;
  for (const TEntry& e : entries)
    if (e.Kind == TEntry::Saved) highest = std::max(highest, e.Number);
  for (const TEntry& e : entries) {
    if (e.Kind != TEntry::Saved) continue;
    const std::string copy = BackupPath(journalPath, e.Number);
    if (PlainName(files, copy)) files.Delete(copy.c_str());
  }
  const std::string cutShort = BackupPath(journalPath, highest + 1);
  if (Present(files, cutShort) && PlainName(files, cutShort) && files.TrustedOwner(cutShort.c_str()))
    files.Delete(cutShort.c_str());
  if (!files.Delete(journalName)) {
    reporter.ReportError("Cannot delete file: %s", journalName);
    return false;
  }
  return true;
}
