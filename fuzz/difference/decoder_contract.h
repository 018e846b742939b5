#pragma once
// What both difference fuzz targets hold the decoder to, on their common input layout: two
// bytes giving the length of the old file, that many bytes of it, then the record.
// CheckDifference predicts ApplyDifference (a record it passes applies unless the old file's
// size differs; one it refuses writes nothing), and an applied record writes exactly the new
// size it announces. A broken promise aborts, so the fuzzer reports it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "difference/difference_decoder.h"

inline void Require(bool condition) {
  if (!condition) std::abort();
}

// The input split into the old file and the rest (the record); false when it is too short.
struct TDifferenceFuzzInput {
  const uint8_t* Old = nullptr;
  size_t OldSize = 0;
  const uint8_t* Rest = nullptr;
  size_t RestSize = 0;
};

inline bool SplitDifferenceInput(const uint8_t* data, size_t size, TDifferenceFuzzInput& input) {
  if (size < 2) return false;
  input.OldSize = data[0] | (data[1] << 8);
  if (input.OldSize > size - 2) input.OldSize = size - 2;
  input.Old = data + 2;
  input.Rest = input.Old + input.OldSize;
  input.RestSize = size - 2 - input.OldSize;
  return true;
}

inline void RequireDecoderContract(const TDifferenceFuzzInput& input) {
  TMemoryDifferenceSource record(input.Rest, input.RestSize);
  TMemoryDifferenceSource oldSource(input.Old, input.OldSize);
  TDifferenceHeader header;
  const TDifferenceStatus check = CheckDifference(record, &header);
  TVectorDifferenceSink sink;
  const TDifferenceStatus applied = ApplyDifference(record, oldSource, sink);
  if (check == TDifferenceStatus::Applied) {
    Require(applied == TDifferenceStatus::Applied ||
            (applied == TDifferenceStatus::WrongOldSize && header.OldSize != input.OldSize));
  } else {
    Require(applied == check);
  }
  Require(applied == TDifferenceStatus::Applied ? sink.Bytes.size() == header.NewSize : sink.Bytes.empty());
}
