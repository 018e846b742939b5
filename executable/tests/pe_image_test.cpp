#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "executable/base_relocations.h"
#include "executable/pe_image.h"
#include "executable/x86_references.h"
#include "tests/support/synthetic_pe.h"

namespace {

TEST(PeImage, ReadsHeadersOfBothMachines) {
  for (bool wide : {false, true}) {
    const TSyntheticPe pe = MakeSyntheticPe(50, 1, wide);
    TPeImage image;
    ASSERT_TRUE(ParsePeImage(pe.Old.data(), pe.Old.size(), image)) << wide;
    EXPECT_EQ(wide ? PeMachineX64 : PeMachineX86, image.Machine);
    EXPECT_EQ(wide ? 0x140000000ull : 0x400000ull, image.ImageBase);
    ASSERT_EQ(2u, image.Sections.size());
    EXPECT_TRUE(image.Sections[0].Executable);
    EXPECT_FALSE(image.Sections[1].Executable);
    EXPECT_EQ(0x400u, image.Sections[0].FileOffset);
    EXPECT_EQ(0x1000u, image.Sections[0].Rva);
    EXPECT_EQ(std::vector<uint32_t>(), ReadBaseRelocations(pe.Old.data(), pe.Old.size(), image));
  }
}

// Every header field that places something is distrusted: cut or bent, the file is refused.
TEST(PeImage, RefusesDamagedHeaders) {
  const TSyntheticPe pe = MakeSyntheticPe(20, 2, false);
  struct TCase {
    const char* name;
    size_t at;
    uint8_t value;
  } cases[] = {
      {"not MZ", 0, 'X'},           {"PE header past the end", 0x3E, 0x7F}, {"no PE signature", 0x81, 0},
      {"other machine", 0x84, 0xC4}, {"no sections", 0x86, 0},              {"sections past the end", 0x87, 0x40},
      {"wrong optional magic", 0x98, 0x0C}, {"section past the image", 0x98 + 224 + 15, 0x7F},
  };
  for (const TCase& c : cases) {
    std::vector<uint8_t> bytes = pe.Old;
    bytes[c.at] = c.value;
    TPeImage image;
    EXPECT_FALSE(ParsePeImage(bytes.data(), bytes.size(), image)) << c.name;
  }
  TPeImage image;
  EXPECT_FALSE(ParsePeImage(pe.Old.data(), 0x100, image)) << "cut inside the section table";
}

TEST(PeImage, ReadsBaseRelocationBlocks) {
  std::vector<uint8_t> pe = MakeSyntheticPe(20, 3, false).Old;
  TPeImage image;
  ASSERT_TRUE(ParsePeImage(pe.data(), pe.size(), image));
  // Two blocks in the data section's file bytes: HIGHLOW entries, a padding entry, a
  // block that claims more than the table holds.
  const uint32_t table = image.Sections[1].FileOffset, rva = image.Sections[1].Rva;
  const uint8_t blocks[] = {0x00, 0x10, 0, 0, 12, 0, 0, 0, 0x04, 0x30, 0x00, 0x00,
                            0x00, 0x20, 0, 0, 10, 0, 0, 0, 0x08, 0x31,
                            0x00, 0x30, 0, 0, 64, 0, 0, 0, 0x0C, 0x30};
  std::copy(std::begin(blocks), std::end(blocks), pe.begin() + table);
  image.RelocationOffset = table;
  image.RelocationSize = sizeof blocks;
  (void)rva;
  EXPECT_EQ((std::vector<uint32_t>{0x1004, 0x2108}), ReadBaseRelocations(pe.data(), pe.size(), image));
}

TEST(X86References, FindsEachKind) {
  const TSyntheticPe pe = MakeSyntheticPe(30, 4, false);
  TPeImage image;
  ASSERT_TRUE(ParsePeImage(pe.Old.data(), pe.Old.size(), image));
  std::vector<uint8_t> bytes = pe.Old;
  const uint32_t code = image.Sections[0].FileOffset, data = image.Sections[1].FileOffset;
  struct TCase {
    const char* name;
    uint32_t offset;
    std::vector<uint8_t> put;  // from offset - 2
    TReferenceKind kind;
    uint32_t target;
  } cases[] = {
      {"call", code + 0x10, {0x90, 0xE8, 0xF0, 0x00, 0x00, 0x00}, TReferenceKind::Relative32, 0x1000 + 0x14 + 0xF0},
      {"jcc", code + 0x20, {0x0F, 0x85, 0x10, 0x00, 0x00, 0x00}, TReferenceKind::Relative32, 0x1000 + 0x24 + 0x10},
      {"call out of the code", code + 0x30, {0x90, 0xE8, 0x00, 0x00, 0x10, 0x00}, TReferenceKind::None, 0},
      {"aligned pointer in data", data + 8, {0, 0, 0x10, 0x10, 0x40, 0x00}, TReferenceKind::PlacedAbsolute32, 0x1010},
      {"unaligned pointer in data", data + 22, {0, 0, 0x10, 0x10, 0x40, 0x00}, TReferenceKind::Absolute32, 0x1010},
      {"mov ecx, [disp32]", code + 0x40, {0x8B, 0x0D, 0x20, 0x10, 0x40, 0x00}, TReferenceKind::PlacedAbsolute32, 0x1020},
      {"mov eax, [table + ecx*4]", code + 0x50, {0x04, 0x8D, 0x20, 0x10, 0x40, 0x00}, TReferenceKind::PlacedAbsolute32, 0x1020},
      {"push imm32", code + 0x60, {0x90, 0x68, 0x20, 0x10, 0x40, 0x00}, TReferenceKind::PlacedAbsolute32, 0x1020},
      {"instruction bytes that read as a pointer", code + 0x70, {0x84, 0xC0, 0x10, 0x10, 0x40, 0x00}, TReferenceKind::Absolute32, 0x1010},
      {"number", data + 16, {0, 0, 0x10, 0x10, 0x00, 0x00}, TReferenceKind::None, 0},
  };
  for (const TCase& c : cases) {
    std::copy(c.put.begin(), c.put.end(), bytes.begin() + c.offset - 2);
    TOperandBytes around{bytes.data() + c.offset, 2, 8};
    const TFoundReference found = FindReference(image, c.offset, around, AllReferenceKinds);
    EXPECT_EQ(c.kind, found.Kind) << c.name;
    if (c.kind != TReferenceKind::None) {
      EXPECT_EQ(c.target, found.TargetRva) << c.name;
    }
  }
}

// The quick scan between references passes over no byte where FindReference finds one, for
// every kind mask, in code with random bytes written over part of it (odd candidates).
TEST(X86References, SkippingStopsAtEveryReferenceAndNowhereElse) {
  const unsigned relative = ReferenceBit(TReferenceKind::Relative32);
  const struct {
    const char* name;
    bool wide;
    unsigned kinds;
    bool exceptions;  // a table over part of the code
  } cases[] = {
      {"x86 all", false, AllReferenceKinds, false},         {"x86 branches only", false, relative, false},
      {"x86 placed pointers only", false, ReferenceBit(TReferenceKind::PlacedAbsolute32), false},
      {"x64 all", true, AllReferenceKinds, false},          {"x64 with exception table", true, AllReferenceKinds, true},
      {"x64 pointers only", true, ReferenceBit(TReferenceKind::Absolute64), false},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes = MakeSyntheticPe(60, 5, c.wide).Old;
    TPeImage image;
    ASSERT_TRUE(ParsePeImage(bytes.data(), bytes.size(), image)) << c.name;
    std::mt19937 random(7);
    const uint32_t code = image.Sections[0].FileOffset;
    for (uint32_t i = code + 200; i < code + 1200; i++) bytes[i] = static_cast<uint8_t>(random());
    if (c.exceptions) {
      image.ExceptionOffset = code + 64;
      image.ExceptionSize = 96;
    }
    size_t found = 0, missed = 0, falseStops = 0, wrongFound = 0;
    TReferenceScan scan;  // kept across calls, as the decoder keeps it
    for (size_t at = 0; at < bytes.size(); at++) {
      const size_t skip = SkipNonReferences(image, static_cast<uint32_t>(at), bytes.data() + at, bytes.size() - at,
                                            bytes.size() - at, c.kinds, &scan);
      for (size_t i = at; i < at + skip; i++) {
        TOperandBytes around{bytes.data() + i, std::min<size_t>(i, 2), std::min<size_t>(bytes.size() - i, 8)};
        missed += FindReference(image, static_cast<uint32_t>(i), around, c.kinds).Kind != TReferenceKind::None;
      }
      at += skip;
      if (at >= bytes.size()) break;
      TOperandBytes around{bytes.data() + at, std::min<size_t>(at, 2), std::min<size_t>(bytes.size() - at, 8)};
      const TFoundReference reference = FindReference(image, static_cast<uint32_t>(at), around, c.kinds);
      found += reference.Kind != TReferenceKind::None;
      falseStops += reference.Kind == TReferenceKind::None && skip < bytes.size() - at;
      wrongFound += scan.Found.Kind != reference.Kind || scan.Found.TargetRva != reference.TargetRva;
    }
    // Calls that jump about give what calls without a kept scan give.
    std::mt19937 jumps(11);
    for (int j = 0; j < 2000; j++) {
      const size_t at = jumps() % bytes.size(), rest = bytes.size() - at;
      missed += SkipNonReferences(image, static_cast<uint32_t>(at), bytes.data() + at, rest, rest, c.kinds, &scan) !=
                SkipNonReferences(image, static_cast<uint32_t>(at), bytes.data() + at, rest, rest, c.kinds);
    }
    EXPECT_EQ(0u, missed) << c.name;
    EXPECT_EQ(0u, falseStops) << c.name;
    EXPECT_EQ(0u, wrongFound) << c.name;
    EXPECT_GT(found, 50u) << c.name;
  }
}

}  // namespace
