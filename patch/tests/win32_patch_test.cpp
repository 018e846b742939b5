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
#include "tests/support/unix_links.h"

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

namespace {

// What lies in a folder (one level): names with their contents.
std::vector<std::pair<std::string, std::vector<uint8_t>>> Snapshot(const std::string& folder) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> found;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    if (entry.cFileName[0] == '.') continue;
    TDiskFileSystem disk;
    std::vector<uint8_t> bytes;
    if (std::unique_ptr<TInputFile> in = disk.OpenRead((folder + "\\" + entry.cFileName).c_str())) {
      bytes.resize(static_cast<size_t>(in->Size()));
      if (!bytes.empty()) in->Read(0, bytes.data(), bytes.size());
    }
    found.emplace_back(entry.cFileName, bytes);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return found;
}

}  // namespace

// Names planted inside the application folder that lead outside it, as real Unix links in the
// Wine drive, against each kind of record: nothing outside changes, and the record is refused
// with a row that names the link. A short (8.3) spelling of the folder is no link and applies.
TEST_F(Win32Installer, PlantedLinksNeverLeadARecordOutside) {
  if (!TUnixLinks::Available()) GTEST_SKIP() << "Unix links are made under Wine only";
  enum TLink { FolderLink, FileLink, Dangling, HardLink, None };
  enum TKind { Copy, Modify, Delete };
  struct TCase {
    const char* name;
    TLink link;
    const char* at;  // the planted name, inside the folder
    const char* to;  // where it leads, in the outside folder
    TKind kind;
    const char* record;  // below &ROOT&
    const char* row;     // the record's last row
  };
  const char* const outsideRow = "ERROR Link refused: %s leads outside the application folder";
  const TCase cases[] = {
      {"folder_link_copy_over", FolderLink, "PLUGINS", "", Copy, "PLUGINS\\VICTIM.DLL", "VICTIM.DLL"},
      {"folder_link_copy_new", FolderLink, "PLUGINS", "", Copy, "PLUGINS\\SPELL.DLL", "SPELL.DLL"},
      {"folder_link_new_folder", FolderLink, "PLUGINS", "", Copy, "PLUGINS\\SUB\\SPELL.DLL", "SPELL.DLL"},
      {"folder_link_delete", FolderLink, "PLUGINS", "", Delete, "PLUGINS\\VICTIM.DLL", "VICTIM.DLL"},
      {"folder_link_modify", FolderLink, "PLUGINS", "", Modify, "PLUGINS\\VICTIM.DLL", "VICTIM.DLL"},
      {"file_link_copy", FileLink, "DATA.DLL", "VICTIM.DLL", Copy, "DATA.DLL", "DATA.DLL"},
      {"file_link_delete", FileLink, "DATA.DLL", "VICTIM.DLL", Delete, "DATA.DLL", "DATA.DLL"},
      {"file_link_modify", FileLink, "MAIN.EXE", "VICTIM.DLL", Modify, "MAIN.EXE", "MAIN.EXE"},
      // Wine cannot tell a link that leads nowhere from a free name until it is made new.
      {"dangling_link_copy", Dangling, "NEW.DLL", "CREATED.DLL", Copy, "NEW.DLL", "NEW.DLL"},
      {"hard_link_modify", HardLink, "MAIN.EXE", "VICTIM.DLL", Modify, "MAIN.EXE", nullptr},
      {"hard_link_copy", HardLink, "DATA.DLL", "VICTIM.DLL", Copy, "DATA.DLL", nullptr},
      {"scratch_name_modify", FileLink, "OWN.$$N", "VICTIM.DLL", Modify, "OWN.EXE", "OWN.$$N"},
      {"backup_name_modify", FileLink, "OWN.$$$", "VICTIM.DLL", Modify, "OWN.EXE", "OWN.$$$"},
      {"aside_name_modify", FileLink, "OWN.$$B", "VICTIM.DLL", Modify, "OWN.EXE", "OWN.$$B"},
      {"copy_scratch_name", FileLink, "OWN.$$C", "VICTIM.DLL", Copy, "OWN.EXE", "OWN.$$C"},
      {"dangling_scratch_name", Dangling, "OWN.$$N", "CREATED.DLL", Modify, "OWN.EXE", "OWN.EXE"},
  };
  const std::string outside = root.Path() + "_OUT";
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveFolderTree(outside);
    ASSERT_TRUE(CreateDirectoryA(outside.c_str(), nullptr));
    Put("..\\" + outside.substr(outside.rfind('\\') + 1) + "\\VICTIM.DLL", Counting(1000), oldStamp);
    Put("OWN.EXE", Counting(1000), oldStamp);
    const auto before = Snapshot(outside);
    TUnixLinks links;
    const std::string target = outside + (*c.to ? "\\" + std::string(c.to) : "");
    ASSERT_TRUE(c.link == HardLink ? links.Hard(At(c.at), target) : links.Symbolic(At(c.at), target));
    writer = TPatchWriter();
    const std::string path = std::string("&ROOT&\\") + c.record;
    if (c.kind == Copy) writer.AddCopy(path, newStamp, Bytes("planted content"));
    TDeltaWriter delta;  // the old file's first block: applies to the victim's content
    delta.CopyBlock(0, 0);
    if (c.kind == Modify) writer.AddModify(path, oldStamp, newStamp, delta.Bytes());
    if (c.kind == Delete) writer.AddDelete(path, oldStamp);
    const std::vector<uint8_t> data = writer.Bytes();
    TMemoryInputFile file(data);
    TRecordingReporter reporter;
    TPatchFile(&file, &macros, &reporter, &files).Run();
    const TLines& lines = reporter.Lines;
    char row[300];
    if (c.link == Dangling)
      std::snprintf(row, sizeof row, "ERROR Cannot open destination file: %s", c.record);
    else if (c.row)
      std::snprintf(row, sizeof row, outsideRow, c.row);
    else
      std::snprintf(row, sizeof row, "ERROR Link refused: %s has other names (hard links)", c.at);
    EXPECT_EQ(row, lines.back());
    EXPECT_EQ(before, Snapshot(outside));
    links.RemoveAll();
    RemoveFolderTree(root.Path());
    ASSERT_TRUE(CreateDirectoryA(root.Path().c_str(), nullptr));
  }
  RemoveFolderTree(outside);

  // The folder spelt by its short name: the same folder, so the record applies.
  ASSERT_TRUE(CreateDirectoryA(At("LONGFOLDERNAME").c_str(), nullptr));
  char shortRoot[MAX_PATH];
  ASSERT_NE(0u, GetShortPathNameA(root.Path().c_str(), shortRoot, sizeof shortRoot));
  TMacroExpander shortMacros;
  shortMacros.AddMacro(new TMacroDef("&ROOT&", shortRoot));
  writer = TPatchWriter();
  writer.AddCopy("&ROOT&\\LONGFOLDERNAME\\NEW.DLL", newStamp, Bytes("new"));
  const std::vector<uint8_t> shortData = writer.Bytes();
  TMemoryInputFile file(shortData);
  TRecordingReporter reporter;
  TPatchFile(&file, &shortMacros, &reporter, &files).Run();
  EXPECT_EQ((TLines{reading, "INFO Applying copy patch (NEW.DLL)"}), reporter.Lines);
  EXPECT_EQ(Bytes("new"), Contents("LONGFOLDERNAME\\NEW.DLL"));
}
