// Start-up and log rules of mendit that do not need a window.

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <vector>

#include "description_file.h"
#include "log_rules.h"
#include "show_command.h"

namespace {

TEST(DescriptionFilePath, ArgumentsAndDrives) {
  const std::string dir = "C:\\PATCH\\DISK1\\";
  struct Case {
    std::vector<const char*> args;
    std::string want;
  } cases[] = {
      {{}, "C:\\PATCH\\DISK1\\MENDIT.MNI"},
      {{"D:\\PATCHES\\APP.MNI"}, "D:\\PATCHES\\APP.MNI"},
      {{"d:app.mni"}, "d:app.mni"},
      {{"APP.MNI"}, "C:\\PATCH\\DISK1\\APP.MNI"},
      {{"SUB\\APP.MNI"}, "C:\\PATCH\\DISK1\\SUB\\APP.MNI"},
      {{"\\\\SERVER\\SHARE\\APP.MNI"}, "C:\\PATCH\\DISK1\\\\\\SERVER\\SHARE\\APP.MNI"},
      {{"\\APP.MNI"}, "C:\\PATCH\\DISK1\\\\APP.MNI"},
      {{"A"}, "C:\\PATCH\\DISK1\\A"},
      {{""}, "C:\\PATCH\\DISK1\\"},
      {{"ONE.MNI", "TWO.MNI"}, "C:\\PATCH\\DISK1\\MENDIT.MNI"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.want, DescriptionFilePath(dir, static_cast<int>(c.args.size()), c.args.data()));
  }
  // Without a program directory the bare name is left to the profile reader's rules.
  EXPECT_EQ("MENDIT.MNI", DescriptionFilePath("", 0, nullptr));
}

TEST(ReadDescription, ReadsInOrderAndStopsAtTheFirstEmptyKey) {
  struct Case {
    std::map<std::string, std::string> file;
    bool complete;
    std::vector<std::string> keysRead;
  } cases[] = {
      {{{"Name", "TOOL.EXE"}, {"DefaultPath", "&PROGRAMS&\\TOOL\\"}, {"Patch", "P.CAB"}},
       true,
       {"Name", "DefaultPath", "Patch"}},
      {{{"Name", ""}, {"DefaultPath", "X"}, {"Patch", "P.CAB"}}, false, {"Name"}},
      {{{"Name", "TOOL.EXE"}, {"Patch", "P.CAB"}}, false, {"Name", "DefaultPath"}},
      {{{"Name", "TOOL.EXE"}, {"DefaultPath", "X"}}, false, {"Name", "DefaultPath", "Patch"}},
      {{}, false, {"Name"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> keysRead;
    TDescription description;
    bool complete = ReadDescription(
        [&](const char* key) {
          keysRead.push_back(key);
          auto found = c.file.find(key);
          return found == c.file.end() ? std::string() : found->second;
        },
        description);
    EXPECT_EQ(c.complete, complete);
    EXPECT_EQ(c.keysRead, keysRead);
  }
}

TEST(ReadDescription, KeepsValuesAsWritten) {
  TDescription description;
  std::map<std::string, std::string> file = {
      {"Name", "&ROOT&.EXE"}, {"DefaultPath", "&PROGRAMS&\\TOOL\\"}, {"Patch", "&SYSTEM&\\P.CAB"}};
  ASSERT_TRUE(ReadDescription([&](const char* key) { return file[key]; }, description));
  EXPECT_EQ("&ROOT&.EXE", description.Name);
  EXPECT_EQ("&PROGRAMS&\\TOOL\\", description.DefaultPath);
  EXPECT_EQ("&SYSTEM&\\P.CAB", description.Patch);
}

TEST(InitFailedText, ExactWordingAndLongPaths) {
  EXPECT_EQ(
      "Cannot read patch description file (C:\\X\\MENDIT.MNI).\n"
      "If you want to apply patch, please run MENDIT\n"
      "with description file as a parameter.\n"
      "To create the patch run Mendit Wizard.\n",
      InitFailedText("C:\\X\\MENDIT.MNI"));
  std::string longPath(5000, 'A');
  std::string text = InitFailedText(longPath);
  EXPECT_NE(std::string::npos, text.find("(" + longPath + ")"));
}

TEST(SplitLogLines, OneRowPerLine) {
  struct Case {
    std::string text;
    std::vector<std::string> rows;
  } cases[] = {
      {"one", {"one"}},
      {"", {""}},
      {"a\nb\nc", {"a", "b", "c"}},
      {"line\n", {"line", ""}},
      {"\n\n", {"", "", ""}},
      {"tab\there\n x", {"tab\there", " x"}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.rows, SplitLogLines(c.text));
}

TEST(ScrollTopIndex, LastRowBecomesTheLastVisibleOne) {
  struct Case {
    int last, clientHeight, rowHeight, want;
  } cases[] = {
      {0, 130, 13, -1},   // 10 rows visible, first row
      {9, 130, 13, -1},   // the 10th row still fits
      {10, 130, 13, 1},   // the 11th scrolls by one
      {25, 130, 13, 16},
      {10, 135, 13, 1},   // partial rows do not count
      {3, 10, 13, 4},     // not even one whole row visible
      {5, 130, 0, -1},    // no usable row height
  };
  for (const Case& c : cases) EXPECT_EQ(c.want, ScrollTopIndex(c.last, c.clientHeight, c.rowHeight));
}

TEST(LogFileNameFor, CabinetNameWithTheLogExtension) {
  const std::map<std::string, std::string> cases = {
      {"C:\\PATCH\\NOTES.CAB", "NOTES.log"}, {"NOTES.CAB", "NOTES.log"},     {"D:APP.V2.CAB", "APP.V2.log"},
      {"..\\PATCH\\NOEXT", "NOEXT.log"},     {"C:\\PATCH\\", "mendit.log"}, {"", "mendit.log"},
  };
  for (const auto& [patch, want] : cases) EXPECT_EQ(want, LogFileNameFor(patch)) << patch;
}

TEST(ProgressPosition, SixtyFourBitProduct) {
  struct Case {
    int32_t done, total;
    int want;
  } cases[] = {
      {500, 1000, 50}, {30000000, 60000000, 50}, {INT32_MAX, INT32_MAX, 100}, {0, 1, 0}, {1, 3, 33}, {5, 0, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.want, ProgressPosition(c.done, c.total));
}

TEST(NormalizedShowCommand, OnlyHideAndMinimisedWithoutActivationStay) {
  for (int command = 0; command <= 11; ++command) {
    int want = (command == 0 || command == 7) ? command : 1;
    EXPECT_EQ(want, NormalizedShowCommand(command));
  }
}

}  // namespace
