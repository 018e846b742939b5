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
#include "fuzz/difference/decoder_contract.h"
#include "difference/difference_encoder.h"
#include "tests/support/synthetic_pe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TDifferenceFuzzInput input;
  if (!SplitDifferenceInput(data, size, input)) return 0;
  RequireDecoderContract(input);
  const uint8_t* rest = input.Rest;
  const size_t restSize = input.RestSize;

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
