// Fuzzes the executable mode of the difference record. Input: two bytes giving the length of
// the old file, that many bytes of it, then the record (the corpus holds version 2 records
// of small PE pairs, made by make_corpus.cpp).
//
// Besides the sanitizers' checks: CheckDifference predicts ApplyDifference, an applied
// record writes exactly the new size it announces, and the encoder's executable record of a
// small PE pair, with the input's tail written over the new image's code, rebuilds that image.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "difference/difference_decoder.h"
#include "difference/difference_encoder.h"
#include "executable/tests/synthetic_pe.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t oldSize = data[0] | (data[1] << 8);
  if (oldSize > size - 2) oldSize = size - 2;
  const uint8_t* old = data + 2;
  const uint8_t* rest = old + oldSize;
  const size_t restSize = size - 2 - oldSize;

  TMemoryDifferenceSource record(rest, restSize);
  TMemoryDifferenceSource oldSource(old, oldSize);
  TDifferenceHeader header;
  const TDifferenceStatus check = CheckDifference(record, &header);
  TVectorDifferenceSink sink;
  const TDifferenceStatus applied = ApplyDifference(record, oldSource, sink);
  if (check == TDifferenceStatus::Applied) {
    Require(applied == TDifferenceStatus::Applied || (applied == TDifferenceStatus::WrongOldSize && header.OldSize != oldSize));
  } else {
    Require(applied == check);
  }
  Require(applied == TDifferenceStatus::Applied ? sink.Bytes.size() == header.NewSize : sink.Bytes.empty());

  // The encoder on a PE pair whose new code the input rewrote.
  static const TSyntheticPe pairs[] = {MakeSyntheticPe(40, 11, false), MakeSyntheticPe(40, 11, true)};
  const TSyntheticPe& pair = pairs[data[0] & 1];
  std::vector<uint8_t> next = pair.New;
  const size_t code = synthetic_pe::HeaderSize;
  std::copy(rest, rest + std::min(restSize, next.size() - code), next.begin() + code);
  std::vector<uint8_t> plain, executable;
  Require(EncodeDifferences(pair.Old.data(), pair.Old.size(), next.data(), next.size(), plain, &executable));
  Require(!executable.empty());
  TMemoryDifferenceSource encoded(executable), pairOld(pair.Old);
  TVectorDifferenceSink rebuilt;
  Require(ApplyDifference(encoded, pairOld, rebuilt) == TDifferenceStatus::Applied);
  Require(rebuilt.Bytes == next);
  return 0;
}
