// The launcher's decisions that need no window: its own directory, the show command it
// starts with and where the frame goes on the screen.
#include <gtest/gtest.h>

#include "launcher/frame_placement.h"
#include "launcher/module_dir.h"

namespace {

TEST(ModuleDirOf, DirectoryUpToTheLastBackslash) {
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
  for (const auto& c : cases) EXPECT_EQ(c.dir, ModuleDirOf(c.file)) << c.file;
}

TEST(NormalizeLauncherCmdShow, NeverMaximisedOrMinimisedActive) {
  const struct {
    int given;
    int used;
  } cases[] = {
      {SW_HIDE, SW_HIDE},
      {SW_SHOWNORMAL, SW_SHOWNORMAL},
      {SW_SHOWMINIMIZED, SW_SHOWNORMAL},
      {SW_SHOWMAXIMIZED, SW_SHOWNORMAL},
      {SW_SHOWNOACTIVATE, SW_SHOWNORMAL},
      {SW_SHOW, SW_SHOWNORMAL},
      {SW_MINIMIZE, SW_SHOWNORMAL},
      {SW_SHOWMINNOACTIVE, SW_SHOWMINNOACTIVE},
      {SW_SHOWNA, SW_SHOWNORMAL},
      {SW_RESTORE, SW_SHOWNORMAL},
      {SW_SHOWDEFAULT, SW_SHOWNORMAL},
  };
  for (const auto& c : cases) EXPECT_EQ(c.used, NormalizeLauncherCmdShow(c.given)) << c.given;
}

TEST(CentredOrigin, SignedAndTruncatedTowardZero) {
  const struct {
    int screenW, screenH, w, h, x, y;
  } cases[] = {
      {1024, 768, 651, 406, 186, 181},
      {1024, 768, 1024, 768, 0, 0},
      // Larger than the screen: negative, -6.5 truncates to -6.
      {640, 480, 653, 406, -6, 37},
      {640, 480, 651, 491, -5, -5},
  };
  for (const auto& c : cases) {
    POINT origin = CentredOrigin(c.screenW, c.screenH, c.w, c.h);
    EXPECT_EQ(c.x, origin.x);
    EXPECT_EQ(c.y, origin.y);
  }
}

}  // namespace
