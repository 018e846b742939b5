#pragma once
// A patch carried inside mendit.exe: the self-applying file a vendor ships alone.
//
// The payload follows the program's image as an overlay:
//
//   [program image][header 64 bytes][description file][cabinet][0-7 zero bytes]
//   [certificate table, when the file is signed]
//
// The header holds the magic "MENDIT PATCH", the format version, the lengths of the
// description file and of the cabinet (64-bit little endian) and the SHA-256 of the header's
// first 32 bytes followed by both files, so that a moved boundary changes the digest too.
// The writer pads the whole to a multiple of 8 bytes, so that an Authenticode signer appends
// its certificate table without padding of its own; a reader still accepts up to 7 zero bytes
// of a signer's padding.
//
// Where the image ends is read from the PE headers (the end of the last section's raw data,
// or of the COFF symbol table of an unstripped program); where the data ends, from the
// certificate table's entry, which signing adds without touching the overlay. A program
// with nothing after its image has no payload. Anything after it must be a whole payload
// with a matching digest: a cut download or a changed byte is damage, never "no payload".

#include <cstdint>
#include <string>
#include <vector>

#include "files/file_system.h"

constexpr size_t PayloadHeaderSize = 64;
// A description file holds three short values; a longer one is no description (and is never
// read into memory whole).
constexpr int64_t MaxPayloadDescription = 64 * 1024;

// Where the parts of a found payload lie in the file.
struct TPayload {
  int64_t DescriptionOffset = 0;
  int64_t DescriptionLength = 0;
  int64_t CabinetOffset = 0;
  int64_t CabinetLength = 0;
};

enum class TPayloadState {
  None,     // a program without payload
  Found,    // a whole payload whose digest matches
  Damaged,  // not a program, cut short, or changed: problem says how
};

// Looks for a payload in the program file and checks its digest (reading the whole payload
// once). problem is set for Damaged.
TPayloadState FindPayload(TInputFile& file, TPayload& payload, std::string& problem);

// The program image of a stub: its bytes up to the end of the image, without an overlay or
// a signature it may carry (the certificate table entry and the checksum are cleared; the
// signature would not cover the payload anyway, so the written file is signed afterwards).
// False with problem set when stub is no PE program.
// signatureDropped, when given, tells whether the stub carried a signature.
bool StubImage(const std::vector<uint8_t>& stub, std::vector<uint8_t>& image, std::string& problem,
               bool* signatureDropped = nullptr);

// Whether a program image holds the mark every mendit.exe carries (MenditStubMark in
// mendit/main.cpp): another program made into a "self-applying patch" would never apply it.
// The mark is put together here at run time, so that no program but mendit holds it whole.
bool IsMenditStub(const std::vector<uint8_t>& image);

// image (from StubImage) with description and cabinet appended as a payload.
std::vector<uint8_t> MakePayloadProgram(const std::vector<uint8_t>& image, const std::string& description,
                                        const std::vector<uint8_t>& cabinet);

// A cabinet stored as a part of a larger file: the payload of a self-applying program.
struct TCabinetWithin {
  std::string File;  // the whole file's absolute path
  int64_t Offset = 0;
  int64_t Length = 0;
};

// The patch a program file carries: for a found one, the description file's text and where
// the cabinet lies (File is the program's path); for a damaged one, the problem.
struct TCarriedPatch {
  TPayloadState State = TPayloadState::None;
  std::string Problem;
  std::string DescriptionText;
  TCabinetWithin Cabinet;
};

TCarriedPatch ReadCarriedPatch(TFileSystem& files, const std::string& program);

// The text of the one box a damaged self-applying program shows (caption
// DamagedPatchCaption); nothing has been unpacked or installed when it is shown.
extern const char* const DamagedPatchCaption;
std::string DamagedPatchText(const std::string& program, const std::string& problem);

