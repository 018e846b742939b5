#include "executable_part.h"

#include <algorithm>

#include "difference_format.h"

namespace {

// Reads variable-length numbers (difference_format.h) from a buffer.
class TNumberReader {
 public:
  TNumberReader(const uint8_t* bytes, size_t size) : at(bytes), end(bytes + size) {}
  bool Number(uint32_t& value) {
    uint64_t number = 0;
    for (size_t i = 0; i < MaxNumberSize && at < end; i++) {
      const uint8_t byte = *at++;
      number |= uint64_t{byte & 0x7Fu} << (7 * i);
      if (!(byte & 0x80)) {
        if (number > 0xFFFFFFFFu) return false;
        value = static_cast<uint32_t>(number);
        return true;
      }
    }
    return false;
  }
  bool AtEnd() const { return at == end; }

 private:
  const uint8_t* at;
  const uint8_t* end;
};

void PutImage(std::vector<uint8_t>& out, const TPeImage& image) {
  PutNumber(out, image.Machine);
  PutNumber(out, static_cast<uint32_t>(image.ImageBase));
  PutNumber(out, static_cast<uint32_t>(image.ImageBase >> 32));
  PutNumber(out, image.ImageSize);
  PutNumber(out, static_cast<uint32_t>(image.Sections.size()));
  for (const TPeSection& section : image.Sections) {
    PutNumber(out, section.FileOffset);
    PutNumber(out, section.FileSize);
    PutNumber(out, section.Rva);
    PutNumber(out, section.VirtualSize);
    PutNumber(out, section.Executable ? 1 : 0);
  }
  PutNumber(out, image.ExceptionOffset);
  PutNumber(out, image.ExceptionSize);
}

bool ReadImage(TNumberReader& in, TPeImage& image) {
  uint32_t machine, baseLow, baseHigh, count;
  if (!in.Number(machine) || !in.Number(baseLow) || !in.Number(baseHigh) || !in.Number(image.ImageSize) ||
      !in.Number(count)) {
    return false;
  }
  if ((machine != PeMachineX86 && machine != PeMachineX64) || count == 0 || count > MaxPeSections) return false;
  image.Machine = static_cast<uint16_t>(machine);
  image.ImageBase = baseLow | uint64_t{baseHigh} << 32;
  image.Sections.assign(count, TPeSection());
  for (TPeSection& section : image.Sections) {
    uint32_t executable;
    if (!in.Number(section.FileOffset) || !in.Number(section.FileSize) || !in.Number(section.Rva) ||
        !in.Number(section.VirtualSize) || !in.Number(executable) || executable > 1) {
      return false;
    }
    // Ranges stay inside 32 bits, so offset and RVA arithmetic never wraps.
    if (uint64_t{section.FileOffset} + section.FileSize > MaxDifferenceFileSize ||
        uint64_t{section.Rva} + section.VirtualSize > 0xFFFFFFFFu) {
      return false;
    }
    section.Executable = executable == 1;
  }
  return in.Number(image.ExceptionOffset) && in.Number(image.ExceptionSize) &&
         uint64_t{image.ExceptionOffset} + image.ExceptionSize <= MaxDifferenceFileSize;
}

}  // namespace

bool TExecutablePart::MapRva(uint32_t oldRva, uint32_t& newRva) const {
  auto after = std::upper_bound(Segments.begin(), Segments.end(), oldRva,
                                [](uint32_t rva, const TReferenceSegment& segment) { return rva < segment.OldRva; });
  if (after == Segments.begin()) return false;
  const TReferenceSegment& segment = *(after - 1);
  if (oldRva - segment.OldRva >= segment.Length) return false;
  newRva = segment.NewRva + (oldRva - segment.OldRva);
  return true;
}

// Segments: count, then per segment the gap since the previous one's end (old RVAs), its
// length and the change of new - old against the previous segment's, stored as a seek.
void PutExecutablePart(std::vector<uint8_t>& out, const TExecutablePart& part) {
  PutNumber(out, part.Kinds);
  PutImage(out, part.Old);
  PutImage(out, part.New);
  PutNumber(out, static_cast<uint32_t>(part.Segments.size()));
  uint32_t end = 0;
  int32_t shift = 0;
  for (const TReferenceSegment& segment : part.Segments) {
    const int32_t segmentShift = static_cast<int32_t>(segment.NewRva - segment.OldRva);
    PutNumber(out, segment.OldRva - end);
    PutNumber(out, segment.Length);
    PutNumber(out, SeekToNumber(static_cast<int32_t>(static_cast<uint32_t>(segmentShift) - static_cast<uint32_t>(shift))));
    end = segment.OldRva + segment.Length;
    shift = segmentShift;
  }
}

uint32_t ExecutablePartVersion(const TExecutablePart& part) {
  return part.Kinds & ~FirstReferenceKinds ? PlacedPointerDifferenceVersion : ExecutableDifferenceVersion;
}

bool ReadExecutablePart(const uint8_t* bytes, size_t size, uint32_t version, TExecutablePart& part) {
  part = TExecutablePart();
  TNumberReader in(bytes, size);
  uint32_t count;
  const unsigned known = version == ExecutableDifferenceVersion ? FirstReferenceKinds : AllReferenceKinds;
  if (!in.Number(part.Kinds) || (part.Kinds & ~known) != 0 || !ReadImage(in, part.Old) ||
      !ReadImage(in, part.New) || !in.Number(count) || count > MaxReferenceSegments) {
    return false;
  }
  part.Segments.reserve(count);
  uint64_t end = 0;
  uint32_t shift = 0;
  for (uint32_t s = 0; s < count; s++) {
    uint32_t gap, length, change;
    if (!in.Number(gap) || !in.Number(length) || !in.Number(change) || length == 0) return false;
    TReferenceSegment segment;
    if (end + gap + length > 0x100000000ull) return false;
    segment.OldRva = static_cast<uint32_t>(end + gap);
    segment.Length = length;
    shift += static_cast<uint32_t>(NumberToSeek(change));
    segment.NewRva = segment.OldRva + shift;
    if (uint64_t{segment.NewRva} + length > 0x100000000ull) return false;
    part.Segments.push_back(segment);
    end = uint64_t{segment.OldRva} + length;
  }
  return in.AtEnd();
}

bool TReferenceCoder::Predict(const TFoundReference& found, const TOperandBytes& old, uint32_t newOffset,
                              const uint8_t* newBefore, size_t newBeforeCount, uint32_t left,
                              TPrediction& prediction) const {
  if (found.Kind == TReferenceKind::None || found.Width > left) return false;
  // An instruction is taken to be the same one when its opcode bytes are.
  if (found.OpcodeBytes > newBeforeCount || found.OpcodeBytes > old.Before) return false;
  for (uint32_t i = 1; i <= found.OpcodeBytes; i++) {
    if (newBefore[newBeforeCount - i] != old.At[-static_cast<ptrdiff_t>(i)]) return false;
  }
  uint32_t target;
  if (!part.MapRva(found.TargetRva, target)) return false;
  if (!ReferenceValue(part.New, found.Kind, newOffset, target, prediction.Value)) return false;
  prediction.Kind = found.Kind;
  prediction.Width = found.Width;
  return true;
}

size_t TReferenceCoder::PlainRun(uint32_t oldOffset, const uint8_t* at, size_t count, size_t readable,
                                 TReferenceScan& scan) const {
  return SkipNonReferences(part.Old, oldOffset, at, count, readable, part.Kinds, &scan);
}
