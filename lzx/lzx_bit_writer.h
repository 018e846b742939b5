#pragma once
// The bit writer of the LZX stream: bits go into 16-bit little-endian words, most significant
// bit first, which is the order in which LZX decoders read them.

#include <cstddef>
#include <cstdint>
#include <vector>

class TLzxBitWriter {
 public:
  // Appends the low count bits of value (count at most 32), highest bit first.
  void PutBits(uint32_t value, unsigned count) {
    if (count == 0) {
      return;
    }
    Buffer = (Buffer << count) | (value & (count == 32 ? 0xFFFFFFFFu : ((1u << count) - 1)));
    Pending += count;
    while (Pending >= 16) {
      Pending -= 16;
      PutWord(static_cast<uint16_t>(Buffer >> Pending));
    }
  }

  // Pads the pending bits with zeros up to the next 16-bit boundary.
  void AlignToWord() {
    if (Pending > 0) {
      PutBits(0, 16 - Pending);
    }
  }

  // Bits written since the writer was made or last emptied, padding included.
  size_t BitCount() const { return Bytes.size() * 8 + Pending; }
  bool IsAligned() const { return Pending == 0; }

  // Appends a byte directly; only valid on a 16-bit boundary (uncompressed blocks).
  void PutRawByte(uint8_t byte) { Bytes.push_back(byte); }

  // Hands over the bytes written so far (pending bits must have been aligned) and starts over.
  std::vector<uint8_t> TakeBytes() {
    std::vector<uint8_t> out;
    out.swap(Bytes);
    Buffer = 0;
    Pending = 0;
    return out;
  }

 private:
  void PutWord(uint16_t word) {
    Bytes.push_back(static_cast<uint8_t>(word & 0xFF));
    Bytes.push_back(static_cast<uint8_t>(word >> 8));
  }

  uint64_t Buffer = 0;
  unsigned Pending = 0;  // bits in Buffer not yet written as a word
  std::vector<uint8_t> Bytes;
};
