// The portable rendering of the absolute form: a fixed table against a known current
// directory, and in the Windows build the same inputs against GetFullPathNameA itself.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "paths/full_path.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct ResolveCase {
  const char* text;
  const char* want;  // against C:\WORK\DIR; "" when no absolute form exists
};

const ResolveCase ResolveCases[] = {
    {"patch.cab", "C:\\WORK\\DIR\\patch.cab"},
    {"sub\\x.exe", "C:\\WORK\\DIR\\sub\\x.exe"},
    {"sub/x.exe", "C:\\WORK\\DIR\\sub\\x.exe"},
    {".", "C:\\WORK\\DIR"},
    {"..", "C:\\WORK"},
    {"..\\..\\..\\x", "C:\\x"},
    {"sub\\", "C:\\WORK\\DIR\\sub\\"},
    {"a\\.\\b\\..\\c", "C:\\WORK\\DIR\\a\\c"},
    {"a\\\\b", "C:\\WORK\\DIR\\a\\b"},
    {"\\x.exe", "C:\\x.exe"},
    {"/x/y", "C:\\x\\y"},
    {"C:\\A\\..", "C:\\"},
    {"C:\\A\\..\\", "C:\\"},
    {"C:\\", "C:\\"},
    {"C:", "C:\\WORK\\DIR"},
    {"C:x.exe", "C:\\WORK\\DIR\\x.exe"},
    {"c:x.exe", "C:\\WORK\\DIR\\x.exe"},
    {"D:x.exe", "D:\\x.exe"},
    {"D:\\A\\B\\", "D:\\A\\B\\"},
    {"readme.", "C:\\WORK\\DIR\\readme"},
    {"name. .", "C:\\WORK\\DIR\\name"},
    {"\\\\server\\share\\a\\..\\..\\b", "\\\\server\\share\\b"},
    {"", ""},
};

TEST(ResolveWindowsPath, AgainstAKnownCurrentDirectory) {
  for (const ResolveCase& c : ResolveCases) {
    char out[260];
    const bool ok = ResolveWindowsPath(c.text, "C:\\WORK\\DIR", out, sizeof out);
    EXPECT_EQ(c.want[0] != '\0', ok) << "text: " << c.text;
    EXPECT_EQ(std::string(c.want), std::string(out)) << "text: " << c.text;
  }
}

TEST(ResolveWindowsPath, RefusesAResultThatDoesNotFit) {
  char out[13];
  std::memset(out, 'x', sizeof out);
  EXPECT_FALSE(ResolveWindowsPath("C:\\ABCDEFGHIJ", "C:\\", out, sizeof out));  // 13 characters
  EXPECT_EQ(std::string(), std::string(out));
  EXPECT_TRUE(ResolveWindowsPath("C:\\ABCDEFGHI", "C:\\", out, sizeof out));  // 12 characters
  EXPECT_EQ(std::string("C:\\ABCDEFGHI"), std::string(out));
}

#ifdef _WIN32
// Inputs left out of the comparison: a UNC path needs a network; Wine takes "/x" as a Unix
// path (Z:\x) where Windows roots it on the current drive; and Wine answers a bare current
// drive ("C:") with a closing backslash, which the stand-in leaves off.
bool SkipUnderWine(const char* text) {
  return std::strncmp(text, "\\\\", 2) == 0 || text[0] == '/' ||
         (text[0] != '\0' && text[1] == ':' && text[2] == '\0');
}

// The stand-in is only worth running natively if it agrees with the real service.
TEST(ResolveWindowsPath, AgreesWithGetFullPathName) {
  char start[MAX_PATH];
  ASSERT_NE(0u, GetCurrentDirectoryA(sizeof start, start));
  // Once from the test's own directory (under Wine on drive Z:), once from drive C:, where
  // "C:x" is relative to the current directory and "D:x" to the root of D:.
  for (const char* directory : {static_cast<const char*>(start), "C:\\windows\\system32"}) {
    ASSERT_TRUE(SetCurrentDirectoryA(directory)) << directory;
    char current[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(sizeof current, current));
    for (const ResolveCase& c : ResolveCases) {
      if (SkipUnderWine(c.text)) continue;
      char want[260] = "";
      const DWORD length = GetFullPathNameA(c.text, sizeof want, want, nullptr);
      char got[260];
      const bool ok = ResolveWindowsPath(c.text, current, got, sizeof got);
      EXPECT_EQ(length != 0, ok) << current << " text: " << c.text;
      if (length != 0) {
        EXPECT_EQ(std::string(want), std::string(got)) << current << " text: " << c.text;
      }
    }
  }
  SetCurrentDirectoryA(start);
}
#endif

}  // namespace
