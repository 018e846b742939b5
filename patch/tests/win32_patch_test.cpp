// The installer on real files under Windows (run with TZ=UTC: Wine converts file times
// with the current daylight-saving offset): the engine's table (engine_table.cpp) over the
// disk, each case in a fresh folder under the temporary folder, and the cases only the disk
// can express: attributes other than read-only, and runs ended by ending their process.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "delta/memory_blocks.h"
#include "engine_table.h"
#include "files/disk_file_system.h"
#include "files/memory_file_system.h"
#include "installer_test_data.h"
#include "patch/patch_file.h"
#include "patch/patch_writer.h"
#include "paths/macros.h"
#include "tests/support/test_folders.h"
#include "tests/support/test_reporters.h"

namespace {

// A scratch folder on the disk.
class TDiskWorld : public TEngineWorld {
 public:
  TDiskWorld() : folder("patch_test") {}
  std::string Root() override { return folder.Path(); }
  TFileSystem& Files() override { return disk; }
  TLines Listing() override {
    TLines names;
    List("", names);
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  // Adds the files below the folder at relative (empty, or ending in a backslash).
  void List(const std::string& relative, TLines& names) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder / (relative + "*")).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        List(relative + name + "\\", names);
      else
        names.push_back(relative + name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  TScratchFolder folder;
  TDiskFileSystem disk;
};

TEST(DiskInstaller, EngineTableOverTheDisk) {
  RunEngineTable([] { return std::make_unique<TDiskWorld>(); });
}

// A copy over a file keeps its hidden attribute (read-only refuses the copy: the table).
TEST(DiskInstaller, CopyOverAHiddenFileKeepsItHidden) {
  TDiskWorld world;
  TEngineScene scene(world);
  scene.Put("Old.txt", Bytes("the user's file"), newStamp);
  ASSERT_TRUE(SetFileAttributesA(scene.At("Old.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
  TPatchWriter writer;
  writer.AddCopy("&ROOT&\\Old.txt", oldStamp, Counting(70000));
  const std::vector<uint8_t> data = writer.Bytes();
  TMemoryInputFile file(data);
  TPatchFile(&file, &scene.Macros, &scene.Reporter, &world.Files()).Run();
  EXPECT_EQ((TLines{reading, "INFO Applying copy patch (Old.txt)"}), scene.Reporter.Lines);
  EXPECT_EQ(Counting(70000), scene.Contents("OLD.TXT"));
  EXPECT_EQ(TLines{"Old.txt"}, world.Listing());
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN),
            GetFileAttributesA(scene.At("OLD.TXT").c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
}

// The folder and file helpers of the test below.
class Win32Installer : public ::testing::Test {
 protected:
  void SetUp() override { macros.AddMacro(new TMacroDef("&ROOT&", root.Path())); }

  std::string At(const std::string& name) const { return root / name; }

  void Put(const std::string& name, const std::vector<uint8_t>& bytes, TDosStamp stamp) {
    std::unique_ptr<TOutputFile> out = files.Create(At(name).c_str());
    ASSERT_TRUE(out != nullptr);
    ASSERT_TRUE(bytes.empty() || out->Write(0, bytes.data(), bytes.size()));
    out.reset();
    ASSERT_TRUE(files.SetStamp(At(name).c_str(), stamp));
  }

  std::vector<uint8_t> Contents(const std::string& name) {
    std::unique_ptr<TInputFile> in = files.OpenRead(At(name).c_str());
    if (!in) return Bytes("<missing>");
    std::vector<uint8_t> bytes(static_cast<size_t>(in->Size()));
    if (!bytes.empty()) in->Read(0, bytes.data(), bytes.size());
    return bytes;
  }

  TDosStamp StampOnDisk(const std::string& name) {
    std::unique_ptr<TInputFile> in = files.OpenRead(At(name).c_str());
    TDosStamp stamp = 0;
    if (in) in->GetStamp(stamp);
    return stamp;
  }
  bool Exists(const std::string& name) { return GetFileAttributesA(At(name).c_str()) != INVALID_FILE_ATTRIBUTES; }

  TScratchFolder root{"patch_test"};
  TDiskFileSystem files;
  TMacroExpander macros;
  TPatchWriter writer;
};

// A run ended at any moment (the user ends a program that stopped answering) is finished
// by the next run: a helper process applies a patch and is ended with TerminateProcess at
// moments spread over its run, then the patch is applied again in this process.
TEST_F(Win32Installer, RunsEndedAtAnyMomentAreFinishedByTheNextRun) {
  struct TFile {
    const char* name;
    std::vector<uint8_t> old, delta, now;
  };
  // BIG.DAT and BIG.DLL share the backup BIG.$$$; every 16th block of the new versions is
  // new, the others are the old blocks with an edit.
  TFile release[] = {{"BIG.DAT", Counting(3 << 20, 1), {}, {}}, {"BIG.DLL", Counting(1 << 20, 2), {}, {}}};
  for (TFile& f : release) {
    TDeltaWriter delta;
    const std::vector<uint8_t> fresh = Counting(256, 3);
    for (int32_t at = 0; at < static_cast<int32_t>(f.old.size()); at += 256) {
      if (at / 256 % 16 == 0)
        delta.LiteralBlock(at, fresh.data(), fresh.size());
      else
        delta.CopyBlock(at, at, {{7, Bytes("edit")}});
    }
    f.delta = delta.Bytes();
    TMemoryBlockSource source(f.old.data(), f.old.size());
    TMemoryBlockTarget target;
    ASSERT_EQ(TDeltaStatus::Applied, ApplyDelta(f.delta.data(), f.delta.size(), source, target, nullptr).Status);
    f.now = target.Bytes;
  }
  const std::vector<uint8_t> added = Counting(1 << 20, 4);
  writer.AddCopy("&ROOT&\\NEW.DAT", newStamp, added);
  for (const TFile& f : release) writer.AddModify(std::string("&ROOT&\\") + f.name, oldStamp, newStamp, f.delta);
  writer.AddDelete("&ROOT&\\OLD.DAT", oldStamp);
  {
    std::unique_ptr<TOutputFile> out = files.Create(At("PATCH.DAT").c_str());
    ASSERT_TRUE(out && out->Write(0, writer.Bytes().data(), writer.Bytes().size()));
  }
  char self[MAX_PATH];
  ASSERT_NE(0u, GetModuleFileNameA(nullptr, self, sizeof self));
  std::string helper = self;
  helper = helper.substr(0, helper.find_last_of('\\') + 1) + "patch_run_helper.exe";

  // Runs the helper on folder APPn; ends it delay ms after the run has begun (the copy
  // record has created NEW.DAT), or lets it finish when delay is negative. Returns the
  // milliseconds from that start to its end, -1 when the helper cannot be started.
  auto runHelper = [&](const std::string& folder, int delay) -> int {
    if (!CreateDirectoryA(At(folder).c_str(), nullptr)) return -1;
    for (const TFile& f : release) Put(folder + "\\" + f.name, f.old, oldStamp);
    Put(folder + "\\OLD.DAT", {1}, oldStamp);
    std::string command = "\"" + helper + "\" \"" + At("PATCH.DAT") + "\" \"" + At(folder) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return -1;
    while (!Exists(folder + "\\NEW.DAT") && WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT) {
    }
    const DWORD began = GetTickCount();
    if (delay >= 0 && WaitForSingleObject(process.hProcess, static_cast<DWORD>(delay)) == WAIT_TIMEOUT)
      TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
    const DWORD took = GetTickCount() - began;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(took);
  };

  const int whole = runHelper("APP0", -1);
  ASSERT_GT(whole, 0);
  const int Moments = 12;
  int recovered = 0, missing = 0, unfinished = 0;
  for (int k = 0; k <= Moments; ++k) {
    SCOPED_TRACE(k);
    const std::string folder = "APP" + std::to_string(k + 1);
    ASSERT_LE(0, runHelper(folder, whole * k / Moments));
    // Ended between the renames of a modify patch: the file is missing for now.
    missing += !Exists(folder + "\\BIG.DAT") || !Exists(folder + "\\BIG.DLL");
    TMacroExpander again;
    again.AddMacro(new TMacroDef("&ROOT&", At(folder)));
    const std::vector<uint8_t> data = writer.Bytes();
    TMemoryInputFile file(data);
    TRecordingReporter reporter;
    TPatchFile installer(&file, &again, &reporter, &files);
    installer.Run();
    for (const std::string& line : reporter.Lines) {
      // Files done before the end carry the new stamp and are skipped with a warning; a file
      // deleted before the end is reported missing.
      const bool interrupted = line.find("interrupted run") != std::string::npos;
      EXPECT_TRUE(line.rfind("INFO", 0) == 0 || interrupted || line.find("improper") != std::string::npos ||
                  line == "ERROR Cannot open source file: OLD.DAT")
          << line;
      recovered += interrupted;
      unfinished += line.rfind("INFO Applying modify", 0) == 0;
    }
    for (const TFile& f : release) {
      EXPECT_EQ(f.now, Contents(folder + "\\" + f.name)) << f.name;
      EXPECT_EQ(newStamp, StampOnDisk(folder + "\\" + f.name)) << f.name;
    }
    EXPECT_EQ(added, Contents(folder + "\\NEW.DAT"));
    EXPECT_FALSE(Exists(folder + "\\OLD.DAT"));
  }
  std::printf("run of %d ms ended at %d moments: %d modify records left to the next run, %d files put back "
              "and finished (%d missing)\n",
              whole, Moments + 1, unfinished, recovered, missing);
  EXPECT_GT(unfinished, 0);
}

}  // namespace
