// The disk file services on POSIX systems: Windows-style paths (backslashes, any case) find the files they
// mean on a case-sensitive disk, and files behave as the engine expects them to on Windows.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "files/disk_file_system.h"
#include "files/whole_file.h"

namespace {

class DiskFileSystemPosix : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* temporary = std::getenv("TMPDIR");
    std::string pattern = std::string(temporary && *temporary ? temporary : "/tmp") + "/dfsXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    ASSERT_NE(nullptr, mkdtemp(name.data()));
    root = name.data();
    ASSERT_TRUE(files.CreateDir((root + "\\Sub").c_str()));
    ASSERT_TRUE(WriteWholeFile(files, root + "\\Sub\\File.Txt", {'a', 'b'}));
  }
  void TearDown() override { EXPECT_LT(0u, std::filesystem::remove_all(root)); }
  std::string root;
  TDiskFileSystem files;
};

TEST_F(DiskFileSystemPosix, WindowsPathsFindFilesWhateverTheirCase) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ReadWholeFile(files, root + "\\SUB\\FILE.TXT", bytes));
  EXPECT_EQ(2u, bytes.size());
  EXPECT_EQ(root + "/Sub/File.Txt", PosixPath(root + "\\sub\\file.txt"));
  // A new name keeps its spelling, below the folder as it exists.
  EXPECT_EQ(root + "/Sub/NEW/X.DAT", PosixPath(root + "\\SUB\\NEW\\X.DAT"));
  EXPECT_TRUE(files.DirectoryExists((root + "\\SUB").c_str()));
}

TEST_F(DiskFileSystemPosix, StampsMovesAndReadOnlyFiles) {
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
