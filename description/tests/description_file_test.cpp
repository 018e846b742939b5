// The description file's rules: where it is looked for, how it is read, how it is written,
// and that what the builder writes reads back whole.

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "description/description_file.h"

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

TEST(PatchBesideDescription, CurrentFolderFirstThenBesideTheDescription) {
  const std::string description = "D:\\PATCHES\\TOOL.MNI";
  struct Case {
    const char* patch;
    std::vector<std::string> existing;
    std::string want;
  } cases[] = {
      {"TOOL.CAB", {"D:\\PATCHES\\TOOL.CAB"}, "D:\\PATCHES\\TOOL.CAB"},
      {"TOOL.CAB", {"TOOL.CAB", "D:\\PATCHES\\TOOL.CAB"}, "TOOL.CAB"},
      {"TOOL.CAB", {}, "TOOL.CAB"},
      {"SUB\\TOOL.CAB", {"D:\\PATCHES\\SUB\\TOOL.CAB"}, "D:\\PATCHES\\SUB\\TOOL.CAB"},
      {"C:\\TOOL.CAB", {"D:\\PATCHES\\C:\\TOOL.CAB"}, "C:\\TOOL.CAB"},
      {"\\TOOL.CAB", {"D:\\PATCHES\\\\TOOL.CAB"}, "\\TOOL.CAB"},
  };
  for (const Case& c : cases) {
    auto exists = [&](const std::string& path) {
      for (const std::string& e : c.existing)
        if (e == path) return true;
      return false;
    };
    EXPECT_EQ(c.want, PatchBesideDescription(c.patch, description, exists)) << c.patch;
  }
  // A description named without a folder leaves the value to the current folder.
  EXPECT_EQ("TOOL.CAB", PatchBesideDescription("TOOL.CAB", "TOOL.MNI", [](const std::string&) { return true; }));
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
      {{{"Name", "..\\TOOL.EXE"}, {"DefaultPath", "X"}, {"Patch", "P.CAB"}}, false, {"Name"}},
      {{{"Name", "C:TOOL.EXE"}, {"DefaultPath", "X"}, {"Patch", "P.CAB"}}, false, {"Name"}},
      {{{"Name", "BIN/TOOL.EXE"}, {"DefaultPath", "X"}, {"Patch", "P.CAB"}}, false, {"Name"}},
      {{{"Name", ".."}, {"DefaultPath", "X"}, {"Patch", "P.CAB"}}, false, {"Name"}},
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

// The keys of a formatted text, as the private-profile reader would find them.
std::map<std::string, std::string> Keys(const std::string& text) {
  std::map<std::string, std::string> keys;
  size_t at = text.find("\r\n") + 2;  // after "[Application]"
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    const std::string line = text.substr(at, end - at);
    keys[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  }
  return keys;
}

TEST(FormatDescription, WritesWhatReadsBackAndRefusesWhatCannot) {
  const std::string longest(MaxDescriptionValue, 'P');
  struct Case {
    std::string Name, DefaultPath, Patch;
    std::string WantDefaultPath;  // "" when refused
  } cases[] = {
      {"TOOL.EXE", "&PROGRAMS&\\TOOL", "PATCH.CAB", "&PROGRAMS&\\TOOL\\"},
      {"TOOL.EXE", "C:\\TOOL\\", longest, "C:\\TOOL\\"},
      {"TOOL.EXE", "C:\\TOOL", longest + "P", ""},
      {"", "C:\\TOOL", "PATCH.CAB", ""},
      {"TOOL.EXE", "C:\\TOOL", "PATCH\nCAB", ""},
      {"BIN\\TOOL.EXE", "C:\\TOOL", "PATCH.CAB", ""},
      {"TOOL.EXE", std::string(MaxDescriptionValue, 'D'), "PATCH.CAB", ""},  // the backslash makes it too long
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name + " " + c.DefaultPath.substr(0, 20) + " " + c.Patch.substr(0, 20));
    std::string text, error;
    const bool written = FormatDescription(c.Name, c.DefaultPath, c.Patch, text, error);
    EXPECT_EQ(!c.WantDefaultPath.empty(), written) << error;
    if (!written) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    std::map<std::string, std::string> keys = Keys(text);
    TDescription description;
    ASSERT_TRUE(ReadDescription([&](const char* key) { return keys[key].substr(0, DescriptionValueSize - 1); },
                                description));
    EXPECT_EQ(c.Name, description.Name);
    EXPECT_EQ(c.WantDefaultPath, description.DefaultPath);
    EXPECT_EQ(c.Patch, description.Patch);
  }
}
}  // namespace

namespace {
TEST(DescriptionTextReader, ReadsAsTheProfileReaderDoes) {
  const std::string text =
      "; made by hand\n[Other]\r\nName=WRONG.EXE\r\n [ application ] \r\n  name =  TOOL.EXE  \r\n"
      "DefaultPath=\"&PROGRAMS&\\TOOL\\\"\rPatch=" + std::string(500, 'P') + "\r\nName=LATER.EXE\r\n[Application]\r\nExtra=1\r\n";
  const TKeyReader read = DescriptionTextReader(text);
  const struct {
    const char* Key;
    std::string Want;
  } cases[] = {
      {"Name", "TOOL.EXE"},
      {"DefaultPath", "&PROGRAMS&\\TOOL\\"},
      {"Patch", std::string(DescriptionValueSize - 1, 'P')},
      {"Extra", ""},  // in a second section of that name
      {"Missing", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(read(c.Key), c.Want) << c.Key;
}
}  // namespace

// The vendor identity: written only where given, read back, and worded for the window.
TEST(VendorIdentity, WrittenReadBackAndWorded) {
  struct TCase {
    TVendorIdentity Vendor;
    const char* Updates;
    const char* Product;
  } cases[] = {
      {{}, "", ""},
      {{"Tarvel Notes", "1.1", "1.0", "Tarvel Ltd"}, "Updates Tarvel Notes from 1.0 to 1.1 (Tarvel Ltd)", "Tarvel Notes 1.1"},
      {{"Tarvel Notes", "1.1", "", ""}, "Updates Tarvel Notes to 1.1", "Tarvel Notes 1.1"},
      {{"Tarvel Notes", "", "", ""}, "Updates Tarvel Notes", "Tarvel Notes"},
      {{"", "2.0", "1.5", ""}, "Updates the application from 1.5 to 2.0", "2.0"},
  };
  for (const TCase& c : cases) {
    std::string text, error;
    ASSERT_TRUE(FormatDescription("APP.EXE", "C:\\APP", "PATCH.CAB", text, error, c.Vendor)) << error;
    EXPECT_EQ(c.Vendor.Empty(), text.find("Product=") == std::string::npos && text.find("Version=") == std::string::npos);
    TDescription read;
    ASSERT_TRUE(ReadDescription(DescriptionTextReader(text), read));
    ReadVendorIdentity(DescriptionTextReader(text), read.Vendor);
    EXPECT_EQ(c.Vendor.Product, read.Vendor.Product);
    EXPECT_EQ(c.Vendor.Version, read.Vendor.Version);
    EXPECT_EQ(c.Vendor.FromVersion, read.Vendor.FromVersion);
    EXPECT_EQ(c.Vendor.Publisher, read.Vendor.Publisher);
    EXPECT_EQ(c.Updates, UpdatesText(read.Vendor));
    EXPECT_EQ(c.Product, ProductText(read.Vendor));
  }
  std::string text, error;
  EXPECT_FALSE(FormatDescription("APP.EXE", "C:\\APP", "PATCH.CAB", text, error, {"A\r\nName=X.EXE", "", "", ""}));
}
