// TPatchUnpacker: every file of a cabinet into a temporary file of its own, messages to
// the reporter.

#include <gtest/gtest.h>

#include "tests/support/cab_test_support.h"
#include "cabinet/patch_unpacker.h"

namespace {
std::string TempDirectory() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  return temp;
}

// In a folder of the unpacker's own directly below the temporary folder.
bool InPrivateFolder(const std::string& path) {
  const std::string dir = TempDirectory() + "MENDIT-";
  const size_t slash = path.find('\\', dir.size());
  return path.size() > dir.size() && _strnicmp(path.c_str(), dir.c_str(), dir.size()) == 0 &&
         slash != std::string::npos && path.find('\\', slash + 1) == std::string::npos;
}

TEST(PatchUnpacker, EachFileGoesToItsOwnTemporaryFileAndTheLastIsKept) {
  TScratchFolder dir("cabtest", true);
  WriteFile(dir / "1", "one");
  WriteFile(dir / "2", Incompressible(40000, 3));
  WriteFile(dir / "3", "three");
  SetLocalDosStamp(dir / "3", MakeDosDate(2003, 4, 5), MakeDosTime(6, 7, 8));
  ASSERT_TRUE(MakeCabinetWithFci(dir / "patch.cab", {{dir / "1", "a"}, {dir / "2", "b"}, {dir / "3", "c"}}));

  TRecordingReporter reporter;
  TPatchUnpacker unpacker(&reporter);
  EXPECT_TRUE(unpacker.Unpack("patch.cab", dir.Dir().c_str(), 0));
  EXPECT_EQ(0u, reporter.Lines.size());
  const std::vector<std::string> files = unpacker.TemporaryFiles();
  ASSERT_EQ(3u, files.size());
  EXPECT_EQ(files[2], unpacker.ExtractedName());
  EXPECT_EQ("one", ReadFile(files[0]));
  EXPECT_TRUE(ReadFile(dir / "2") == ReadFile(files[1]));
  EXPECT_EQ("three", ReadFile(files[2]));
  for (const std::string& file : files) EXPECT_TRUE(InPrivateFolder(file)) << file;
  // The close step applies the archived stamp to the temporary file, not to a file named
  // after the cabinet's entry.
  EXPECT_EQ(MakeDosStamp(2003, 4, 5, 6, 7, 8), LocalStampOf(files[2]));
  EXPECT_FALSE(FileExists(dir / "c"));
  // Held without write or delete sharing: nobody changes, renames or deletes them meanwhile.
  EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(files[2].c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(DeleteFileA(files[2].c_str()));
  EXPECT_FALSE(MoveFileA(files[2].c_str(), (dir / "moved").c_str()));

  EXPECT_TRUE(unpacker.RemoveTemporaryFiles());
  for (const std::string& file : files) EXPECT_FALSE(FileExists(file)) << file;
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(files[0].substr(0, files[0].rfind('\\')).c_str()));
  EXPECT_EQ(0u, unpacker.TemporaryFiles().size());
}

TEST(PatchUnpacker, ReadOnlyTemporaryFilesAreRemovedToo) {
  TScratchFolder dir("cabtest", true);
  WriteFile(dir / "ro", "read only");
  SetFileAttributesA((dir / "ro").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(MakeCabinetWithFci(dir / "ro.cab", {{dir / "ro", "ro"}}));
  TRecordingReporter reporter;
  TPatchUnpacker unpacker(&reporter);
  EXPECT_TRUE(unpacker.Unpack("ro.cab", dir.Dir().c_str(), 0));
  const std::string extracted = unpacker.ExtractedName();
  EXPECT_EQ(DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            GetFileAttributesA(extracted.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(unpacker.RemoveTemporaryFiles());
  EXPECT_FALSE(FileExists(extracted));
}

// What Unpack leaves for the caller when there is nothing to extract.
TEST(PatchUnpacker, NothingExtractedLeavesTheNameEmpty) {
  TScratchFolder dir("cabtest", true);
  WriteFile(dir / "text.cab", "MSCF? no, just text");
  struct Case {
    const char* Name;
    std::vector<std::string> WantRows;
  } cases[] = {
      {"missing.cab", {"ERROR Error opening file: " + dir.Dir() + "missing.cab, error code: 2"}},
      {"text.cab", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TRecordingReporter reporter;
    TPatchUnpacker unpacker(&reporter);
    EXPECT_TRUE(unpacker.Unpack(c.Name, dir.Dir().c_str(), 0));
    EXPECT_EQ(std::string(), unpacker.ExtractedName());
    EXPECT_EQ(c.WantRows, reporter.Lines);
    EXPECT_EQ(0u, unpacker.TemporaryFiles().size());
  }
}

TEST(PatchUnpacker, MessagesGoToTheReporterAsTheyAre) {
  TRecordingReporter reporter;
  TPatchUnpacker unpacker(&reporter);
  unpacker.Error("Error writing file, error code: %d", 28);
  unpacker.Message("100%% done, %s", "%s %d %n");
  const std::vector<std::string> want{"ERROR Error writing file, error code: 28", "INFO 100% done, %s %d %n"};
  EXPECT_EQ(want, reporter.Lines);
}

// No temporary name: the extraction is aborted with a message, counts as failed, and
// ExtractedName does not keep naming an earlier file of the cabinet (which is removed).
class TNoTempUnpacker : public TPatchUnpacker {
 public:
  using TPatchUnpacker::TPatchUnpacker;
  BOOL GetTempFile(char* buffer, int size) override { return ++calls < 2 && TPatchUnpacker::GetTempFile(buffer, size); }
  int calls = 0;
};

TEST(PatchUnpacker, NoTemporaryFileAbortsTheExtraction) {
  TScratchFolder dir("cabtest", true);
  WriteFile(dir / "1", "first");
  WriteFile(dir / "2", "second");
  ASSERT_TRUE(MakeCabinetWithFci(dir / "two.cab", {{dir / "1", "a"}, {dir / "2", "b"}}));
  TRecordingReporter reporter;
  TNoTempUnpacker unpacker(&reporter);
  EXPECT_FALSE(unpacker.Unpack("two.cab", dir.Dir().c_str(), 0));
  EXPECT_EQ(std::vector<std::string>{"ERROR Cannot open temporary file"}, reporter.Lines);
  EXPECT_EQ(std::string(), unpacker.ExtractedName());
  EXPECT_EQ(0u, unpacker.TemporaryFiles().size());
  EXPECT_TRUE(unpacker.RemoveTemporaryFiles());
}
}  // namespace

namespace {
// A cabinet cut short anywhere (inside its headers, inside a data block, at a block's end)
// never leaves a file named for installation, nor a temporary file behind. The whole
// cabinet extracts, and its reads and writes reach the message hook.
TEST(PatchUnpacker, ACutCabinetNamesNoFileAndLeavesNoTemporaryFile) {
  TScratchFolder dir("cabtest", true);
  WriteFile(dir / "1", "first file");
  WriteFile(dir / "2", Incompressible(150000, 5));  // five data blocks
  ASSERT_TRUE(MakeCabinetWithFci(dir / "whole.cab", {{dir / "1", "a"}, {dir / "2", "b"}}));
  const std::string whole = ReadFile(dir / "whole.cab");

  TRecordingReporter reporter;
  int pumped = 0;
  {
    TPatchUnpacker unpacker(&reporter);
    unpacker.SetMessageHook([](void* count) { ++*static_cast<int*>(count); }, &pumped);
    EXPECT_TRUE(unpacker.Unpack("whole.cab", dir.Dir().c_str(), 0));
    EXPECT_TRUE(ReadFile(dir / "2") == ReadFile(unpacker.ExtractedName()));
    EXPECT_TRUE(unpacker.RemoveTemporaryFiles());
  }
  EXPECT_LE(5, pumped);

  std::vector<size_t> cuts;
  for (size_t cut = 1; cut < whole.size(); cut += 1499) cuts.push_back(cut);
  for (size_t back : {1, 2, 8, 100}) cuts.push_back(whole.size() - back);
  for (size_t cut : cuts) {
    SCOPED_TRACE(cut);
    WriteFile(dir / "cut.cab", whole.substr(0, cut));
    TPatchUnpacker unpacker(&reporter);
    unpacker.Unpack("cut.cab", dir.Dir().c_str(), 0);
    EXPECT_EQ(std::string(), unpacker.ExtractedName());
    EXPECT_EQ(0u, unpacker.TemporaryFiles().size());
  }
}
}  // namespace
