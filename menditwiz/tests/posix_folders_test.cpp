// The POSIX file services: Windows-style paths (backslashes, any case) find the files they
// mean on a case-sensitive disk, and files behave as the engine expects them to on Windows.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "menditwiz/posix_folders.h"
#include "patch/whole_file.h"

namespace {

class PosixFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    root = MakeScratchFolder();
    ASSERT_FALSE(root.empty());
    ASSERT_TRUE(files.CreateDir((root + "\\Sub").c_str()));
    ASSERT_TRUE(WriteWholeFile(files, root + "\\Sub\\File.Txt", {'a', 'b'}));
  }
  void TearDown() override { EXPECT_TRUE(RemoveTree(root)); }
  std::string root;
  TPosixFileSystem files;
};

TEST_F(PosixFolders, WindowsPathsFindFilesWhateverTheirCase) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ReadWholeFile(files, root + "\\SUB\\FILE.TXT", bytes));
  EXPECT_EQ(2u, bytes.size());
  EXPECT_EQ(root + "/Sub/File.Txt", PosixPath(root + "\\sub\\file.txt"));
  // A new name keeps its spelling, below the folder as it exists.
  EXPECT_EQ(root + "/Sub/NEW/X.DAT", PosixPath(root + "\\SUB\\NEW\\X.DAT"));
  EXPECT_TRUE(files.DirectoryExists((root + "\\SUB").c_str()));
  TPosixFolderLister lister;
  std::vector<TFolderEntry> entries;
  ASSERT_TRUE(lister.List(root, entries));
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ("Sub", entries[0].Name);
  EXPECT_TRUE(entries[0].IsDirectory);
}

TEST_F(PosixFolders, StampsMovesAndReadOnlyFiles) {
  const std::string file = root + "\\SUB\\FILE.TXT";
  const TDosStamp stamp = MakeDosStamp(2001, 2, 3, 4, 5, 6);
  ASSERT_TRUE(files.SetStamp(file.c_str(), stamp));
  TDosStamp read = 0;
  EXPECT_TRUE(files.OpenRead(file.c_str())->GetStamp(read));
  EXPECT_EQ(stamp, read);

  const std::string other = root + "\\Sub\\Other.txt";
  ASSERT_TRUE(WriteWholeFile(files, other, {'c'}));
  EXPECT_FALSE(files.Move(file.c_str(), other.c_str()));  // the target exists
  EXPECT_TRUE(files.Delete(other.c_str()));
  EXPECT_TRUE(files.Move(file.c_str(), other.c_str()));
  EXPECT_FALSE(files.Delete(file.c_str()));  // gone

  ASSERT_EQ(0, chmod(PosixPath(other).c_str(), 0444));
  EXPECT_FALSE(files.Delete(other.c_str()));
  EXPECT_EQ(nullptr, files.Create(other.c_str()));
}

}  // namespace
