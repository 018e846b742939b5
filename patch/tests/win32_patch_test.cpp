// The installer on real files under Windows (run with TZ=UTC: Wine converts file times
// with the current daylight-saving offset). Every test works in a fresh directory under
// the temporary directory, reached through the macro &ROOT&.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "delta/memory_blocks.h"
#include "patch/patch_file.h"
#include "patch/patch_writer.h"
#include "files/memory_file_system.h"
#include "files/disk_file_system.h"
#include "paths/macros.h"
#include "installer_test_data.h"
#include "tests/support/test_reporters.h"
#include "tests/support/test_folders.h"

namespace {

using TLines = std::vector<std::string>;

// Faults injected into the real file system, to reach the failures that a real disk does
// not produce on demand (an unreadable backup, a refused create, read and write errors).
class TFaultyFileSystem : public TDiskFileSystem {
 public:
  std::string FailOpen, FailCreate, FailReads, FailWrites, FailMove;  // upper-case full paths

  bool Move(const char* from, const char* to) override {
    return from != FailMove && TDiskFileSystem::Move(from, to);
  }

  std::unique_ptr<TInputFile> OpenRead(const char* path) override {
    if (path == FailOpen) return nullptr;
    std::unique_ptr<TInputFile> file = TDiskFileSystem::OpenRead(path);
    if (file && path == FailReads) return std::make_unique<TBrokenInput>(std::move(file));
    return file;
  }
  std::unique_ptr<TOutputFile> Create(const char* path) override {
    if (path == FailCreate) return nullptr;
    std::unique_ptr<TOutputFile> file = TDiskFileSystem::Create(path);
    if (file && path == FailWrites) return std::make_unique<TBrokenOutput>(std::move(file));
    return file;
  }

 private:
  struct TBrokenInput : TInputFile {
    explicit TBrokenInput(std::unique_ptr<TInputFile> inner) : inner(std::move(inner)) {}
    int64_t Read(int64_t, void*, size_t) override { return -1; }
    int64_t Size() override { return inner->Size(); }
    bool GetStamp(TDosStamp& stamp) override { return inner->GetStamp(stamp); }
    std::unique_ptr<TInputFile> inner;
  };
  struct TBrokenOutput : TOutputFile {
    explicit TBrokenOutput(std::unique_ptr<TOutputFile> inner) : inner(std::move(inner)) {}
    bool Write(int64_t, const void*, size_t) override { return false; }
    std::unique_ptr<TOutputFile> inner;
  };
};

class Win32Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(sizeof temp, temp));
    static int serial = 0;
    root = std::string(temp) + "patch_test_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(++serial);
    RemoveFolderTree(root);
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
    macros.AddMacro(new TMacroDef("&ROOT&", root));
  }
  void TearDown() override { RemoveFolderTree(root); }

  std::string At(const std::string& name) const { return root + "\\" + name; }

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

  // Last-write time and spelling as the directory listing shows them.
  TDosStamp StampOnDisk(const std::string& name) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(At(name).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    FindClose(find);
    FILETIME local;
    WORD date = 0, time = 0;
    FileTimeToLocalFileTime(&found.ftLastWriteTime, &local);
    FileTimeToDosDateTime(&local, &date, &time);
    return DosStamp(date, time);
  }
  std::string NameOnDisk(const std::string& name) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(At(name).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return "<missing>";
    FindClose(find);
    return found.cFileName;
  }
  bool Exists(const std::string& name) {
    return GetFileAttributesA(At(name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  TLines Run() {
    const std::vector<uint8_t> data = writer.Bytes();
    TMemoryInputFile file(data);
    TRecordingReporter reporter;
    TPatchFile installer(&file, &macros, &reporter, &files);
    installer.Run();
    return reporter.Lines;
  }

  static std::vector<uint8_t> MainDelta() {
    TDeltaWriter delta;
    const std::vector<uint8_t> text = Bytes("new text");
    delta.CopyBlock(256, 256);
    delta.CopyBlock(0, 3, {{0, Bytes("AB")}, {10, Bytes("C")}, {5, {}}});
    delta.LiteralBlock(512, text.data(), text.size());
    delta.CopyBlock(520, 900);
    delta.LiteralBlock(776, Counting(256, 9).data(), 256);
    return delta.Bytes();
  }
  static std::vector<uint8_t> MainRebuilt(int seed = 0) {
    const std::vector<uint8_t> old = Counting(1000, seed);
    const std::vector<uint8_t> tail = Counting(256, 9);
    const std::string text = "new text";
    std::vector<uint8_t> want(776 + 256, 0);
    for (size_t i = 0; i < 256; ++i) want[i] = old[3 + i];
    want[0] = 'A';
    want[1] = 'B';
    want[10] = 'C';
    for (size_t i = 256; i < 512; ++i) want[i] = old[i];
    for (size_t i = 0; i < text.size(); ++i) want[512 + i] = static_cast<uint8_t>(text[i]);
    for (size_t i = 0; i < 100; ++i) want[520 + i] = old[900 + i];  // then zeros: past the end
    for (size_t i = 0; i < 256; ++i) want[776 + i] = tail[i];
    return want;
  }

  std::string root;
  TFaultyFileSystem files;
  TMacroExpander macros;
  TPatchWriter writer;
};

TEST_F(Win32Installer, CopyRecords) {
  Put("Old.txt", Bytes("a longer previous content"), newStamp);
  writer.AddCopy("&ROOT&\\data\\New\\File.dat", oldStamp, Counting(70000));
  writer.AddCopy("&ROOT&\\Empty.txt", newStamp, {});
  writer.AddCopy("&ROOT&\\Old.txt", oldStamp, Bytes("short"));
  EXPECT_EQ((TLines{reading, "INFO Applying copy patch (File.dat)", "INFO Applying copy patch (Empty.txt)",
                    "INFO Applying copy patch (Old.txt)"}),
            Run());
  EXPECT_EQ(Counting(70000), Contents("DATA\\NEW\\FILE.DAT"));
  EXPECT_EQ("FILE.DAT", NameOnDisk("DATA\\NEW\\FILE.DAT"));
  EXPECT_EQ("NEW", NameOnDisk("DATA\\NEW"));
  EXPECT_EQ(oldStamp, StampOnDisk("DATA\\NEW\\FILE.DAT"));
  EXPECT_EQ(std::vector<uint8_t>(), Contents("EMPTY.TXT"));
  EXPECT_EQ(newStamp, StampOnDisk("EMPTY.TXT"));
  EXPECT_EQ(Bytes("short"), Contents("OLD.TXT"));
  EXPECT_EQ(oldStamp, StampOnDisk("OLD.TXT"));
  EXPECT_FALSE(Exists("OLD.$$$"));
}

TEST_F(Win32Installer, CopyCreatesDirectoriesOfAnyDepthThatFit) {
  // Three levels of 60 characters below the test folder: a directory part of some 220.
  const std::string dir = std::string(60, 'A') + "\\" + std::string(60, 'B') + "\\" + std::string(60, 'C');
  writer.AddCopy("&ROOT&\\" + dir + "\\F.TXT", oldStamp, Bytes("deep"));
  EXPECT_EQ((TLines{reading, "INFO Applying copy patch (F.TXT)"}), Run());
  EXPECT_EQ(Bytes("deep"), Contents(dir + "\\F.TXT"));
}

TEST_F(Win32Installer, CopyOverAnExistingFileKeepsItUntilTheNewOneIsComplete) {
  // Write failures are covered over the in-memory file system.
  struct TCase {
    const char* name;
    DWORD attributes;
    std::string error;  // empty: the copy succeeds
  };
  const TCase cases[] = {
      {"replaced_keeps_spelling_and_attributes", FILE_ATTRIBUTE_HIDDEN, ""},
      {"read_only", FILE_ATTRIBUTE_READONLY, "ERROR Cannot open destination file: Old.txt"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetFileAttributesA(At("Old.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    Put("Old.txt", Bytes("the user's file"), newStamp);
    ASSERT_TRUE(SetFileAttributesA(At("Old.txt").c_str(), c.attributes));
    writer = TPatchWriter();
    writer.AddCopy("&ROOT&\\Old.txt", oldStamp, Counting(70000));
    TLines want = {reading, "INFO Applying copy patch (Old.txt)"};
    if (!c.error.empty()) want.push_back(c.error);
    EXPECT_EQ(want, Run());
    EXPECT_EQ(c.error.empty() ? Counting(70000) : Bytes("the user's file"), Contents("OLD.TXT"));
    EXPECT_EQ(c.error.empty() ? oldStamp : newStamp, StampOnDisk("OLD.TXT"));
    EXPECT_EQ("Old.txt", NameOnDisk("OLD.TXT"));
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
    EXPECT_EQ(c.attributes & kept, GetFileAttributesA(At("OLD.TXT").c_str()) & kept);
    EXPECT_FALSE(Exists("OLD.$$C"));
  }
}

TEST_F(Win32Installer, CopyCutShortLeavesNoFile) {
  writer.AddCopy("&ROOT&\\CUT.DAT", oldStamp, Counting(5000));
  std::vector<uint8_t> data = writer.Bytes();
  data.resize(data.size() - 1);
  TMemoryInputFile file(data);
  TRecordingReporter reporter;
  TPatchFile installer(&file, &macros, &reporter, &files);
  installer.Run();
  EXPECT_EQ((TLines{reading, "INFO Applying copy patch (CUT.DAT)", "ERROR Cannot read patch data for file: CUT.DAT"}),
            reporter.Lines);
  EXPECT_FALSE(Exists("CUT.DAT"));
}

TEST_F(Win32Installer, DeleteRecords) {
  Put("EXACT.DLL", {1}, oldStamp);
  Put("OTHER.DLL", {2}, newStamp);
  Put("TWOSEC.DLL", {3}, oldStamp + 1);  // two seconds later
  Put("LOCKED.DLL", {4}, oldStamp);
  ASSERT_TRUE(SetFileAttributesA(At("LOCKED.DLL").c_str(), FILE_ATTRIBUTE_READONLY));
  for (const char* name : {"EXACT.DLL", "OTHER.DLL", "TWOSEC.DLL", "MISSING.DLL", "LOCKED.DLL"})
    writer.AddDelete(std::string("&ROOT&\\") + name, oldStamp);
  EXPECT_EQ((TLines{reading, "INFO Applying delete patch (EXACT.DLL)",
                    "WARNING File: OTHER.DLL has improper date/time stamp - skipping...",
                    "WARNING File: TWOSEC.DLL has improper date/time stamp - skipping...",
                    "ERROR Cannot open source file: MISSING.DLL", "INFO Applying delete patch (LOCKED.DLL)",
                    "ERROR Cannot delete file: LOCKED.DLL"}),
            Run());
  EXPECT_FALSE(Exists("EXACT.DLL"));
  EXPECT_TRUE(Exists("OTHER.DLL"));
  EXPECT_TRUE(Exists("TWOSEC.DLL"));
  EXPECT_TRUE(Exists("LOCKED.DLL"));
}

TEST_F(Win32Installer, ModifyRecords) {
  Put("Main.exe", Counting(1000), oldStamp);
  Put("MAIN.DLL", Counting(1000, 5), oldStamp);
  Put("README", Counting(1000, 7), oldStamp);
  Put("TWOSEC.EXE", Counting(1000), oldStamp + 1);
  writer.AddModify("&ROOT&\\Main.exe", oldStamp, newStamp, MainDelta());
  writer.AddModify("&ROOT&\\MAIN.DLL", oldStamp, newStamp, MainDelta());
  writer.AddModify("&ROOT&\\README", oldStamp, newStamp, MainDelta());
  writer.AddModify("&ROOT&\\TWOSEC.EXE", oldStamp, newStamp, MainDelta());
  EXPECT_EQ((TLines{reading, "INFO Applying modify patch (Main.exe)", "INFO Applying modify patch (MAIN.DLL)",
                    "INFO Applying modify patch (README.)",
                    "WARNING File: TWOSEC.EXE has improper date/time stamp - skipping..."}),
            Run());
  EXPECT_EQ(MainRebuilt(), Contents("MAIN.EXE"));
  EXPECT_EQ("MAIN.EXE", NameOnDisk("MAIN.EXE"));
  EXPECT_EQ(newStamp, StampOnDisk("MAIN.EXE"));
  EXPECT_EQ(MainRebuilt(5), Contents("MAIN.DLL"));
  EXPECT_EQ(newStamp, StampOnDisk("MAIN.DLL"));
  // MAIN.EXE and MAIN.DLL share the backup name: it holds the previous MAIN.DLL.
  EXPECT_EQ(Counting(1000, 5), Contents("MAIN.$$$"));
  EXPECT_EQ(oldStamp, StampOnDisk("MAIN.$$$"));
  EXPECT_EQ(Counting(1000, 7), Contents("README.$$$"));
  EXPECT_EQ(MainRebuilt(7), Contents("README"));
  EXPECT_EQ(Counting(1000), Contents("TWOSEC.EXE"));
  EXPECT_FALSE(Exists("TWOSEC.$$$"));
}

TEST_F(Win32Installer, CopyThenModifyAndUnknownTypes) {
  writer.AddCopy("&ROOT&\\TOOL.EXE", oldStamp, Counting(1000));
  writer.AddRecord(MakePatchInfo("&ROOT&\\TOOL.EXE", 3, 0), {});
  writer.AddRecord(MakePatchInfo("&ROOT&\\TOOL.EXE", 0x402 + 0x1000, oldStamp), {});
  writer.AddModify("&ROOT&\\TOOL.EXE", oldStamp, newStamp, MainDelta());
  EXPECT_EQ((TLines{reading, "INFO Applying copy patch (TOOL.EXE)", "INFO Applying modify patch (TOOL.EXE)"}),
            Run());
  EXPECT_EQ(MainRebuilt(), Contents("TOOL.EXE"));
  EXPECT_EQ(newStamp, StampOnDisk("TOOL.EXE"));
  EXPECT_EQ(Counting(1000), Contents("TOOL.$$$"));
}

TEST_F(Win32Installer, FailedModifyPutsThePreviousVersionBack) {
  struct TCase {
    const char* name;
    std::string TFaultyFileSystem::*fault;  // null: none
    const char* faultFile;
    bool malformed;
    std::string error;
  };
  const TCase cases[] = {
      // The new version is written beside the target as MAIN.$$N, then takes its place.
      {"new_version_cannot_take_its_place", &TFaultyFileSystem::FailMove, "MAIN.$$N", false,
       "ERROR Cannot open destination file: MAIN.EXE"},
      {"new_version_cannot_be_created", &TFaultyFileSystem::FailCreate, "MAIN.$$N", false,
       "ERROR Cannot open destination file: MAIN.EXE"},
      {"read_error_in_block_loop", &TFaultyFileSystem::FailReads, "MAIN.EXE", false,
       "ERROR Cannot read source file: MAIN.EXE"},
      {"write_error_in_block_loop", &TFaultyFileSystem::FailWrites, "MAIN.$$N", false,
       "ERROR Cannot write destination file: MAIN.EXE"},
      {"edit_past_block_end", nullptr, "", true, "ERROR Damaged patch data for file: MAIN.EXE"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    files = TFaultyFileSystem();
    std::string upperRoot = root;
    CharUpperA(&upperRoot[0]);
    if (c.fault) files.*c.fault = upperRoot + "\\" + c.faultFile;
    Put("MAIN.EXE", Counting(1000), oldStamp);
    writer = TPatchWriter();
    std::vector<uint8_t> delta = MainDelta();
    if (c.malformed) delta.insert(delta.end(), {0, 0, 0, 0, 0, 0, 0, 0, 250, 10});
    writer.AddModify("&ROOT&\\MAIN.EXE", oldStamp, newStamp, delta);
    EXPECT_EQ((TLines{reading, "INFO Applying modify patch (MAIN.EXE)", c.error}), Run());
    EXPECT_EQ(Counting(1000), Contents("MAIN.EXE"));
    EXPECT_EQ(oldStamp, StampOnDisk("MAIN.EXE"));
    EXPECT_FALSE(Exists("MAIN.$$$"));
    EXPECT_FALSE(Exists("MAIN.$$N"));
  }
}

TEST_F(Win32Installer, RefusedMoveLeavesTheTarget) {
  // A directory in the way of the backup: it cannot be deleted as a file, nor moved over.
  Put("MAIN.EXE", Counting(1000), oldStamp);
  ASSERT_TRUE(CreateDirectoryA(At("MAIN.$$$").c_str(), nullptr));
  writer.AddModify("&ROOT&\\MAIN.EXE", oldStamp, newStamp, MainDelta());
  EXPECT_EQ((TLines{reading, "INFO Applying modify patch (MAIN.EXE)", "ERROR Cannot move file MAIN.EXE to MAIN.$$$"}),
            Run());
  EXPECT_EQ(Counting(1000), Contents("MAIN.EXE"));
  EXPECT_EQ(oldStamp, StampOnDisk("MAIN.EXE"));
}

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
