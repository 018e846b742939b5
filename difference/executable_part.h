#pragma once
// The executable part of a version 2 difference record (README.md, "Executable mode"): the
// reference kinds in use, the layouts of the old and the new PE image (machine, image base
// and size, sections, exception table), and the segments that carry the old image's RVAs
// to the new one's. TReferenceCoder is the one rule, shared by the encoder and the
// decoder, that says which bytes are coded as references and what they are predicted to be.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "executable/pe_image.h"
#include "executable/x86_references.h"

// The decoder holds every segment: 12 bytes each, at most 768 KB.
constexpr size_t MaxReferenceSegments = 65536;

// Old RVAs [OldRva, OldRva + Length) are new RVAs from NewRva on.
struct TReferenceSegment {
  uint32_t OldRva = 0;
  uint32_t NewRva = 0;
  uint32_t Length = 0;
};

struct TExecutablePart {
  unsigned Kinds = 0;  // ReferenceBit mask
  TPeImage Old;
  TPeImage New;
  std::vector<TReferenceSegment> Segments;  // by OldRva, none overlapping

  // The new RVA of an old one; false when no segment holds it.
  bool MapRva(uint32_t oldRva, uint32_t& newRva) const;
};

void PutExecutablePart(std::vector<uint8_t>& out, const TExecutablePart& part);
// The record version a part needs: 3 when it uses PlacedAbsolute32, else 2.
uint32_t ExecutablePartVersion(const TExecutablePart& part);
// False when the bytes are not exactly one well-formed part of a record of version (2 or 3).
bool ReadExecutablePart(const uint8_t* bytes, size_t size, uint32_t version, TExecutablePart& part);

class TReferenceCoder {
 public:
  explicit TReferenceCoder(const TExecutablePart& part) : part(part) {}

  struct TPrediction {
    TReferenceKind Kind = TReferenceKind::None;
    uint32_t Width = 0;  // bytes of the operand
    uint32_t Value = 0;  // the low 32 bits it is expected to have
  };

  // Whether the new file's bytes from newOffset, aligned with the old file's in an add of which
  // left bytes remain, hold a reference, given found, the reference the finder found at the
  // aligned old offset (PlainRun's scan stops there): old holds the old bytes around it,
  // newBefore the newBeforeCount (0 to 2) new bytes just before newOffset. If so, prediction
  // gets it: the old reference's target carried to the new image.
  bool Predict(const TFoundReference& found, const TOperandBytes& old, uint32_t newOffset, const uint8_t* newBefore,
               size_t newBeforeCount, uint32_t left, TPrediction& prediction) const;

  // How many of the count old bytes from oldOffset on hold no reference (count when there is
  // none), judged from the old bytes alone, so that both sides handle the bytes between
  // references in bulk; where it stops, scan.Found is the reference for Predict. at points at
  // oldOffset's byte; the min(oldOffset, 2) bytes before it and readable bytes from it
  // (readable >= count, and at least min(8, bytes to the file's end) past the last of the count)
  // can be read. scan is kept by the caller from one call to the next (SkipNonReferences).
  size_t PlainRun(uint32_t oldOffset, const uint8_t* at, size_t count, size_t readable, TReferenceScan& scan) const;

 private:
  const TExecutablePart& part;
};
