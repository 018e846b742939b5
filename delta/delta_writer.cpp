#include "delta_writer.h"

#include <algorithm>
#include <cstring>

#include "block_edits.h"
#include "byte_order/little_endian.h"
#include "delta_decoder.h"

void TDeltaWriter::AppendInt32(int32_t value) { AppendUInt32le(bytes, static_cast<uint32_t>(value)); }

void TDeltaWriter::Append(const std::vector<uint8_t>& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }

void TDeltaWriter::CopyBlock(int32_t destination, int32_t source, const std::vector<TDeltaEdit>& edits) {
  AppendInt32(destination);
  AppendInt32(source);
  for (const TDeltaEdit& edit : edits) {
    if (edit.Offset == 0 && edit.Bytes.empty()) continue;
    bytes.push_back(edit.Offset);
    bytes.push_back(static_cast<uint8_t>(edit.Bytes.size()));
    bytes.insert(bytes.end(), edit.Bytes.begin(), edit.Bytes.end());
  }
  bytes.push_back(0);
  bytes.push_back(0);
}

void TDeltaWriter::CopyBlock(int32_t destination, int32_t source, const uint8_t* oldBlock, const uint8_t* newBlock) {
  AppendInt32(destination);
  AppendInt32(source);
  BlockEdits::AppendEdits(oldBlock, newBlock, bytes);
}

void TDeltaWriter::LiteralBlock(int32_t destination, const uint8_t* data, size_t count) {
  count = std::min(std::max<size_t>(count, 1), DeltaBlockSize);
  AppendInt32(destination);
  AppendInt32(count == DeltaBlockSize ? -1 : -static_cast<int32_t>(count) - 1);
  const size_t at = bytes.size();
  bytes.resize(at + DeltaBlockSize, 0);
  std::memcpy(bytes.data() + at, data, count);
}

void TDeltaWriter::Literal(int32_t destination, const uint8_t* data, size_t count) {
  for (size_t done = 0; done < count; done += DeltaBlockSize)
    LiteralBlock(destination + static_cast<int32_t>(done), data + done, std::min(DeltaBlockSize, count - done));
}
