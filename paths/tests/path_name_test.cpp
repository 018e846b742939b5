// TPathName: splitting, putting together, the absolute form and the shared result buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "paths/path_name.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <climits>
#endif

namespace {

// The current directory as the absolute form sees it, upper-cased like FullPath.
std::string CurrentDirectoryUpper() {
  std::string current;
#ifdef _WIN32
  char buffer[MAX_PATH];
  current = GetCurrentDirectoryA(sizeof buffer, buffer) ? buffer : "";
#else
  char buffer[PATH_MAX];
  current = "C:";
  for (const char* p = getcwd(buffer, sizeof buffer); p && *p; ++p) {
    current += (*p == '/') ? '\\' : *p;
  }
#endif
  for (char& c : current) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return current;
}

struct SplitCase {
  std::string text;
  const char* drive;
  const char* dir;
  const char* name;
  const char* extension;
  const char* fullPath;  // FullPath(false)
  const char* fileName;
};

const SplitCase SplitCases[] = {
    {"C:\\Program Files\\Tool\\tool.exe", "C:", "\\Program Files\\Tool\\", "tool", ".exe",
     "C:\\PROGRAM FILES\\TOOL\\TOOL.EXE", "tool.exe"},
    {"patch.cab", "", "", "patch", ".cab", "PATCH.CAB", "patch.cab"},
    {"README", "", "", "README", "", "README", "README."},
    {"archive.tar.gz", "", "", "archive.tar", ".gz", "ARCHIVE.TAR.GZ", "archive.tar.gz"},
    {"C:\\A\\..", "C:", "\\A\\..", "", "", "C:\\A\\..\\", "."},
    {"C:\\A\\.", "C:", "\\A\\.", "", "", "C:\\A\\.\\", "."},
    {"..", "", "..", "", "", "..\\", "."},
    {"C:\\A\\...", "C:", "\\A\\", "..", ".", "C:\\A\\...", "..."},
    {"a/b\\c.d/e", "", "a/b\\c.d/", "e", "", "A/B\\C.D/E", "e."},
    {"dir.x\\file", "", "dir.x\\", "file", "", "DIR.X\\FILE", "file."},
    {".profile", "", "", "", ".profile", ".PROFILE", ".profile"},
    {"name.", "", "", "name", ".", "NAME.", "name."},
    {"C:", "C:", "", "", "", "C:", "."},
    {"C:x.exe", "C:", "", "x", ".exe", "C:X.EXE", "x.exe"},
    {"d:\\", "d:", "\\", "", "", "D:\\", "."},
    {"\\\\srv\\share\\f.txt", "", "\\\\srv\\share\\", "f", ".txt", "\\\\SRV\\SHARE\\F.TXT",
     "f.txt"},
    {"", "", "", "", "", "", "."},
    // Bytes above 127 keep their value; only a to z change.
    {"C:\\\xe9t\xe9\\m\xf6te.\xe4z", "C:", "\\\xe9t\xe9\\", "m\xf6te", ".\xe4z",
     "C:\\\xe9T\xe9\\M\xf6TE.\xe4Z", "m\xf6te.\xe4z"},
};

TEST(PathName, SplitsAndPutsTogether) {
  for (const SplitCase& c : SplitCases) {
    TPathName path(c.text);
    EXPECT_EQ(std::string(c.drive), path.Drive()) << "text: " << c.text;
    EXPECT_EQ(std::string(c.dir), path.Dir()) << "text: " << c.text;
    EXPECT_EQ(std::string(c.name), path.Name()) << "text: " << c.text;
    EXPECT_EQ(std::string(c.extension), path.Extension()) << "text: " << c.text;
    EXPECT_EQ(std::string(), path.Result()) << "text: " << c.text;
    EXPECT_EQ(std::string(c.fullPath), path.FullPath(false)) << "text: " << c.text;
    EXPECT_EQ(std::string(c.fileName), path.FileName()) << "text: " << c.text;
  }
  TPathName none(static_cast<const char*>(nullptr));
  EXPECT_EQ(std::string(), none.FullPath(false));
}

// Only the first 260 characters count; each part then keeps at most 255.
TEST(PathName, CutsLongInput) {
  struct Case {
    std::string text;
    size_t dir, name, extension;
    bool cut;  // the parts hold a shortened path
  } cases[] = {
      {std::string(300, 'n'), 0, 255, 0, true},
      {"C:\\" + std::string(300, 'd') + "\\x.y", 1, 255, 0, true},
      {"C:\\" + std::string(254, 'd') + "\\x.y", 255, 1, 1, true},
      {"C:\\" + std::string(253, 'd') + "\\x.y", 255, 1, 2, false},
      {"C:\\d\\" + std::string(100, 'n') + "." + std::string(200, 'e'), 3, 100, 155, true},
      {"." + std::string(300, 'e'), 0, 0, 255, true},
      {"C:\\" + std::string(255, 'n'), 1, 255, 0, false},
      {"C:\\" + std::string(256, 'n'), 1, 255, 0, true},
  };
  for (const Case& c : cases) {
    TPathName path(c.text);
    EXPECT_EQ(c.dir, std::strlen(path.Dir())) << "text length " << c.text.size();
    EXPECT_EQ(c.name, std::strlen(path.Name())) << "text length " << c.text.size();
    EXPECT_EQ(c.extension, std::strlen(path.Extension())) << "text length " << c.text.size();
    EXPECT_EQ(c.cut, path.Cut()) << "text length " << c.text.size();
    EXPECT_EQ(c.cut, TPathName(path).Cut()) << "text length " << c.text.size();
  }
  // 260 characters end exactly after "x": the ".y" beyond them is not seen.
  TPathName cut("C:\\" + std::string(255, 'd') + "\\x.y");
  EXPECT_EQ(std::string("x"), cut.Name());
  EXPECT_EQ(std::string(), cut.Extension());
}

TEST(PathName, ResultBufferIsShared) {
  TPathName path("C:\\Program Files\\Tool\\tool.exe");
  const char* fileName = path.FileName();
  const char* fullPath = path.FullPath(false);
  EXPECT_EQ(fileName, fullPath);
  EXPECT_EQ(std::string("C:\\PROGRAM FILES\\TOOL\\TOOL.EXE"), fileName);
  EXPECT_EQ(fileName, path.Result());
}

TEST(PathName, AbsoluteForms) {
  const std::string current = CurrentDirectoryUpper();
  const std::string drive = current.substr(0, 2);
  struct Case {
    const char* text;
    std::string fullPath;   // FullPath(true)
    std::string directory;  // Directory()
  } cases[] = {
      {"C:\\Program Files\\Tool\\tool.exe", "C:\\PROGRAM FILES\\TOOL\\TOOL.EXE",
       "C:\\PROGRAM FILES\\TOOL"},
      {"C:\\X.EXE", "C:\\X.EXE", "C:"},
      {"patch.cab", current + "\\PATCH.CAB", current},
      {"sub\\..\\readme", current + "\\README", current},
      {"\\tool.exe", drive + "\\TOOL.EXE", drive},
      {"C:\\A\\..", "C:\\", "C:"},
      {"d:\\a\\b\\", "D:\\A\\B\\", "D:\\A\\B"},
  };
  for (const Case& c : cases) {
    TPathName path(c.text);
    EXPECT_EQ(c.fullPath, path.FullPath(true)) << "text: " << c.text;
    EXPECT_EQ(c.directory, path.Directory()) << "text: " << c.text;
  }
}

// A text the result buffer cannot hold, or whose absolute form is longer than 259
// characters, gives an empty result rather than a shortened path.
TEST(PathName, OverlongResultsAreEmpty) {
  TPathName path("C:\\" + std::string(250, 'd') + "\\x");
  EXPECT_EQ(size_t(255), std::strlen(path.FullPath(true)));
  path.SetExtension(std::string(10, 'e').c_str());
  EXPECT_EQ(size_t(266), std::strlen(path.FullPath(false)));
  EXPECT_EQ(std::string(), path.FullPath(true));
  EXPECT_EQ(std::string(), path.Directory());

  ASSERT_TRUE(path.SetExtension(std::string(256, 'e').c_str()));
  EXPECT_EQ(std::string(), path.FullPath(false));  // 2 + 252 + 1 + 1 + 256 characters
  TPathName longName(std::string(255, 'n'));
  ASSERT_TRUE(longName.SetExtension(std::string(256, 'e').c_str()));
  EXPECT_EQ(std::string(), longName.FileName());
  ASSERT_TRUE(longName.SetExtension(std::string(44, 'e').c_str()));
  EXPECT_EQ(size_t(300), std::strlen(longName.FileName()));
}

TEST(PathName, SetExtension) {
  TPathName path("C:\\App\\main.exe");
  EXPECT_TRUE(path.SetExtension("$$$"));
  EXPECT_EQ(std::string("C:\\APP\\MAIN.$$$"), path.FullPath(false));
  EXPECT_EQ(std::string("main.$$$"), path.FileName());
  EXPECT_TRUE(path.SetExtension(std::string(256, 'e').c_str()));
  EXPECT_EQ(size_t(256), std::strlen(path.Extension()));
  EXPECT_FALSE(path.SetExtension(std::string(257, 'x').c_str()));
  EXPECT_EQ(std::string(256, 'e'), path.Extension());
}

TEST(PathName, SetFileName) {
  struct Case {
    std::string text;
    std::string name, extension;
  } cases[] = {
      {"new.txt", "new", ".txt"},
      {"a.b.c", "a", ".b.c"},
      {"plain", "plain", ""},
      {"", "", ""},
      {std::string(60, 'n'), std::string(49, 'n'), ""},
      {std::string(48, 'n') + ".txt", std::string(48, 'n'), "."},
  };
  for (const Case& c : cases) {
    TPathName path("C:\\D\\old.exe");
    path.SetFileName(c.text.c_str());
    EXPECT_EQ(c.name, path.Name()) << "text: " << c.text;
    EXPECT_EQ(c.extension, path.Extension()) << "text: " << c.text;
    EXPECT_EQ(std::string("\\D\\"), path.Dir()) << "text: " << c.text;
  }
}

TEST(PathName, Normalize) {
  struct Case {
    const char* text;
    const char* drive;
    const char* dir;
    const char* name;
    const char* extension;
  } cases[] = {
      {"c:\\a\\b\\..\\x.exe", "C:", "\\A\\", "X", ".EXE"},
      {"C:\\A\\B", "C:", "\\A\\", "B", ""},
      {"C:\\A\\..", "C:", "\\", "", ""},
      {"C:\\A\\B\\", "C:", "\\A\\B\\", "", ""},
      {"C:\\A\\B\\.", "C:", "\\A\\B\\", "", ""},
  };
  for (const Case& c : cases) {
    TPathName path(c.text);
    path.Normalize();
    EXPECT_EQ(std::string(c.drive), path.Drive()) << "text: " << c.text;
    EXPECT_EQ(std::string(c.dir), path.Dir()) << "text: " << c.text;
    EXPECT_EQ(std::string(c.name), path.Name()) << "text: " << c.text;
    EXPECT_EQ(std::string(c.extension), path.Extension()) << "text: " << c.text;
  }
  // Without an absolute form the parts stay as they were.
  TPathName empty;
  empty.Normalize();
  EXPECT_EQ(std::string(), empty.Dir());
}

TEST(PathName, AppendDirAndUpDir) {
  TPathName path("C:\\A\\");
  path.FullPath(false);
  EXPECT_TRUE(path.AppendDir("B"));
  EXPECT_EQ(std::string("C:\\A\\B\\"), path.Result());
  EXPECT_TRUE(path.AppendDir("C\\"));
  EXPECT_EQ(std::string("C:\\A\\B\\C\\"), path.Result());
  EXPECT_TRUE(path.AppendDir(""));
  EXPECT_EQ(std::string("C:\\A\\B\\C\\"), path.Result());

  const char* ups[] = {"C:\\A\\B\\", "C:\\A\\", "C:\\", "C:\\"};
  for (const char* want : ups) {
    path.UpDir();
    EXPECT_EQ(std::string(want), path.Result());
  }
  TPathName noSlash("C:\\A\\B");
  noSlash.FullPath(false);
  noSlash.UpDir();
  EXPECT_EQ(std::string("C:\\A\\"), noSlash.Result());
  TPathName empty;
  empty.UpDir();
  EXPECT_EQ(std::string(), empty.Result());
  EXPECT_TRUE(empty.AppendDir(""));
  EXPECT_EQ(std::string("\\"), empty.Result());

  // Up to 300 characters fit; one more, with the closing backslash, is refused whole.
  TPathName full;
  EXPECT_TRUE(full.AppendDir(std::string(298, 'a').c_str()));
  EXPECT_FALSE(full.AppendDir("b"));
  EXPECT_EQ(size_t(299), std::strlen(full.Result()));
  EXPECT_TRUE(full.AppendDir("\\"));
  EXPECT_EQ(size_t(300), std::strlen(full.Result()));
  EXPECT_FALSE(full.AppendDir("\\"));
}

TEST(PathName, AssignmentCopiesPartsNotResult) {
  TPathName source("D:\\Src\\one.txt");
  source.FileName();
  TPathName target("C:\\x");
  target.FullPath(false);
  target = source;
  EXPECT_EQ(std::string("C:\\X"), target.Result());
  EXPECT_EQ(std::string("D:\\SRC\\ONE.TXT"), target.FullPath(false));
  TPathName copy(source);
  EXPECT_EQ(std::string(), copy.Result());
  EXPECT_EQ(std::string("one.txt"), copy.FileName());
  const TPathName& alias = copy;
  copy = alias;
  EXPECT_EQ(std::string("one.txt"), copy.FileName());
}

}  // namespace
