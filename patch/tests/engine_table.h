#pragma once
// The engine's cases as one table, run through TPatchFile::Run against any folder a file
// system reaches: files in memory natively (patch_file_test.cpp), the disk under Wine
// (win32_patch_test.cpp). A case puts files in the folder that "&ROOT&" names, injects
// faults, writes the records; the run's rows are compared whole, then the case looks at
// what the run left.

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "files/file_system.h"
#include "patch/patch_file.h"
#include "patch/patch_writer.h"
#include "paths/macros.h"
#include "tests/support/test_reporters.h"

using TLines = std::vector<std::string>;

// The folder a case runs in, and the file system that reaches it.
class TEngineWorld {
 public:
  virtual ~TEngineWorld() = default;
  // Without a closing backslash.
  virtual std::string Root() = 0;
  virtual TFileSystem& Files() = 0;
  // Every file below the root by its path from the root, as spelled there; sorted.
  virtual TLines Listing() = 0;
};

// Faults injected into a world's file system, each for one path (any case): the failures a
// real disk does not produce on demand.
class TFaultyFiles : public TFileSystem {
 public:
  using TPaths = std::set<std::string>;
  explicit TFaultyFiles(TFileSystem& inner) : inner(inner) {}

  TPaths FailCreate;     // Create and CreateNew fail
  TPaths FailMove;       // Move or Replace from this path fails
  TPaths FailReads;      // reads of an open file fail
  TPaths FailWrites;     // writes to an open file fail
  TPaths FailStamp;      // GetStamp of an open file fails
  TPaths FailCreateDir;  // CreateDir fails
  int64_t MaxFileSize = INT64_MAX;  // writes past this size fail, in every file

  std::unique_ptr<TInputFile> OpenRead(const char* path) override;
  std::unique_ptr<TOutputFile> Create(const char* path) override;
  std::unique_ptr<TOutputFile> CreateNew(const char* path) override;
  bool Move(const char* from, const char* to) override;
  bool Replace(const char* from, const char* to) override;
  bool Delete(const char* path) override { return inner.Delete(path); }
  bool CreateDir(const char* path) override;
  bool DirectoryExists(const char* path) override { return inner.DirectoryExists(path); }
  bool FileExists(const char* path) override { return inner.FileExists(path); }
  bool ReadOnly(const char* path) override { return inner.ReadOnly(path); }
  bool MakeReadOnly(const char* path, bool readOnly) override { return inner.MakeReadOnly(path, readOnly); }
  bool SetStamp(const char* path, TDosStamp stamp) override { return inner.SetStamp(path, stamp); }
  bool TrustedOwner(const char* path) override { return inner.TrustedOwner(path); }
  std::string FinalPath(const char* path) override { return inner.FinalPath(path); }
  int NameCount(const char* path) override { return inner.NameCount(path); }

 private:
  static bool Has(const TPaths& paths, const char* path);
  std::unique_ptr<TOutputFile> Faulty(std::unique_ptr<TOutputFile> file, const char* path);
  TFileSystem& inner;
};

// One case's folder, faults and records before the run, and what the run reported.
class TEngineScene : public TPatchFile::TRecordObserver {
 public:
  explicit TEngineScene(TEngineWorld& world);

  TEngineWorld& World;
  TFaultyFiles Files;
  TMacroExpander Macros;  // "&ROOT&" names the world's root
  TPatchWriter Records;
  int64_t Keep = -1;      // when not negative: the data file is cut to this many bytes

  // The run's reports, each record's outcome and path, and the calls of the message hook.
  TRecordingReporter Reporter;
  std::vector<TRecordOutcome> Outcomes;
  TLines Paths;
  int HookCalls = 0;
  int64_t DataSize = 0;

  // name: a path below the root.
  std::string At(const std::string& name) const;
  void Put(const std::string& name, const std::vector<uint8_t>& bytes, TDosStamp stamp, bool readOnly = false);
  void Folder(const std::string& name);
  void Fault(TFaultyFiles::TPaths TFaultyFiles::*faults, const std::string& name);

  bool Exists(const std::string& name);
  // The file's bytes; "<missing>" when it cannot be opened.
  std::vector<uint8_t> Contents(const std::string& name);
  TDosStamp Stamp(const std::string& name);  // 0 when it cannot be read
  bool IsReadOnly(const std::string& name);

  void BeforeRecord(TPatchFile&, int) override {}
  void AfterRecord(TPatchFile&, int, TRecordOutcome outcome, const std::string& path) override;
};

struct TEngineCase {
  const char* Name;
  void (*Arrange)(TEngineScene& scene);
  TLines Rows;  // every row after "INFO Reading patch directory..."
  void (*Check)(TEngineScene& scene);  // null: the rows say it all
};

const std::vector<TEngineCase>& EngineCases();

// Runs every case of the table, each in a world of its own.
template <class TMakeWorld>
void RunEngineTable(TMakeWorld makeWorld);

// Runs one case in world.
void RunEngineCase(TEngineWorld& world, const TEngineCase& c);

template <class TMakeWorld>
void RunEngineTable(TMakeWorld makeWorld) {
  for (const TEngineCase& c : EngineCases()) {
    std::unique_ptr<TEngineWorld> world = makeWorld();
    RunEngineCase(*world, c);
  }
}
