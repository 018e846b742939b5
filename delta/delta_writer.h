#pragma once
// TDeltaWriter: the one writer of the block delta layout (delta_decoder.h). The encoder
// writes its output through it; tests and the patch builder's tests write their inputs with
// it, blocks chosen by hand.

#include <cstddef>
#include <cstdint>
#include <vector>

// One edit of a copy block: Bytes replace the block's bytes from Offset on.
struct TDeltaEdit {
  uint8_t Offset;
  std::vector<uint8_t> Bytes;  // at most 255 bytes; Offset + size at most 256
};

class TDeltaWriter {
 public:
  // Into a buffer of its own (Bytes).
  TDeltaWriter() : bytes(own) {}
  // Appending to out, which must outlive the writer.
  explicit TDeltaWriter(std::vector<uint8_t>& out) : bytes(out) {}
  TDeltaWriter(const TDeltaWriter&) = delete;
  TDeltaWriter& operator=(const TDeltaWriter&) = delete;

  // A copy block: 256 bytes of the previous version at source (>= 0), changed by edits,
  // written at destination. An edit at offset 0 with no bytes would end the list early,
  // so such edits are left out.
  void CopyBlock(int32_t destination, int32_t source, const std::vector<TDeltaEdit>& edits = {});
  // A copy block whose edits turn oldBlock into newBlock (256 bytes each; BlockEdits).
  void CopyBlock(int32_t destination, int32_t source, const uint8_t* oldBlock, const uint8_t* newBlock);
  // A literal block of count bytes (1 ... 256) written at destination; always 264 bytes.
  void LiteralBlock(int32_t destination, const uint8_t* bytes, size_t count);
  // Literal blocks for all of bytes, from destination on, 256 bytes each (the last shorter).
  void Literal(int32_t destination, const uint8_t* bytes, size_t count);
  // Raw bytes, for deltas that break the rules on purpose.
  void Append(const std::vector<uint8_t>& bytes);
  void AppendInt32(int32_t value);

  const std::vector<uint8_t>& Bytes() const { return bytes; }
  size_t Size() const { return bytes.size(); }

 private:
  std::vector<uint8_t> own;
  std::vector<uint8_t>& bytes;
};
