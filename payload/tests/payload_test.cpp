// The payload inside a program: found whole, refused when damaged however it was damaged,
// and not disturbed by a signer's certificate table or a stub's old overlay.

#include "files/whole_file.h"
#include "payload/payload.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "byte_order/little_endian.h"
#include "files/memory_file_system.h"

namespace {

// A PE32 program of one 512-byte section, as a linker lays it out.
std::vector<uint8_t> TinyProgram() {
  std::vector<uint8_t> p(0x400, 0);
  p[0] = 'M';
  p[1] = 'Z';
  WriteUInt32le(&p[0x3C], 0x40);
  std::memcpy(&p[0x40], "PE\0\0", 4);
  p[0x46] = 1;                          // one section
  p[0x54] = 224;                        // optional header size
  p[0x58] = 0x0B, p[0x59] = 0x01;       // PE32
  WriteUInt32le(&p[0x58 + 92], 16);     // data directories
  const size_t section = 0x58 + 224;
  std::memcpy(&p[section], ".text", 5);
  WriteUInt32le(&p[section + 16], 0x200);
  WriteUInt32le(&p[section + 20], 0x200);
  return p;
}

// What a signer does: pad to 8 bytes, append a certificate table, point the entry at it.
void Sign(std::vector<uint8_t>& p) {
  p.resize((p.size() + 7) / 8 * 8, 0);
  WriteUInt32le(&p[0x58 + 96 + 32], static_cast<uint32_t>(p.size()));
  WriteUInt32le(&p[0x58 + 96 + 36], 24);
  p.insert(p.end(), 24, 0x5A);
}

const std::string Description = "[Application]\r\nName=TOOL.EXE\r\n";
const std::vector<uint8_t> Cabinet(3000, 0xC4);

TPayloadState Look(const std::vector<uint8_t>& file, TPayload& payload, std::string& problem) {
  TMemoryFileSystem disk;
  disk.AddFile("C:\\P.EXE", file, 0);
  return FindPayload(*disk.OpenRead("C:\\P.EXE"), payload, problem);
}

std::vector<uint8_t> Shipped() {
  std::vector<uint8_t> image;
  std::string problem;
  EXPECT_TRUE(StubImage(TinyProgram(), image, problem));
  return MakePayloadProgram(image, Description, Cabinet);
}

TEST(Payload, FoundWholeEvenWhenSignedAndReadBackAsWritten) {
  for (bool signed_ : {false, true}) {
    std::vector<uint8_t> file = Shipped();
    if (signed_) Sign(file);
    TPayload payload;
    std::string problem;
    ASSERT_EQ(Look(file, payload, problem), TPayloadState::Found) << problem;
    TMemoryFileSystem disk;
    disk.AddFile("C:\\P.EXE", file, 0);
    auto input = disk.OpenRead("C:\\P.EXE");
    std::vector<uint8_t> description, cabinet;
    ASSERT_TRUE(ReadPart(*input, payload.DescriptionOffset, payload.DescriptionLength, description));
    ASSERT_TRUE(ReadPart(*input, payload.CabinetOffset, payload.CabinetLength, cabinet));
    EXPECT_EQ(std::string(description.begin(), description.end()), Description);
    EXPECT_EQ(cabinet, Cabinet);
  }
}

TEST(Payload, PlainProgramsHaveNone) {
  std::vector<uint8_t> signedProgram = TinyProgram();
  Sign(signedProgram);
  for (const auto& file : {TinyProgram(), signedProgram}) {
    TPayload payload;
    std::string problem;
    EXPECT_EQ(Look(file, payload, problem), TPayloadState::None) << problem;
  }
}

TEST(Payload, DamageIsRefusedWithItsCause) {
  const size_t payloadStart = 0x400;
  const struct {
    const char* Name;
    std::function<void(std::vector<uint8_t>&)> Damage;
    const char* Cause;
  } cases[] = {
      {"cut in the cabinet", [](std::vector<uint8_t>& f) { f.resize(f.size() - 1000); }, "cut short"},
      {"cut in the header", [](std::vector<uint8_t>& f) { f.resize(payloadStart + 20); }, "cut short"},
      {"cut after the header", [](std::vector<uint8_t>& f) { f.resize(payloadStart + PayloadHeaderSize); }, "cut short"},
      {"cut in the program", [](std::vector<uint8_t>& f) { f.resize(0x300); }, "cut short"},
      {"signed, then cut", [](std::vector<uint8_t>& f) { Sign(f), f.resize(f.size() - 10); }, "cut short"},
      {"byte of the description", [](std::vector<uint8_t>& f) { f[payloadStart + PayloadHeaderSize + 3] ^= 1; }, "changed"},
      {"byte of the cabinet", [](std::vector<uint8_t>& f) { f[f.size() - 100] ^= 0x80; }, "changed"},
      {"boundary moved", [](std::vector<uint8_t>& f) { f[payloadStart + 16] += 1, f[payloadStart + 24] -= 1; }, "changed"},
      {"data appended", [](std::vector<uint8_t>& f) { f.insert(f.end(), 16, 1); }, "unknown data"},
      {"foreign overlay", [](std::vector<uint8_t>& f) { f[payloadStart] = 'X'; }, "no patch"},
      {"no program", [](std::vector<uint8_t>& f) { f[0] = 'X'; }, "no Windows program"},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> file = Shipped();
    c.Damage(file);
    TPayload payload;
    std::string problem;
    EXPECT_EQ(Look(file, payload, problem), TPayloadState::Damaged) << c.Name;
    EXPECT_NE(problem.find(c.Cause), std::string::npos) << c.Name << ": " << problem;
  }
  // Whole and with a matching digest, but no description file: it is never read in.
  std::vector<uint8_t> image;
  std::string problem;
  ASSERT_TRUE(StubImage(TinyProgram(), image, problem));
  TPayload payload;
  EXPECT_EQ(Look(MakePayloadProgram(image, std::string(MaxPayloadDescription + 1, 'x'), Cabinet), payload, problem),
            TPayloadState::Damaged);
  EXPECT_NE(problem.find("too large"), std::string::npos) << problem;
}

TEST(Payload, StubLosesOverlayAndSignatureSoTheResultCanBeSigned) {
  std::vector<uint8_t> stub = Shipped();  // a self-applying file used as stub again
  Sign(stub);
  std::vector<uint8_t> image;
  std::string problem;
  ASSERT_TRUE(StubImage(stub, image, problem));
  EXPECT_EQ(image, TinyProgram());
  EXPECT_FALSE(StubImage(std::vector<uint8_t>(100, 'M'), image, problem));
}

}  // namespace
