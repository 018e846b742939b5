// The disk layer of each platform: which directory entries count as pages, and that the
// files are read and written as raw bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "indexwright/disk_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& Path, const std::string& Content) {
  std::ofstream(Path, std::ios::binary) << Content;
}

std::string ReadAll(TByteSource& Source) {
  std::string Content;
  char Buffer[5];
  while (size_t Got = Source.Read(Buffer, sizeof(Buffer))) Content.append(Buffer, Got);
  return Content;
}

class DiskFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::current_path() / "disk_folder_test";
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  fs::path Dir;
};

TEST_F(DiskFolder, ListsOrdinaryFilesOnly) {
  WriteFile(Dir / "01_a.htm", "a");
  WriteFile(Dir / "02_b.HTM", "b");
  fs::create_directory(Dir / "03_dir.htm");
  WriteFile(Dir / ".04_dot.htm", "hidden by its name");
#ifdef _WIN32
  WriteFile(Dir / "05_hidden.htm", "h");
  WriteFile(Dir / "06_system.htm", "s");
  SetFileAttributesA((Dir / "05_hidden.htm").string().c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesA((Dir / "06_system.htm").string().c_str(), FILE_ATTRIBUTE_SYSTEM);
#endif
  TDiskFolder Folder(Dir.string());
  std::vector<std::string> Names = Folder.ListFiles();
  std::sort(Names.begin(), Names.end());
  EXPECT_EQ((std::vector<std::string>{"01_a.htm", "02_b.HTM"}), Names);
#ifdef _WIN32
  SetFileAttributesA((Dir / "05_hidden.htm").string().c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesA((Dir / "06_system.htm").string().c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
}

TEST_F(DiskFolder, ReadsAndWritesRawBytes) {
  const std::string Bytes("a\r\nb\nc\x1a" "d\0e\r", 11);
  WriteFile(Dir / "page.htm", Bytes);
  TDiskFolder Folder(Dir.string());
  std::unique_ptr<TByteSource> Page = Folder.OpenInput("page.htm");
  ASSERT_NE(nullptr, Page);
  EXPECT_EQ(Bytes, ReadAll(*Page));
  EXPECT_EQ(nullptr, Folder.OpenInput("missing.htm"));

  WriteFile(Dir / "out.txt", "an older and longer content");
  std::unique_ptr<TOutputSink> Out = Folder.CreateOutput("out.txt");
  ASSERT_NE(nullptr, Out);
  Out->Put(Bytes.data(), Bytes.size());
  EXPECT_TRUE(Out->Close());
  Page = Folder.OpenInput("out.txt");
  EXPECT_EQ(Bytes, ReadAll(*Page));
}

}  // namespace
