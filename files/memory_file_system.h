#pragma once
// TMemoryFileSystem: files and directories held in memory. The recording and journal file
// systems use its name rule (Key) and files; tests and fuzz targets use it as a disk.
//
// Behaves as the Win32 layer does where the engine can tell: names compare without regard
// to case ('/' counts as '\'), a file keeps the spelling it was created with, a drive
// ("C:") and the current directory ("") always exist, a file or directory can only be
// made inside an existing directory, read-only files cannot be deleted or overwritten,
// a move never replaces an existing file. Open files keep their contents when the name is
// moved away. Faults can be injected per path.

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "file_system.h"

class TMemoryFileSystem : public TFileSystem {
 public:
  struct TFile {
    std::string Name;  // spelling as created
    std::shared_ptr<std::vector<uint8_t>> Data;
    TDosStamp Stamp = 0;
    bool ReadOnly = false;
  };

  // Stamp given to files when they are created or written.
  TDosStamp Now = MakeDosStamp(2000, 1, 1, 0, 0, 0);

  void AddFile(const std::string& path, const std::vector<uint8_t>& data, TDosStamp stamp);
  void AddDirectory(const std::string& path);
  void SetReadOnly(const std::string& path, bool readOnly);

  bool Exists(const std::string& path) const;
  std::vector<uint8_t> Contents(const std::string& path) const;
  TDosStamp StampOf(const std::string& path) const;
  std::string NameOf(const std::string& path) const;  // the stored spelling, or ""
  // All file names (stored spelling), sorted; and all directory names.
  std::vector<std::string> FileNames() const;
  std::vector<std::string> DirectoryNames() const;

  // Faults, each for one path (compared without regard to case).
  std::set<std::string> FailOpen;      // OpenRead fails
  std::set<std::string> FailCreate;    // Create fails
  std::set<std::string> FailMove;      // Move or Replace from this path fails
  std::set<std::string> FailReads;     // reads of an open file fail
  std::set<std::string> FailWrites;    // writes to an open file fail
  std::set<std::string> FailStamp;     // GetStamp of an open file fails
  std::set<std::string> FailSetStamp;  // SetStamp fails
  std::set<std::string> FailCreateDir; // CreateDir fails
  std::set<std::string> Untrusted;     // TrustedOwner is false: a stranger owns the file

  // Links, as an attacker plants them: a name (of a file or a folder) that leads elsewhere,
  // followed by every call as a Unix link in a Wine drive is (a delete or a move acts on what
  // it leads to). Keyed by the link's path, as spelt: where it leads.
  std::map<std::string, std::string> Links;
  // Files that have another name too (hard links): NameCount says 2.
  std::set<std::string> OtherNames;

  // Writes that would make a file longer than this fail (keeps fuzzed deltas in memory).
  int64_t MaxFileSize = INT64_MAX;

  // Counts of calls, so tests can see that nothing was attempted.
  int Reads = 0;
  int Writes = 0;

  std::unique_ptr<TInputFile> OpenRead(const char* path) override;
  std::unique_ptr<TOutputFile> Create(const char* path) override;
  bool Move(const char* from, const char* to) override;
  bool Replace(const char* from, const char* to) override;
  bool Delete(const char* path) override;
  bool CreateDir(const char* path) override;
  bool DirectoryExists(const char* path) override;
  // Existence as such: a file that fails to open (FailOpen) is there all the same.
  bool FileExists(const char* path) override { return Exists(Follow(path)); }
  std::string FinalPath(const char* path) override { return Follow(path); }
  int NameCount(const char* path) override;
  bool SetStamp(const char* path, TDosStamp stamp) override;
  bool ReadOnly(const char* path) override;
  bool MakeReadOnly(const char* path, bool readOnly) override;
  bool TrustedOwner(const char* path) override { return Exists(Follow(path)) && !Fails(Untrusted, Key(path)); }
  std::string StoredName(const char* path) override;

  // Flushes of output files (each one sends a file's writes to the disk).
  int Flushes = 0;
  // Flushes and renames that worked, in call order, by Key: "flush P", "move FROM TO",
  // "replace FROM TO" (what must reach the disk before what).
  std::vector<std::string> Steps;

  static std::string Key(const std::string& path);

 private:
  // path with every link it passes through replaced by where the link leads.
  std::string Follow(const std::string& path) const;
  bool ParentExists(const std::string& key) const;
  bool Fails(const std::set<std::string>& faults, const std::string& key) const;

  std::map<std::string, TFile> files;           // by Key
  std::map<std::string, std::string> directories;  // Key -> spelling
};

// A TInputFile over a buffer the caller keeps alive (the patch data file in tests, the
// fuzzer's input).
class TMemoryInputFile : public TInputFile {
 public:
  TMemoryInputFile(const uint8_t* data, size_t size) : data(data), size(size) {}
  explicit TMemoryInputFile(const std::vector<uint8_t>& bytes)
      : data(bytes.data()), size(bytes.size()) {}
  int64_t Read(int64_t offset, void* buffer, size_t count) override;
  int64_t Size() override { return static_cast<int64_t>(size); }
  bool GetStamp(TDosStamp&) override { return false; }

 private:
  const uint8_t* data;
  size_t size;
};
