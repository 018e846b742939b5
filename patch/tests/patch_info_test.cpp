// Record headers: the byte layout, and the parts of a header that cannot be trusted.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "patch/patch_info.h"
#include "patch/patch_writer.h"

namespace {

TEST(PatchInfo, ReadsEveryFieldLittleEndian) {
  uint8_t raw[TPatchInfo::Size] = {};
  std::memcpy(raw, "&ROOT&\\MAIN.EXE", 15);
  const uint8_t fields[] = {0x11, 0x22, 0x33, 0x44,  0x55, 0x66, 0x77, 0x88,  0x02, 0x04, 0, 0,
                            0x00, 0x01, 0x00, 0x00,  0xE1, 0x00, 0x00, 0x00,  0xAA};
  std::memcpy(raw + 200, fields, sizeof fields);
  TPatchInfo info;
  ParsePatchInfo(raw, info);
  EXPECT_EQ(std::string("&ROOT&\\MAIN.EXE"), info.Path);
  EXPECT_EQ(0x44332211u, info.Stamp);
  EXPECT_EQ(0x88776655u, info.NewStamp);
  EXPECT_EQ(0x402u, info.PatchType);
  EXPECT_EQ(static_cast<uint32_t>(ptDelete), info.Type());
  EXPECT_EQ(256, info.RecordOffset);
  EXPECT_EQ(225, info.RecordSize);
  EXPECT_EQ(4, info.DataSize());
  EXPECT_EQ(477, info.DataOffset());
}

TEST(PatchInfo, PathWithoutZeroIsTakenAsTwoHundredCharacters) {
  uint8_t raw[TPatchInfo::Size];
  std::memset(raw, 'A', sizeof raw);
  TPatchInfo info;
  ParsePatchInfo(raw, info);
  EXPECT_EQ(std::string(200, 'A'), info.Path);
}

TEST(PatchInfo, NegativeFieldsStayNegative) {
  TPatchInfo written = MakePatchInfo("X", ptCopy, 1, 2);
  written.RecordOffset = -5;
  written.RecordSize = INT32_MIN;
  uint8_t raw[TPatchInfo::Size];
  FormatPatchInfo(written, raw);
  TPatchInfo read;
  ParsePatchInfo(raw, read);
  EXPECT_EQ(-5, read.RecordOffset);
  EXPECT_EQ(INT32_MIN, read.RecordSize);
  EXPECT_EQ(static_cast<int64_t>(INT32_MIN) - 221, read.DataSize());
}

TEST(PatchInfo, WriterLaysRecordsEndToEnd) {
  TPatchWriter writer;
  writer.AddCopy("&ROOT&\\A.TXT", MakeDosStamp(2001, 2, 3, 4, 5, 6), {1, 2, 3});
  // A header built by hand may fill the whole Path field (a damaged file's case).
  writer.AddRecord(MakePatchInfo(std::string(250, 'B'), ptDelete, 7), {});
  ASSERT_EQ(221u + 3 + 221, writer.Bytes().size());
  TPatchInfo first, second;
  ParsePatchInfo(writer.Bytes().data(), first);
  ParsePatchInfo(writer.Bytes().data() + 224, second);
  EXPECT_EQ(std::string("&ROOT&\\A.TXT"), first.Path);
  EXPECT_EQ(MakeDosStamp(2001, 2, 3, 4, 5, 6), first.Stamp);
  EXPECT_EQ(0, first.RecordOffset);
  EXPECT_EQ(224, first.RecordSize);
  EXPECT_EQ(static_cast<uint32_t>(ptCopy), first.PatchType);
  EXPECT_EQ(std::string(200, 'B'), second.Path);
  EXPECT_EQ(224, second.RecordOffset);
  EXPECT_EQ(221, second.RecordSize);
  EXPECT_EQ(0, writer.Bytes()[224 + 220]);
}

// Writers refuse a path that does not fit the field with its zero, or that leaves the folder
// of its macro.
TEST(PatchInfo, WriterRefusesPathsThatDoNotFitOrLeaveTheirFolder) {
  const std::string root = "&ROOT&\\";
  const struct {
    std::string Path;
    bool Allowed;
  } cases[] = {
      {root + "P", true},
      {root + std::string(199 - root.size(), 'P'), true},
      {root + std::string(200 - root.size(), 'P'), false},
      {root + std::string(250, 'P'), false},
      {"", false},
      {"P.DLL", false},
      {"C:\\P.DLL", false},
      {"\\\\HOST\\SHARE\\P.DLL", false},
      {"&ROOT&_OLD\\P.DLL", false},
      {root + "..\\P.DLL", false},
      {root + "SUB\\..\\..\\P.DLL", false},
      {root + "SUB\\\\P.DLL", false},
      {root + "AUX.C", false},
      {root + "P.DLL:STREAM", false},
      {root + "P.DLL.", false},
      {root + "P.DLL ", false},
      {root + "..\\APP.MENDITCON-UNDO\\P.DLL", false},
      {"&SYSTEM&\\SUB\\P.DLL", true},
  };
  for (const auto& c : cases) {
    TPatchWriter writer;
    EXPECT_EQ(c.Allowed, writer.AddCopy(c.Path, 1, {1})) << c.Path;
    EXPECT_EQ(c.Allowed, writer.AddModify(c.Path, 1, 2, {0})) << c.Path;
    EXPECT_EQ(c.Allowed, writer.AddDelete(c.Path, 1)) << c.Path;
    EXPECT_EQ(c.Allowed ? 3 * 221u + 2 : 0u, writer.Bytes().size()) << c.Path;
    if (!c.Allowed) continue;
    TPatchInfo read;
    ParsePatchInfo(writer.Bytes().data(), read);
    EXPECT_EQ(c.Path, read.Path);
  }
  EXPECT_FALSE(TPatchWriter::PathFits(std::string("A\0B", 3)));
}

TEST(DosStamp, PacksDateAboveTime) {
  // 2026-12-07 21:48:06: date word 0x5D87, time word 0xAE03.
  EXPECT_EQ(0x5D87AE03u, MakeDosStamp(2026, 12, 7, 21, 48, 6));
  EXPECT_EQ(0x5D87, DosDate(MakeDosStamp(2026, 12, 7, 21, 48, 6)));
  EXPECT_EQ(0xAE03, DosTime(MakeDosStamp(2026, 12, 7, 21, 48, 6)));
}

}  // namespace
