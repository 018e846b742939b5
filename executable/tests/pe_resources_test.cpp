#include <gtest/gtest.h>

#include <cstring>

#include "byte_order/little_endian.h"
#include "executable/pe_image.h"
#include "executable/pe_resources.h"
#include "executable/version_resource.h"
#include "tests/support/synthetic_pe.h"

namespace {

std::vector<TResource> SampleResources() {
  TResource icon{TResourceName::Number(ResourceTypeIcon), TResourceName::Number(2), 0x409, 0, {1, 2, 3, 4, 5}};
  TResource named{{0, u"PICTURES"}, {0, u"LOGO"}, 0x415, 1250, std::vector<uint8_t>(700, 0xAB)};
  TResource manifest{TResourceName::Number(ResourceTypeManifest), TResourceName::Number(1), 0x409, 0, {'<', 'x', '/', '>'}};
  return {icon, named, manifest};
}

// A synthetic program with the header fields a loader needs and a writer of sections reads:
// the alignments and the size of the headers.
std::vector<uint8_t> Stub(uint32_t seed, bool wide) {
  std::vector<uint8_t> file = MakeSyntheticPe(20, seed, wide).Old;
  WriteUInt32le(&file[0x98 + 32], synthetic_pe::SectionAlign);
  WriteUInt32le(&file[0x98 + 36], synthetic_pe::FileAlign);
  WriteUInt32le(&file[0x98 + 60], synthetic_pe::HeaderSize);
  return file;
}

// The file with one more section (raw bytes filler) after the others.
std::vector<uint8_t> WithSectionAfter(std::vector<uint8_t> file, uint32_t filler) {
  const size_t pe = ReadUInt32le(&file[0x3C]), count = ReadUInt16le(&file[pe + 6]);
  const size_t table = pe + 24 + ReadUInt16le(&file[pe + 20]), header = table + 40 * count;
  const size_t last = header - 40;
  const uint32_t rva = ReadUInt32le(&file[last + 12]) + 0x1000 * ((ReadUInt32le(&file[last + 8]) + 0xFFF) / 0x1000);
  std::memcpy(&file[header], ".reloc", 6);
  WriteUInt32le(&file[header + 8], 0x200);
  WriteUInt32le(&file[header + 12], rva);
  WriteUInt32le(&file[header + 16], 0x200);
  WriteUInt32le(&file[header + 20], static_cast<uint32_t>(file.size()));
  WriteUInt16le(&file[pe + 6], static_cast<uint16_t>(count + 1));
  WriteUInt32le(&file[pe + 24 + 56], rva + 0x1000);
  file.insert(file.end(), 0x200, static_cast<uint8_t>(filler));
  return file;
}

void ExpectSame(const std::vector<TResource>& want, const std::vector<TResource>& got, const char* name) {
  ASSERT_EQ(want.size(), got.size()) << name;
  for (const TResource& w : want) {
    bool found = false;
    for (const TResource& g : got)
      found |= g.Type == w.Type && g.Name == w.Name && g.Language == w.Language && g.CodePage == w.CodePage &&
               g.Bytes == w.Bytes;
    EXPECT_TRUE(found) << name << ": a resource of type " << w.Type.Id << " name " << w.Name.Id << " is not read back";
  }
}

// Stubs without resources, with them in a last section, with them in a section that others
// follow (where the new tree fits or not), and of both machines: what is written reads back, the other sections keep their
// bytes, and the headers still hold together.
TEST(PeResources, WrittenResourcesReadBackWhereverTheTreeWas) {
  const std::vector<uint8_t> plain32 = Stub(5, false), plain64 = Stub(6, true);
  std::vector<uint8_t> last, larger;
  std::string problem;
  ASSERT_TRUE(WritePeResources(plain32, SampleResources(), last, problem)) << problem;
  std::vector<TResource> more = SampleResources();
  more.push_back({TResourceName::Number(10), TResourceName::Number(1), 0, 0, std::vector<uint8_t>(3000, 0x77)});
  ASSERT_TRUE(WritePeResources(plain32, more, larger, problem)) << problem;
  struct TCase {
    const char* name;
    std::vector<uint8_t> stub;
    size_t sectionsAfter;  // sections the written file has
  } cases[] = {
      {"no resources", plain32, 3},
      {"x64, no resources", plain64, 3},
      {"resources in the last section", last, 3},
      {"resources followed by another section, too small for the new tree", WithSectionAfter(last, 0x5A), 5},
      {"resources followed by another section, room for the new tree", WithSectionAfter(larger, 0x5A), 4},
  };
  TVersionInfo info;
  info.FileVersionHigh = 0x00050002;
  info.Strings = {{u"ProductName", u"Tool \u00e9"}, {u"ProductVersion", u"5.2"}};
  TResource version{TResourceName::Number(ResourceTypeVersion), TResourceName::Number(1), 0x409, 0,
                    FormatVersionResource(info)};
  for (const TCase& c : cases) {
    std::vector<TResource> resources = SampleResources();
    resources.push_back(version);
    std::vector<uint8_t> written;
    ASSERT_TRUE(WritePeResources(c.stub, resources, written, problem)) << c.name << ": " << problem;
    TPeImage before, after;
    ASSERT_TRUE(ParsePeImage(c.stub.data(), c.stub.size(), before));
    ASSERT_TRUE(ParsePeImage(written.data(), written.size(), after)) << c.name;
    EXPECT_EQ(c.sectionsAfter, after.Sections.size()) << c.name;
    EXPECT_EQ(after.ImageSize, (after.Sections.back().Rva + after.Sections.back().VirtualSize + 0xFFF) / 0x1000 * 0x1000);
    // Every section keeps its bytes but the one the tree was rewritten in.
    const size_t table = 0x98 + (after.Machine == PeMachineX64 ? 240 : 224);
    for (size_t s = 0; s < before.Sections.size(); ++s) {
      if (std::memcmp(&written[table + 40 * s], ".rsrc\0", 6) == 0) continue;
      EXPECT_TRUE(std::equal(c.stub.begin() + before.Sections[s].FileOffset,
                             c.stub.begin() + before.Sections[s].FileOffset + before.Sections[s].FileSize,
                             written.begin() + after.Sections[s].FileOffset))
          << c.name << ": section " << s;
    }
    std::vector<TResource> read;
    ASSERT_TRUE(ReadPeResources(written.data(), written.size(), read, problem)) << c.name << ": " << problem;
    ExpectSame(resources, read, c.name);
    // Written again over its own tree: the same resources, and now in place.
    std::vector<uint8_t> again;
    ASSERT_TRUE(WritePeResources(written, read, again, problem)) << problem;
    ASSERT_TRUE(ReadPeResources(again.data(), again.size(), read, problem)) << problem;
    ExpectSame(resources, read, c.name);
    EXPECT_EQ(written.size(), again.size()) << c.name;
  }
}

// Every offset of the tree is distrusted: each damage is refused with its reason.
TEST(PeResources, DamagedTreesAreRefusedWithAReason) {
  std::vector<uint8_t> stub;
  std::string problem;
  ASSERT_TRUE(WritePeResources(Stub(7, false), SampleResources(), stub, problem)) << problem;
  TPeImage image;
  ASSERT_TRUE(ParsePeImage(stub.data(), stub.size(), image));
  const size_t tree = image.Sections.back().FileOffset;  // the type table; named types first
  const size_t directory = 0x98 + 96 + 8 * 2;
  const uint32_t languageTable = ReadUInt32le(&stub[tree + 16 + 4]) & 0x7FFFFFFF;  // of the named type
  const uint32_t leafTable = ReadUInt32le(&stub[tree + languageTable + 16 + 4]) & 0x7FFFFFFF;
  struct TCase {
    const char* name;
    size_t at;
    uint32_t value;
    const char* problem;
  } cases[] = {
      {"directory outside the file", directory, 0x7FFF0000, "resource directory lies outside"},
      {"table outside the section", tree + 16 + 4, 0x80000000 | 0x7FFFFF00, "table lies outside"},
      {"entries past the section", tree + 12, 0xFFFF0000, "entries run past"},
      {"name outside the section", tree + 16, 0x80000000 | 0x7FFFFF00, "name lies outside"},
      {"data at the type level", tree + 16 + 4, 0x40, "above the language level holds data"},
      {"a fourth level", tree + leafTable + 16 + 4, 0x80000000, "deeper than type, name and language"},
      {"data entry outside the section", tree + leafTable + 16 + 4, 0x7FFFFF00, "data entry lies outside"},
      {"data outside the file", tree + (ReadUInt32le(&stub[tree + leafTable + 16 + 4])), 0x7FFF0000,
       "data lies outside"},
  };
  for (const TCase& c : cases) {
    std::vector<uint8_t> bytes = stub;
    WriteUInt32le(&bytes[c.at], c.value);
    std::vector<TResource> read;
    EXPECT_FALSE(ReadPeResources(bytes.data(), bytes.size(), read, problem)) << c.name;
    EXPECT_NE(std::string::npos, problem.find(c.problem)) << c.name << ": " << problem;
    EXPECT_TRUE(read.empty()) << c.name;
  }
  // A resource section whose raw size claims more than the file is never written past the
  // end: the tree goes into a new section.
  std::vector<uint8_t> claimed = WithSectionAfter(stub, 0x11), moved;
  WriteUInt32le(&claimed[0x98 + 224 + 2 * 40 + 16], 0x7FFFF000);
  ASSERT_TRUE(WritePeResources(claimed, SampleResources(), moved, problem)) << problem;
  std::vector<TResource> read;
  ASSERT_TRUE(ReadPeResources(moved.data(), moved.size(), read, problem)) << problem;
  ExpectSame(SampleResources(), read, "raw size past the file");
  // A stub that cannot take a new section header, and a signed one, are refused too.
  std::vector<uint8_t> full = Stub(8, false), written;
  WriteUInt32le(&full[0x98 + 60], 0x178 + 2 * 40);  // SizeOfHeaders ends at the table
  EXPECT_FALSE(WritePeResources(full, SampleResources(), written, problem));
  EXPECT_NE(std::string::npos, problem.find("no room for another section")) << problem;
  std::vector<uint8_t> signedStub = Stub(8, false);
  WriteUInt32le(&signedStub[0x98 + 96 + 8 * 4], 0x2000);
  EXPECT_FALSE(WritePeResources(signedStub, SampleResources(), written, problem));
  EXPECT_NE(std::string::npos, problem.find("signed")) << problem;
}

TEST(PeResources, ChecksumIsKeptTrue) {
  std::vector<uint8_t> stub = Stub(9, false), written;
  std::string problem;
  ASSERT_TRUE(SetPeChecksum(stub));
  ASSERT_TRUE(WritePeResources(stub, SampleResources(), written, problem)) << problem;
  EXPECT_NE(0u, StoredPeChecksum(written));
  EXPECT_EQ(PeChecksum(written), StoredPeChecksum(written));
  written[written.size() - 1] ^= 1;
  EXPECT_NE(PeChecksum(written), StoredPeChecksum(written));
}

TEST(VersionResource, WrittenTextsAndNumbersReadBack) {
  TVersionInfo info;
  info.FileVersionHigh = 0x00010002;
  info.FileVersionLow = 0x00030004;
  info.ProductVersionHigh = 7;
  info.Language = 0x0415;
  info.Strings = {{u"CompanyName", u"Tarvel \u0141\u00f3d\u017a"}, {u"FileVersion", u"1.2.3.4"}, {u"Comments", u"x"}};
  const std::vector<uint8_t> bytes = FormatVersionResource(info);
  TVersionInfo read;
  std::string problem;
  ASSERT_TRUE(ParseVersionResource(bytes.data(), bytes.size(), read, problem)) << problem;
  EXPECT_EQ(info.FileVersionHigh, read.FileVersionHigh);
  EXPECT_EQ(info.FileVersionLow, read.FileVersionLow);
  EXPECT_EQ(info.ProductVersionHigh, read.ProductVersionHigh);
  EXPECT_EQ(info.Language, read.Language);
  EXPECT_EQ(info.CodePage, read.CodePage);
  EXPECT_EQ(info.Strings, read.Strings);
  // Cut anywhere inside, it is refused or reads less, never past its end.
  for (size_t cut = 0; cut < bytes.size(); cut += 7) {
    std::vector<uint8_t> part(bytes.begin(), bytes.begin() + cut);
    ParseVersionResource(part.data(), part.size(), read, problem);
  }
  EXPECT_FALSE(ParseVersionResource(bytes.data(), 40, read, problem));

  struct TCase {
    const char* text;
    bool parses;
    uint32_t high, low;
  } versions[] = {{"5.2.0", true, 0x00050002, 0}, {"1.1 beta", true, 0x00010001, 0}, {"1.2.3.4", true, 0x00010002, 0x00030004},
                  {"7", true, 0x00070000, 0},      {"v1.2", false, 0, 0},             {"1.2.3.4.5", false, 0, 0},
                  {"70000.1", false, 0, 0},        {"", false, 0, 0}};
  for (const TCase& c : versions) {
    uint32_t high = 0, low = 0;
    EXPECT_EQ(c.parses, ParseVersionNumbers(c.text, high, low)) << c.text;
    if (c.parses) {
      EXPECT_EQ(c.high, high) << c.text;
      EXPECT_EQ(c.low, low) << c.text;
    }
  }
}

}  // namespace
