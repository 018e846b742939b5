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
//
// Written content is kept in memory up to a budget; beyond it each further file that grows
// goes whole into a file of a spill store (files only this run makes, outside the application
// folder), so a check of a patch that rebuilds gigabytes needs no more memory than the budget.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "file_system.h"

// Where written content goes when it does not fit the memory budget: new files that nobody
// else writes, each told by a number and read back by it.
class TSpillStore {
 public:
  virtual ~TSpillStore() = default;
  // A new, empty file: its number in id, null when none can be made.
  virtual std::unique_ptr<TOutputFile> NewFile(size_t& id) = 0;
  // File id as written so far; null when it cannot be opened.
  virtual std::unique_ptr<TInputFile> Reader(size_t id) = 0;
};

// Written content a check keeps in memory before it uses its spill store: enough for the rebuilt
// files of most patches, far below what a 32-bit process can hold beside its own buffers.
constexpr int64_t CheckMemoryBudget = int64_t(256) << 20;

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

  // Written content beyond memoryBudget bytes (all files together) goes to store (not owned;
  // it must outlive this object and every file opened through it). Without a store everything
  // stays in memory, and a write that finds no memory fails as a full disk would.
  void SpillTo(TSpillStore* store, int64_t memoryBudget) {
    Spill->Store = store;
    Spill->Budget = memoryBudget;
  }
  // Bytes of written content held in memory now, and files moved to the store so far.
  int64_t BytesInMemory() const { return Spill->InMemory; }
  int SpilledFiles() const { return Spill->Files; }

  // What all written files share: the budget, the store and what is held.
  struct TSpill {
    TSpillStore* Store = nullptr;
    int64_t Budget = INT64_MAX;
    int64_t InMemory = 0;
    int Files = 0;
  };
  // Written content: in memory, or in the spill store once the memory budget was reached.
  struct TWritten;

 private:
  // A file as the recorded changes leave it.
  struct TState {
    bool Present = false;
    std::shared_ptr<TWritten> Data;              // written content; null: read DiskPath
    std::string DiskPath;                        // the disk file holding the content
    bool StampKnown = false;
    TDosStamp Stamp = 0;
  };

  TState StateOf(const std::string& key, const char* path);
  bool ParentExists(const std::string& key);

  TFileSystem& Disk;
  std::shared_ptr<TSpill> Spill = std::make_shared<TSpill>();
  std::map<std::string, TState> Files;  // by TMemoryFileSystem::Key
  std::set<std::string> Directories;    // made here, by key
  std::vector<TChange> changes;
};
