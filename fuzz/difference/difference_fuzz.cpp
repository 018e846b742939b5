// Fuzzes the difference record decoder. Input: two bytes giving the length of the old
// file, that many bytes of it, then the record.
//
// Besides the sanitizers' checks: CheckDifference predicts ApplyDifference (a record it
// passes applies unless the old file's size differs; one it refuses writes nothing), an
// applied record writes exactly the new size it announces, and the encoder's record of the
// old file against the input's tail rebuilds that tail.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "difference/difference_decoder.h"
#include "fuzz/difference/decoder_contract.h"
#include "difference/difference_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TDifferenceFuzzInput input;
  if (!SplitDifferenceInput(data, size, input)) return 0;
  RequireDecoderContract(input);
  const uint8_t* old = input.Old;
  const size_t oldSize = input.OldSize;
  const uint8_t* rest = input.Rest;
  const size_t restSize = input.RestSize;

  TMemoryDifferenceSource oldSource(old, oldSize);
  std::vector<uint8_t> encoded;
  Require(EncodeDifference(old, oldSize, rest, restSize, encoded));
  TMemoryDifferenceSource encodedSource(encoded);
  TVectorDifferenceSink rebuilt;
  Require(ApplyDifference(encodedSource, oldSource, rebuilt) == TDifferenceStatus::Applied);
  Require(rebuilt.Bytes == std::vector<uint8_t>(rest, rest + restSize));
  return 0;
}
