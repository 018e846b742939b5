// TCABPacker against the system cabinet library: cabinets are built with the binding's own
// building side and extracted again through its callbacks.

#include <gtest/gtest.h>

#include <cstring>

#include "cabinet/cab_packer.h"
#include "tests/support/cab_test_support.h"
#include "cabinet/open_flags.h"

namespace {
const WORD OldDate = MakeDosDate(2001, 2, 3);
const WORD OldTime = MakeDosTime(4, 5, 6);
const DWORD OldStamp = DWORD(OldDate) << 16 | OldTime;

// The attribute bits a file keeps: Wine reports every plain file as archived, so the
// archive bit tells nothing there and is left out of the comparisons.
DWORD KeptAttributes(const std::string& path) {
  return GetFileAttributesA(path.c_str()) & ~DWORD(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL);
}

// Whether this system refuses to open a read-only file for writing. Windows does; Wine
// running as root does not (the Unix permission check does not apply to root), and then a
// file archived read-only receives its archived time after all.
bool ReadOnlyRefusesWriting() {
  TScratchFolder dir("cabtest", true);
  WriteFile(dir / "probe", "x");
  SetFileAttributesA((dir / "probe").c_str(), FILE_ATTRIBUTE_READONLY);
  HANDLE file = CreateFileA((dir / "probe").c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  CloseHandle(file);
  return false;
}

TEST(CabPacker, OneFileIsExtractedAndClosedOnce) {
  TScratchFolder dir("cabtest", true);
  WriteFile(dir / "source.dat", "first file contents");
  ASSERT_TRUE(MakeCabinetWithFci(dir / "one.cab", {{dir / "source.dat", "data.bin"}}));

  TScratchFolder out("cabtest", true);  // the base extracts below the current directory
  TRecordingPacker packer;
  EXPECT_TRUE(packer.Unpack("one.cab", dir.Dir().c_str(), 0));
  EXPECT_EQ(std::vector<std::string>{"data.bin"}, packer.Extracted);
  EXPECT_EQ(std::vector<std::string>{"data.bin"}, packer.Closed);
  EXPECT_EQ("first file contents", ReadFile(out / "data.bin"));
  EXPECT_EQ(0u, packer.Shown.size());
  EXPECT_EQ(&packer, TCABPacker::ActivePacker());
}

TEST(CabPacker, ThreeFilesAreExtractedInCabinetOrder) {
  TScratchFolder dir("cabtest", true);
  WriteFile(dir / "a", "alpha");
  WriteFile(dir / "b", Incompressible(70000, 1));
  WriteFile(dir / "c", "gamma");
  ASSERT_TRUE(MakeCabinetWithFci(dir / "three.cab", {{dir / "c", "c.txt"}, {dir / "a", "a.txt"}, {dir / "b", "b.bin"}}));

  TScratchFolder out("cabtest", true);
  TRecordingPacker packer;
  EXPECT_TRUE(packer.Unpack("three.cab", dir.Dir().c_str(), 0));
  const std::vector<std::string> order{"c.txt", "a.txt", "b.bin"};
  EXPECT_EQ(order, packer.Extracted);
  EXPECT_EQ(order, packer.Closed);
  EXPECT_EQ("gamma", ReadFile(out / "c.txt"));
  EXPECT_EQ("alpha", ReadFile(out / "a.txt"));
  EXPECT_TRUE(ReadFile(dir / "b") == ReadFile(out / "b.bin"));
}

TEST(CabPacker, MissingCabinetIsReportedWithItsFullPathAndStillUnpacks) {
  TScratchFolder dir("cabtest", true);
  TRecordingPacker packer;
  EXPECT_TRUE(packer.Unpack("missing.cab", dir.Dir().c_str(), 0));
  const std::vector<TShown> want{{true, "Error opening file: " + dir.Dir() + "missing.cab, error code: 2"}};
  EXPECT_EQ(want, packer.Shown);
  EXPECT_EQ(0u, packer.Extracted.size());
}

// Texts longer than the library's fields are not handed to it: no extraction starts.
TEST(CabPacker, OverlongCabinetPathIsRefused) {
  TRecordingPacker packer;
  const std::string longName(CB_MAX_CABINET_NAME, 'n');
  const std::string longDirectory = "C:\\" + std::string(CB_MAX_CAB_PATH, 'd') + "\\";
  EXPECT_FALSE(packer.Unpack(longName.c_str(), "C:\\", 0));
  EXPECT_FALSE(packer.Unpack("patch.cab", longDirectory.c_str(), 0));
  EXPECT_EQ(0u, packer.Shown.size());
}

TEST(CabPacker, FileThatIsNotACabinetExtractsNothing) {
  TScratchFolder dir("cabtest", true);
  WriteFile(dir / "text.cab", "This is a plain text file, not a cabinet at all.\r\n");
  TRecordingPacker packer;
  EXPECT_TRUE(packer.Unpack("text.cab", dir.Dir().c_str(), 0));
  EXPECT_EQ(0u, packer.Extracted.size());
  EXPECT_EQ(0u, packer.Shown.size());
}

// The archived attributes are applied masked with 0x27 (read-only, hidden, system, archive);
// the archived time only when the file can still be opened for writing afterwards.
TEST(CabPacker, ArchivedAttributesAndTimeAreApplied) {
  struct Case {
    const char* Name;
    USHORT Archived;
    DWORD WantAttributes;
    bool WantOldTime;
  } cases[] = {
      {"plain", 0x00, 0, true},
      {"archive", 0x20, 0, true},
      {"hidden_system", 0x26, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, true},
      // Directory, volume, execute and UTF-8-name bits are not applied.
      {"high_bits", 0xF8, 0, true},
      {"high_bits_hidden", 0xD0 | 0x02, FILE_ATTRIBUTE_HIDDEN, true},
      {"all_bits", 0xFF, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, false},
      // Read-only is set before the time, so the write-open fails and the time stays.
      {"read_only", 0x21, FILE_ATTRIBUTE_READONLY, false},
  };
  const bool readOnlyRefused = ReadOnlyRefusesWriting();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TScratchFolder dir("cabtest", true);
    WriteFile(dir / "source", c.Name);
    SetLocalDosStamp(dir / "source", OldDate, OldTime);
    TRecordingPacker builder;
    builder.ForceAttributes = true;
    builder.ForcedAttributes = c.Archived;
    ASSERT_TRUE(MakeCabinetWithFci(builder, dir / "attr.cab", {{dir / "source", "file"}}));

    TScratchFolder out("cabtest", true);
    TRecordingPacker packer;
    EXPECT_TRUE(packer.Unpack("attr.cab", dir.Dir().c_str(), 0));
    EXPECT_EQ(c.WantAttributes, KeptAttributes(out / "file"));
    EXPECT_EQ(c.Name, ReadFile(out / "file"));
    if (c.WantOldTime || !readOnlyRefused)
      EXPECT_EQ(OldStamp, LocalStampOf(out / "file"));
    else
      EXPECT_NE(OldStamp, LocalStampOf(out / "file"));
  }
}

TEST(CabPacker, ReadOnlySourceIsArchivedReadOnly) {
  TScratchFolder dir("cabtest", true);
  WriteFile(dir / "source", "locked");
  SetLocalDosStamp(dir / "source", OldDate, OldTime);
  SetFileAttributesA((dir / "source").c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(MakeCabinetWithFci(dir / "ro.cab", {{dir / "source", "ro.txt"}}));

  TScratchFolder out("cabtest", true);
  TRecordingPacker packer;
  EXPECT_TRUE(packer.Unpack("ro.cab", dir.Dir().c_str(), 0));
  EXPECT_EQ(DWORD(FILE_ATTRIBUTE_READONLY), KeptAttributes(out / "ro.txt"));
  if (ReadOnlyRefusesWriting())
    EXPECT_NE(OldStamp, LocalStampOf(out / "ro.txt"));
  else
    EXPECT_EQ(OldStamp, LocalStampOf(out / "ro.txt"));
}

// A set built with a small size limit continues into set.001: the extraction stops at the
// first file that runs on into the next cabinet.
TEST(CabPacker, CabinetSetStopsAtTheNextCabinet) {
  TScratchFolder dir("cabtest", true);
  WriteFile(dir / "a", "small first file");
  WriteFile(dir / "b", Incompressible(120000, 2));
  WriteFile(dir / "c", "after the split");
  TRecordingPacker builder;
  ASSERT_TRUE(MakeCabinetWithFci(builder, dir / "set.cab", {{dir / "a", "a"}, {dir / "b", "b"}, {dir / "c", "c"}}, 60000));
  EXPECT_TRUE(FileExists(dir / "set.cab"));
  EXPECT_TRUE(FileExists(dir / "set.001"));

  TScratchFolder out("cabtest", true);
  TRecordingPacker packer;
  EXPECT_TRUE(packer.Unpack("set.cab", dir.Dir().c_str(), 0));
  EXPECT_EQ(1, packer.NextCabinetCalls);
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), packer.Extracted);
  EXPECT_EQ("small first file", ReadFile(out / "a"));
  // b runs on into set.001: only its first part is here.
  EXPECT_GT(ReadFile(dir / "b").size(), ReadFile(out / "b").size());
  EXPECT_FALSE(FileExists(out / "c"));
}

TEST(CabPacker, NextCabinetNamesFollowTheCabinetNumber) {
  struct Case {
    std::string Cab;
    int Number;
    BOOL WantResult;
    std::string WantCab, WantDisk;
  } cases[] = {
      {"patch.cab", 1, TRUE, "patch.001", "DISK1"},
      {"patch", 2, TRUE, "patch.002", "DISK2"},
      {"a.b.cab", 12, TRUE, "a.b.012", "DISK12"},
      {"set.cab", 1234, TRUE, "set.1234", "DISK1234"},
      {std::string(250, 'n'), 1, TRUE, std::string(250, 'n') + ".001", "DISK1"},
      // No room for the number: the set ends, the name is left alone.
      {std::string(253, 'n'), 1, FALSE, std::string(253, 'n'), "DISK0"},
  };
  TRecordingPacker packer;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Cab);
    CCAB cab{};
    std::strcpy(cab.szCab, c.Cab.c_str());
    std::strcpy(cab.szDisk, "DISK0");
    cab.iCab = c.Number;
    EXPECT_EQ(c.WantResult, packer.GetNextCabinet(&cab, 0));
    EXPECT_EQ(c.WantCab, std::string(cab.szCab));
    EXPECT_EQ(c.WantDisk, std::string(cab.szDisk));
  }
}

// Names stored in a cabinet are not trusted by the base's extraction: nothing is written
// outside the current directory.
TEST(CabPacker, StoredNamesOutsideTheCurrentDirectoryAreSkipped) {
  TScratchFolder dir("cabtest", true);
  WriteFile(dir / "x", "escape");
  ASSERT_TRUE(MakeCabinetWithFci(dir / "evil.cab", {{dir / "x", "..\\up.txt"},
                                              {dir / "x", "sub\\..\\..\\up2.txt"},
                                              {dir / "x", dir.Dir() + "abs.txt"},
                                              {dir / "x", "ok.txt"}}));
  TScratchFolder out("cabtest", true);
  TRecordingPacker packer;
  EXPECT_TRUE(packer.Unpack("evil.cab", dir.Dir().c_str(), 0));
  EXPECT_EQ(std::vector<std::string>{"ok.txt"}, packer.Closed);
  EXPECT_EQ("escape", ReadFile(out / "ok.txt"));
  EXPECT_FALSE(FileExists(dir / "abs.txt"));
  EXPECT_EQ(4u, packer.Extracted.size());
}

TEST(CabPacker, MessagesAreFormattedAndCutToTheBuffer) {
  TRecordingPacker packer;
  packer.Message("%d files", 3);
  packer.Error("Error reading file, error code: %d", 5);
  const std::string longText(3000, 'x');
  packer.Error("%s", longText.c_str());
  ASSERT_EQ(3u, packer.Shown.size());
  EXPECT_EQ((TShown{false, "3 files"}), packer.Shown[0]);
  EXPECT_EQ((TShown{true, "Error reading file, error code: 5"}), packer.Shown[1]);
  EXPECT_EQ((TShown{true, std::string(TCABPacker::MessageBufferSize - 1, 'x')}), packer.Shown[2]);
}

// Temporary files are created by the system before the library opens them with the
// exclusive-create bit; the open must still succeed.
TEST(CabPacker, OpenIgnoresTheExclusiveCreateBit) {
  TScratchFolder dir("cabtest", true);
  TRecordingPacker packer;
  char name[MAX_PATH];
  ASSERT_TRUE(packer.GetTempFile(name, sizeof name));
  int error = -7;
  INT_PTR handle = packer.FileOpen(name, cab_open::Binary | cab_open::ReadWrite | cab_open::Create | cab_open::Exclusive,
                                   0x180, &error);
  EXPECT_NE(-1, handle);
  EXPECT_EQ(-7, error);
  EXPECT_EQ(0, packer.FileClose(handle, &error));
  EXPECT_EQ(0, packer.FileDelete(name, &error));
  EXPECT_EQ(-1, packer.FileDelete(name, &error));
  EXPECT_EQ(2, error);
  const std::vector<TShown> want{{true, std::string("Error deleting file: ") + name + ", error code: 2"}};
  EXPECT_EQ(want, packer.Shown);
  EXPECT_FALSE(packer.GetTempFile(name, 3));
}
}  // namespace
