#include "payload.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "byte_order/little_endian.h"
#include "files/whole_file.h"
#include "hash/sha256.h"

namespace {

const char PayloadMagic[12] = {'M', 'E', 'N', 'D', 'I', 'T', ' ', 'P', 'A', 'T', 'C', 'H'};
constexpr uint32_t PayloadVersion = 1;
// The PE headers are looked for in the file's first bytes; no linker puts them further.
constexpr size_t HeaderWindow = 64 * 1024;


// What the PE headers say about the file's layout. Offsets are checked against the bytes
// the headers were read from only; against the file's length by the callers.
struct TImageLayout {
  int64_t ImageEnd = 0;            // end of the section data (or of the symbol table)
  size_t SecurityEntry = 0;        // offset of the certificate table's directory entry; 0: none
  size_t ChecksumField = 0;        // offset of the optional header's checksum
  int64_t CertificateOffset = 0;   // the table's file offset and length; 0 when unsigned
  int64_t CertificateLength = 0;
  int64_t SymbolTableEnd = 0;      // end of the COFF symbols, before the string table; 0: none
};

// Reads the layout from the file's first bytes. False with problem set when they are no PE
// program.
bool ReadImageLayout(const std::vector<uint8_t>& head, TImageLayout& layout, std::string& problem) {
  problem = "the file is no Windows program";
  if (head.size() < 64 || head[0] != 'M' || head[1] != 'Z') return false;
  const uint32_t pe = ReadUInt32le(&head[0x3C]);
  if (pe > head.size() || head.size() - pe < 24 || std::memcmp(&head[pe], "PE\0\0", 4) != 0) return false;
  const uint16_t sectionCount = ReadUInt16le(&head[pe + 6]);
  const uint32_t symbols = ReadUInt32le(&head[pe + 12]);
  const uint32_t symbolCount = ReadUInt32le(&head[pe + 16]);
  const uint16_t optionalSize = ReadUInt16le(&head[pe + 20]);
  const size_t optional = pe + 24;
  if (head.size() - optional < optionalSize || optionalSize < 2) return false;
  const uint16_t magic = ReadUInt16le(&head[optional]);
  size_t countField, directories;
  if (magic == 0x10B) {
    countField = optional + 92;
    directories = optional + 96;
  } else if (magic == 0x20B) {
    countField = optional + 108;
    directories = optional + 112;
  } else {
    return false;
  }
  if (countField + 4 > optional + optionalSize) return false;
  layout.ChecksumField = optional + 64;
  const uint32_t directoryCount = ReadUInt32le(&head[countField]);
  layout.SecurityEntry = 0;
  if (directoryCount > 4 && directories + 5 * 8 <= optional + optionalSize) {
    layout.SecurityEntry = directories + 4 * 8;
    layout.CertificateOffset = ReadUInt32le(&head[layout.SecurityEntry]);
    layout.CertificateLength = ReadUInt32le(&head[layout.SecurityEntry + 4]);
    if (layout.CertificateOffset == 0 || layout.CertificateLength == 0)
      layout.CertificateOffset = layout.CertificateLength = 0;
  }
  const size_t sections = optional + optionalSize;
  if (head.size() - sections < static_cast<size_t>(sectionCount) * 40) return false;
  int64_t end = static_cast<int64_t>(sections) + static_cast<int64_t>(sectionCount) * 40;
  for (size_t n = 0; n < sectionCount; ++n) {
    const uint8_t* section = &head[sections + n * 40];
    const uint32_t rawSize = ReadUInt32le(section + 16);
    const uint32_t rawOffset = ReadUInt32le(section + 20);
    if (rawSize > 0) end = std::max<int64_t>(end, int64_t{rawOffset} + rawSize);
  }
  layout.SymbolTableEnd = 0;
  if (symbols != 0) {
    layout.SymbolTableEnd = int64_t{symbols} + int64_t{symbolCount} * 18;
    end = std::max(end, layout.SymbolTableEnd);
  }
  layout.ImageEnd = end;
  problem.clear();
  return true;
}

// The first bytes of a file, as many as the headers may need.
bool ReadHead(TInputFile& file, int64_t size, std::vector<uint8_t>& head) {
  return ReadPart(file, 0, std::min<int64_t>(size, HeaderWindow), head);
}

bool AllZero(const std::vector<uint8_t>& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

std::string CutShort(int64_t have, int64_t want) {
  return "the file is cut short (" + std::to_string(have) + " of " + std::to_string(want) + " bytes)";
}

}  // namespace

TPayloadState FindPayload(TInputFile& file, TPayload& payload, std::string& problem) {
  payload = TPayload();
  problem = "the file cannot be read";
  const int64_t size = file.Size();
  std::vector<uint8_t> head;
  if (size < 0 || !ReadHead(file, size, head)) return TPayloadState::Damaged;
  TImageLayout layout;
  if (!ReadImageLayout(head, layout, problem)) return TPayloadState::Damaged;
  // An unstripped program's string table follows its symbols; its first four bytes give
  // its length.
  int64_t imageEnd = layout.ImageEnd;
  if (layout.SymbolTableEnd > 0) {
    std::vector<uint8_t> stringTable;
    if (!ReadPart(file, layout.SymbolTableEnd, 4, stringTable)) {
      problem = CutShort(size, layout.SymbolTableEnd + 4);
      return TPayloadState::Damaged;
    }
    imageEnd = std::max(imageEnd, layout.SymbolTableEnd + ReadUInt32le(stringTable.data()));
  }
  int64_t dataEnd = size;
  if (layout.CertificateLength > 0) {
    if (layout.CertificateOffset + layout.CertificateLength > size) {
      problem = CutShort(size, layout.CertificateOffset + layout.CertificateLength);
      return TPayloadState::Damaged;
    }
    dataEnd = layout.CertificateOffset;
  }
  if (dataEnd < imageEnd) {
    problem = CutShort(dataEnd, imageEnd);
    return TPayloadState::Damaged;
  }
  const int64_t overlay = dataEnd - imageEnd;
  std::vector<uint8_t> header;
  if (overlay < static_cast<int64_t>(PayloadHeaderSize)) {
    // A signer's padding after a program without payload.
    if (!ReadPart(file, imageEnd, overlay, header)) return TPayloadState::Damaged;
    if (overlay < 8 && AllZero(header)) return TPayloadState::None;
    // The start of a header: a download that stopped just after the program.
    const size_t compared = std::min(header.size(), sizeof PayloadMagic);
    problem = std::memcmp(header.data(), PayloadMagic, compared) == 0
                  ? CutShort(size, imageEnd + static_cast<int64_t>(PayloadHeaderSize))
                  : "the data after the program is no patch";
    return TPayloadState::Damaged;
  }
  if (!ReadPart(file, imageEnd, PayloadHeaderSize, header) ||
      std::memcmp(header.data(), PayloadMagic, sizeof PayloadMagic) != 0) {
    problem = "the data after the program is no patch";
    return TPayloadState::Damaged;
  }
  if (ReadUInt32le(&header[12]) != PayloadVersion) {
    problem = "the patch was made in a newer format (" + std::to_string(ReadUInt32le(&header[12])) + ")";
    return TPayloadState::Damaged;
  }
  const uint64_t descriptionLength = ReadUInt64le(&header[16]);
  const uint64_t cabinetLength = ReadUInt64le(&header[24]);
  const uint64_t room = static_cast<uint64_t>(overlay) - PayloadHeaderSize;
  if (descriptionLength > room || cabinetLength > room - descriptionLength) {
    // Lengths beyond the file: the download stopped early (or the header is damaged, which
    // the digest cannot tell apart without the bytes).
    const uint64_t want = std::min<uint64_t>(descriptionLength, uint64_t{1} << 40) +
                          std::min<uint64_t>(cabinetLength, uint64_t{1} << 40);
    problem = CutShort(size, imageEnd + static_cast<int64_t>(PayloadHeaderSize + want));
    return TPayloadState::Damaged;
  }
  if (descriptionLength > static_cast<uint64_t>(MaxPayloadDescription)) {
    problem = "its description file is too large (" + std::to_string(descriptionLength) + " bytes)";
    return TPayloadState::Damaged;
  }
  const int64_t payloadEnd = imageEnd + static_cast<int64_t>(PayloadHeaderSize + descriptionLength + cabinetLength);
  std::vector<uint8_t> tail;
  if (dataEnd - payloadEnd >= 8 || !ReadPart(file, payloadEnd, dataEnd - payloadEnd, tail) || !AllZero(tail)) {
    problem = "there is unknown data after the patch";
    return TPayloadState::Damaged;
  }
  TSha256 hasher;
  hasher.Update(header.data(), 32);
  const int64_t hashed = imageEnd + static_cast<int64_t>(PayloadHeaderSize);
  if (!HashRange(file, hashed, payloadEnd - hashed, hasher)) {
    problem = "the file cannot be read";
    return TPayloadState::Damaged;
  }
  const TSha256Digest digest = hasher.Final();
  if (hasher.Failed() || std::memcmp(digest.Bytes.data(), &header[32], TSha256Digest::Size) != 0) {
    problem = hasher.Failed() ? "the system cannot compute its checksum"
                              : "the file was changed after it was made (its checksum does not match)";
    return TPayloadState::Damaged;
  }
  payload.DescriptionOffset = imageEnd + static_cast<int64_t>(PayloadHeaderSize);
  payload.DescriptionLength = static_cast<int64_t>(descriptionLength);
  payload.CabinetOffset = payload.DescriptionOffset + payload.DescriptionLength;
  payload.CabinetLength = static_cast<int64_t>(cabinetLength);
  problem.clear();
  return TPayloadState::Found;
}

bool IsMenditStub(const std::vector<uint8_t>& image) {
  const std::string mark = std::string("MENDIT-STUB-") + "MARK-1";
  return std::search(image.begin(), image.end(), mark.begin(), mark.end()) != image.end();
}

bool StubImage(const std::vector<uint8_t>& stub, std::vector<uint8_t>& image, std::string& problem,
               bool* signatureDropped) {
  std::vector<uint8_t> head(stub.begin(), stub.begin() + static_cast<std::ptrdiff_t>(std::min(stub.size(), HeaderWindow)));
  TImageLayout layout;
  if (!ReadImageLayout(head, layout, problem)) return false;
  int64_t end = layout.ImageEnd;
  if (layout.SymbolTableEnd > 0) {
    if (layout.SymbolTableEnd + 4 > static_cast<int64_t>(stub.size())) {
      problem = "the program is cut short";
      return false;
    }
    end = std::max(end, layout.SymbolTableEnd + ReadUInt32le(&stub[static_cast<size_t>(layout.SymbolTableEnd)]));
  }
  if (end > static_cast<int64_t>(stub.size())) {
    problem = "the program is cut short";
    return false;
  }
  image.assign(stub.begin(), stub.begin() + static_cast<std::ptrdiff_t>(end));
  if (signatureDropped) *signatureDropped = layout.CertificateLength != 0;
  if (layout.SecurityEntry != 0) {
    std::fill_n(&image[layout.SecurityEntry], 8, uint8_t{0});
    std::fill_n(&image[layout.ChecksumField], 4, uint8_t{0});
  }
  return true;
}

std::vector<uint8_t> MakePayloadProgram(const std::vector<uint8_t>& image, const std::string& description,
                                        const std::vector<uint8_t>& cabinet) {
  uint8_t header[PayloadHeaderSize] = {};
  std::memcpy(header, PayloadMagic, sizeof PayloadMagic);
  WriteUInt32le(header + 12, PayloadVersion);
  WriteUInt64le(header + 16, description.size());
  WriteUInt64le(header + 24, cabinet.size());
  TSha256 hasher;
  hasher.Update(header, 32);
  hasher.Update(description.data(), description.size());
  hasher.Update(cabinet.data(), cabinet.size());
  const TSha256Digest digest = hasher.Final();
  std::memcpy(header + 32, digest.Bytes.data(), TSha256Digest::Size);

  std::vector<uint8_t> program;
  const size_t length = image.size() + PayloadHeaderSize + description.size() + cabinet.size();
  program.reserve(length + 7);
  program.insert(program.end(), image.begin(), image.end());
  program.insert(program.end(), header, header + PayloadHeaderSize);
  program.insert(program.end(), description.begin(), description.end());
  program.insert(program.end(), cabinet.begin(), cabinet.end());
  program.resize((length + 7) / 8 * 8, 0);
  return program;
}

TCarriedPatch ReadCarriedPatch(TFileSystem& files, const std::string& program) {
  TCarriedPatch carried;
  carried.Cabinet.File = program;
  std::unique_ptr<TInputFile> file = files.OpenRead(program.c_str());
  if (!file) {
    carried.State = TPayloadState::Damaged;
    carried.Problem = "the file cannot be read";
    return carried;
  }
  TPayload payload;
  carried.State = FindPayload(*file, payload, carried.Problem);
  if (carried.State != TPayloadState::Found) return carried;
  std::vector<uint8_t> description;
  if (!ReadPart(*file, payload.DescriptionOffset, payload.DescriptionLength, description)) {
    carried.State = TPayloadState::Damaged;
    carried.Problem = "the file cannot be read";
    return carried;
  }
  carried.DescriptionText.assign(description.begin(), description.end());
  carried.Cabinet = {program, payload.CabinetOffset, payload.CabinetLength};
  return carried;
}

const char* const DamagedPatchCaption = "Damaged patch";

std::string DamagedPatchText(const std::string& program, const std::string& problem) {
  return "This patch cannot be installed because it is damaged:\n" + program + "\n\n" + problem +
         ".\n\nNothing was unpacked or installed. Please get the patch again; a download that "
         "stopped early or a changed copy gives this message.";
}
