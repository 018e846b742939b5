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
#include "difference/difference_encoder.h"

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

  std::vector<uint8_t> encoded;
  Require(EncodeDifference(old, oldSize, rest, restSize, encoded));
  TMemoryDifferenceSource encodedSource(encoded);
  TVectorDifferenceSink rebuilt;
  Require(ApplyDifference(encodedSource, oldSource, rebuilt) == TDifferenceStatus::Applied);
  Require(rebuilt.Bytes == std::vector<uint8_t>(rest, rest + restSize));
  return 0;
}
