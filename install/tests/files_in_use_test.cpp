// The look for files in use over the engine's in-memory files: a file held at the first,
// middle or last record stops the run before anything changes and is named with its holders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/memory_file_system.h"
#include "install/files_in_use.h"
#include "patch/patch_writer.h"
#include "tests/support/test_reporters.h"
#include "paths/macros.h"

namespace {

TEST(FilesInUse, AHeldFileAnywhereStopsTheRunBeforeAnythingChanges) {
  const struct {
    const char* Held;
    std::vector<std::string> Holders;
    std::string WantRow;
  } cases[] = {
      {"C:\\APP\\A.DAT", {"Editor"}, "ERROR File in use: C:\\APP\\A.DAT (held by Editor)"},
      {"c:\\app\\main.$$$", {}, "ERROR File in use: C:\\APP\\MAIN.$$$"},
      {"C:\\APP\\Z.DAT", {"Viewer", "Indexer"}, "ERROR File in use: C:\\APP\\Z.DAT (held by Viewer, Indexer)"},
      {"C:\\APP\\DATA.BIN", {"Viewer"}, "ERROR File in use: C:\\APP\\DATA.BIN (held by Viewer)"},
      {"C:\\APP\\DATA.$$$", {}, "ERROR File in use: C:\\APP\\DATA.$$$"},
  };
  TPatchWriter writer;
  const TDosStamp stamp = MakeDosStamp(2001, 1, 2, 3, 4, 6);
  writer.AddModify("&ROOT&\\A.DAT", stamp, stamp, {});
  writer.AddModify("&ROOT&\\MAIN.EXE", stamp, stamp, {});  // and its backup, MAIN.$$$
  writer.AddCopy("&ROOT&\\Z.DAT", stamp, {9});
  writer.AddDifference("&ROOT&\\DATA.BIN", stamp, stamp, {});  // looked at as a modify record
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Held);
    TMemoryInputFile data(writer.Bytes());
    TMacroExpander macros;
    macros.AddMacro(new TMacroDef("&ROOT&", "C:\\APP"));
    TMemoryFileHolders holders;
    holders.Hold(c.Held, c.Holders);
    TRecordingReporter reporter;
    std::vector<TFileInUse> asked;
    auto cancel = [&](const std::vector<TFileInUse>& inUse) { return asked = inUse, TInUseAnswer::Cancel; };
    EXPECT_FALSE(ClearOfFilesInUse(ReadPatchDirectory(data), &macros, holders, cancel, reporter));
    ASSERT_EQ(1u, asked.size());
    EXPECT_EQ(c.Holders, asked[0].Holders);
    EXPECT_EQ(std::vector<std::string>({c.WantRow, "ERROR Cannot install patch: files in use - nothing was changed"}),
              reporter.Lines);
  }
}

}  // namespace
