// The look for files in use over the engine's in-memory files: a held file at any place in
// the patch stops the run before anything changes and is named with its holders; Retry after
// the holder let go runs the whole patch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/memory_file_system.h"
#include "install/files_in_use.h"
#include "patch/patch_file.h"
#include "patch/patch_writer.h"
#include "patch/tests/recording_reporter.h"
#include "paths/macros.h"

namespace {

constexpr TDosStamp OldStamp = MakeDosStamp(2001, 1, 2, 3, 4, 6);
constexpr TDosStamp NewStamp = MakeDosStamp(2002, 1, 2, 3, 4, 6);

std::vector<uint8_t> NewContent() {
  TDeltaWriter delta;
  const uint8_t bytes[] = {9, 9, 9};
  delta.Literal(0, bytes, sizeof bytes);
  return delta.Bytes();
}

TEST(FilesInUse, AHeldFileAnywhereStopsTheRunBeforeAnythingChanges) {
  struct TCase {
    const char* Held;
    std::vector<std::string> Holders;
    std::string WantRow;
  } cases[] = {
      {"C:\\APP\\A.DAT", {"Editor"}, "ERROR File in use: C:\\APP\\A.DAT (held by Editor)"},
      {"c:\\app\\main.exe", {}, "ERROR File in use: C:\\APP\\MAIN.EXE"},
      {"C:\\APP\\MAIN.$$$", {"Backup tool"}, "ERROR File in use: C:\\APP\\MAIN.$$$ (held by Backup tool)"},
      {"C:\\APP\\Z.DAT", {"Viewer", "Indexer"}, "ERROR File in use: C:\\APP\\Z.DAT (held by Viewer, Indexer)"},
  };
  TPatchWriter writer;
  writer.AddModify("&ROOT&\\A.DAT", OldStamp, NewStamp, NewContent());
  writer.AddModify("&ROOT&\\MAIN.EXE", OldStamp, NewStamp, NewContent());
  writer.AddCopy("&ROOT&\\Z.DAT", NewStamp, {9, 9, 9});
  const std::vector<uint8_t> bytes = writer.Bytes();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Held);
    TMemoryFileSystem files;
    files.AddDirectory("C:\\APP");
    for (const char* name : {"C:\\APP\\A.DAT", "C:\\APP\\MAIN.EXE", "C:\\APP\\Z.DAT"}) files.AddFile(name, {1, 2}, OldStamp);
    TMemoryInputFile data(bytes);
    TMacroExpander macros;
    macros.AddMacro(new TMacroDef("&ROOT&", "C:\\APP"));
    TMemoryFileHolders holders;
    holders.Hold(c.Held, c.Holders);
    TRecordingReporter reporter;

    int asked = 0;
    auto cancel = [&](const std::vector<TFileInUse>&) { return ++asked, TInUseAnswer::Cancel; };
    EXPECT_FALSE(ClearOfFilesInUse(data, &macros, holders, cancel, reporter));
    EXPECT_EQ(1, asked);
    EXPECT_EQ(std::vector<std::string>({c.WantRow, "ERROR Cannot install patch: files in use - nothing was changed"}),
              reporter.Lines);
    EXPECT_EQ(0, files.Writes);

    // Retry once the holder has let go: the look finds nothing and every record applies.
    reporter.Lines.clear();
    auto retry = [&](const std::vector<TFileInUse>& inUse) {
      EXPECT_EQ(1u, inUse.size());
      holders.Release(c.Held);
      return TInUseAnswer::Retry;
    };
    ASSERT_TRUE(ClearOfFilesInUse(data, &macros, holders, retry, reporter));
    EXPECT_TRUE(reporter.Lines.empty());
    TPatchFile installer(&data, &macros, &reporter, &files);
    installer.Run();
    for (const char* name : {"C:\\APP\\A.DAT", "C:\\APP\\MAIN.EXE", "C:\\APP\\Z.DAT"})
      EXPECT_EQ(std::vector<uint8_t>({9, 9, 9}), files.Contents(name)) << name;
  }
}

}  // namespace
