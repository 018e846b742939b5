// The recording file system over files in memory: later calls see the recorded changes as
// they would see the disk after a real run, and the disk is never written. The check mode's
// wording of the engine's rows over it: console/tests/console_test.cpp.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "files/memory_file_system.h"
#include "files/recording_file_system.h"
#ifdef _WIN32
#include "files/private_folder_win32.h"
#endif

namespace {

using TBytes = std::vector<uint8_t>;
constexpr TDosStamp OldStamp = MakeDosStamp(2001, 1, 2, 3, 4, 6);
constexpr TDosStamp NewStamp = MakeDosStamp(2002, 1, 2, 3, 4, 6);

// What a read through fs finds at path: its bytes and date/time, or "<missing>".
std::string Seen(TFileSystem& fs, const char* path) {
  std::unique_ptr<TInputFile> in = fs.OpenRead(path);
  if (!in) return "<missing>";
  std::string text(static_cast<size_t>(in->Size()), '\0');
  if (!text.empty() && in->Read(0, &text[0], text.size()) != static_cast<int64_t>(text.size())) return "<unreadable>";
  TDosStamp stamp = 0;
  in->GetStamp(stamp);
  return text + "@" + std::to_string(stamp == NewStamp ? 2 : stamp == OldStamp ? 1 : 0);
}

bool Write(TFileSystem& fs, const char* path, const std::string& text) {
  std::unique_ptr<TOutputFile> out = fs.Create(path);
  return out && out->Write(0, text.data(), text.size());
}

TEST(RecordingFileSystem, LaterCallsSeeTheChangesTheDiskNever) {
  TMemoryFileSystem disk;
  disk.AddDirectory("C:\\APP");
  disk.AddFile("C:\\APP\\APP.EXE", {'o', 'l', 'd'}, OldStamp);
  disk.AddFile("C:\\APP\\GONE.DLL", {'g'}, OldStamp);
  TRecordingFileSystem fs(disk);

  // A copy into a new folder, then a change of it under another spelling.
  EXPECT_FALSE(Write(fs, "C:\\APP\\NEW\\X.DLL", "x"));  // its folder is not there yet
  ASSERT_TRUE(fs.CreateDir("C:\\APP\\NEW"));
  EXPECT_TRUE(fs.DirectoryExists("C:\\app\\new"));
  ASSERT_TRUE(Write(fs, "C:\\APP\\NEW\\X.DLL", "copied"));
  ASSERT_TRUE(fs.SetStamp("C:\\APP\\NEW\\X.DLL", NewStamp));
  EXPECT_EQ("copied@2", Seen(fs, "c:\\app\\new\\x.dll"));

  // A modify's renames: the old version moved away, the new one in its place, stamped.
  EXPECT_FALSE(fs.Move("C:\\APP\\APP.EXE", "C:\\APP\\GONE.DLL"));  // never over a file
  ASSERT_TRUE(fs.Move("C:\\APP\\APP.EXE", "C:\\APP\\APP.$$$"));
  EXPECT_EQ("<missing>", Seen(fs, "C:\\APP\\APP.EXE"));
  EXPECT_EQ("old@1", Seen(fs, "C:\\APP\\APP.$$$"));
  ASSERT_TRUE(Write(fs, "C:\\APP\\APP.$$N", "new"));
  ASSERT_TRUE(fs.Move("C:\\APP\\APP.$$N", "C:\\APP\\APP.EXE"));
  ASSERT_TRUE(fs.SetStamp("C:\\APP\\APP.EXE", NewStamp));
  EXPECT_EQ("new@2", Seen(fs, "C:\\APP\\APP.EXE"));

  // A delete, then a second one of the same file.
  ASSERT_TRUE(fs.Delete("C:\\APP\\GONE.DLL"));
  EXPECT_EQ("<missing>", Seen(fs, "C:\\APP\\GONE.DLL"));
  EXPECT_FALSE(fs.Delete("C:\\APP\\GONE.DLL"));

  EXPECT_EQ(8u, fs.Changes().size());
  EXPECT_EQ(0, disk.Writes);
  EXPECT_EQ((std::vector<std::string>{"C:\\APP\\APP.EXE", "C:\\APP\\GONE.DLL"}), disk.FileNames());
  EXPECT_EQ(TBytes({'o', 'l', 'd'}), disk.Contents("C:\\APP\\APP.EXE"));
  EXPECT_EQ(OldStamp, disk.StampOf("C:\\APP\\APP.EXE"));
  EXPECT_FALSE(disk.DirectoryExists("C:\\APP\\NEW"));
}

}  // namespace

// A spill store over files in memory; failing makes it refuse new files, as a full disk would.
class TMemorySpillStore : public TSpillStore {
 public:
  std::unique_ptr<TOutputFile> NewFile(size_t& id) override {
    if (Failing) return nullptr;
    id = Made++;
    return Files.Create(Name(id).c_str());
  }
  std::unique_ptr<TInputFile> Reader(size_t id) override { return Files.OpenRead(Name(id).c_str()); }
  bool Failing = false;
  size_t Made = 0;

 private:
  static std::string Name(size_t id) { return "S:\\" + std::to_string(id); }
  TMemoryFileSystem Files;
};

// Written content beyond the budget goes to the store, whole file by whole file, and reads
// back the same wherever it lies: while it grows, after a rename, after the writer is gone.
TEST(RecordingFileSystem, ContentBeyondTheBudgetMovesToTheStore) {
  struct TCase {
    const char* Name;
    int64_t Budget;
    bool StoreFails;
    bool Written;
    int Spilled;
  } cases[] = {
      {"within the budget", 1000, false, true, 0},
      {"the second file passes it", 12, false, true, 1},
      {"every file passes it", 0, false, true, 2},
      {"the store cannot take it", 12, true, false, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryFileSystem disk;
    disk.AddDirectory("C:\\APP");
    TMemorySpillStore store;
    store.Failing = c.StoreFails;
    TRecordingFileSystem fs(disk);
    fs.SpillTo(&store, c.Budget);
    ASSERT_TRUE(Write(fs, "C:\\APP\\A.DLL", "first"));
    std::unique_ptr<TOutputFile> out = fs.Create("C:\\APP\\B.$$N");
    ASSERT_TRUE(out);
    std::unique_ptr<TInputFile> early = fs.OpenRead("C:\\APP\\B.$$N");
    const bool written = out->Write(0, "second", 6) && out->Write(6, " file", 5) && out->Write(0, "S", 1);
    EXPECT_EQ(c.Written, written);
    EXPECT_EQ(c.Spilled, fs.SpilledFiles());
    EXPECT_LE(fs.BytesInMemory(), c.Budget);
    if (!written) continue;
    char seen[12] = {};
    EXPECT_EQ(11, early->Read(0, seen, sizeof seen));
    EXPECT_EQ("Second file", std::string(seen, 11));
    out.reset();
    ASSERT_TRUE(fs.Move("C:\\APP\\B.$$N", "C:\\APP\\B.DLL"));
    EXPECT_EQ("Second file@0", Seen(fs, "C:\\APP\\B.DLL"));
    EXPECT_EQ("first@0", Seen(fs, "C:\\APP\\A.DLL"));
  }
}

#ifdef _WIN32
// The same through the private folder a Windows run spills into.
TEST(RecordingFileSystem, ContentSpillsIntoAPrivateFolder) {
  TMemoryFileSystem disk;
  disk.AddDirectory("C:\\APP");
  TPrivateSpillStore store;
  TRecordingFileSystem fs(disk);
  fs.SpillTo(&store, 0);
  ASSERT_TRUE(Write(fs, "C:\\APP\\A.DLL", "spilled"));
  EXPECT_EQ(1, fs.SpilledFiles());
  EXPECT_EQ("spilled@0", Seen(fs, "C:\\APP\\A.DLL"));
}
#endif
