// The framework's rules that need no window, in every tree: the folder a program finds its
// files in, and the show command it opens with.
#include <gtest/gtest.h>

#include "framework/module_folder.h"
#include "framework/show_command.h"

namespace {

TEST(ModuleFolderOf, DirectoryUpToTheLastBackslash) {
  const struct {
    const char* file;
    const char* dir;
  } cases[] = {
      {"E:\\SHOWDISK.EXE", "E:\\"},
      {"C:\\TEMP\\DISC\\SHOWDISK.EXE", "C:\\TEMP\\DISC\\"},
      {"d:\\a b\\c.d\\showdisk.exe", "d:\\a b\\c.d\\"},
      // No drive letter and colon (a network path), or no directory: nothing.
      {"\\\\SERVER\\SHARE\\SHOWDISK.EXE", ""},
      {"SHOWDISK.EXE", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.dir, ModuleFolderOf(c.file)) << c.file;
}

TEST(NormalizedShowCommand, OnlyHideAndMinimisedWithoutActivationStay) {
  for (int command = 0; command <= 11; ++command) {
    int want = (command == 0 || command == 7) ? command : 1;
    EXPECT_EQ(want, NormalizedShowCommand(command));
  }
}

}  // namespace
