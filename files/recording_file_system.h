#pragma once
// TRecordingFileSystem: a file system that reads through to another one (the disk) and keeps
// every change in memory instead of making it. Written files, moves, deletions, date/times
// and new directories are recorded; later calls see them exactly as they would see the disk
// after a real run (a file written, then moved, then read back), while the disk itself is
// only ever opened for reading.
//
// It follows the rules of TMemoryFileSystem where the engine can tell: names compare without
// regard to case ('/' counts as '\'), a file or directory can only be made inside an existing
// directory, a move never replaces an existing file, a file cannot be created over a
// directory. What it cannot see through TFileSystem it does not predict: a read-only or busy
// file on the disk counts as writable and deletable, and a full disk is not foreseen.
//
// Used to run the patch engine itself in check mode, so that the check validates every delta
// and copy length as a run will and follows the records in order.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "file_system.h"

class TRecordingFileSystem : public TFileSystem {
 public:
  // One recorded change, in the order made.
  struct TChange {
    enum TKind { Create, Move, Replace, Delete, Stamp, MakeDir } Kind;
    std::string Path;
    std::string To;  // Move only
  };

  // disk is not owned and must outlive this object; it is only read.
  explicit TRecordingFileSystem(TFileSystem& disk) : Disk(disk) {}

  std::unique_ptr<TInputFile> OpenRead(const char* path) override;
  std::unique_ptr<TOutputFile> Create(const char* path) override;
  bool Move(const char* from, const char* to) override;
  bool Replace(const char* from, const char* to) override;
  bool Delete(const char* path) override;
  bool CreateDir(const char* path) override;
  bool DirectoryExists(const char* path) override;
  bool SetStamp(const char* path, TDosStamp stamp) override;
  // Where names lead is the disk's answer: the recorded changes make no links.
  std::string FinalPath(const char* path) override { return Disk.FinalPath(path); }
  int NameCount(const char* path) override;

  const std::vector<TChange>& Changes() const { return changes; }

  // Writes that would make a recorded file longer than this fail, as a full disk would
  // answer (tests match it to TMemoryFileSystem::MaxFileSize).
  int64_t MaxFileSize = INT64_MAX;

 private:
  // A file as the recorded changes leave it.
  struct TState {
    bool Present = false;
    std::shared_ptr<std::vector<uint8_t>> Data;  // written content; null: read DiskPath
    std::string DiskPath;                        // the disk file holding the content
    bool StampKnown = false;
    TDosStamp Stamp = 0;
  };

  TState StateOf(const std::string& key, const char* path);
  bool ParentExists(const std::string& key);

  TFileSystem& Disk;
  std::map<std::string, TState> Files;  // by TMemoryFileSystem::Key
  std::set<std::string> Directories;    // made here, by key
  std::vector<TChange> changes;
};
