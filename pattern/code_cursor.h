// The emitter's cursor: every byte of compiled code is written through it. One cursor serves
// the three modes of the compiler: Size adds up how many bytes the code will take, Emit writes
// them into the buffer, Nothing lets the parser read past an atom without producing code (it
// still counts, privately, so that a construct can tell whether an atom produced any code).
#pragma once

#include <cstdint>

enum class TEmitMode : uint8_t { Size, Emit, Nothing };

class TCodeCursor {
 public:
  // Relative offsets are 16-bit and signed: the compiled form must stay below this size.
  static constexpr uint32_t MaxCodeSize = 32768;

  TCodeCursor(uint16_t& status, TEmitMode mode, uint8_t* buffer, uint32_t capacity, uint32_t here)
      : status(&status), mode(mode), buffer(buffer), capacity(capacity), here(here) {}

  TEmitMode Mode() const { return mode; }
  void SetMode(TEmitMode m) { mode = m; }
  // The address of the next byte (Emit), the running size (Size), a private count (Nothing).
  uint32_t Here() const { return here; }

  void Byte(uint8_t value) {
    if (!Room(1)) return;
    if (mode == TEmitMode::Emit) buffer[here] = value;
    ++here;
  }
  void Word(uint16_t value) {
    Byte(uint8_t(value));
    Byte(uint8_t(value >> 8));
  }
  // Leaves n bytes as they are (0xFF in a fresh buffer): code slots and operands patched later.
  void Reserve(uint32_t n) {
    if (Room(n)) here += n;
  }
  // An 8-bit jump operand to an address.
  void Offset8(uint32_t target) { Byte(uint8_t(int32_t(target) - int32_t(here + 1))); }
  // A 16-bit jump operand or slot operand to an address.
  void Offset16(uint32_t target) { Word(uint16_t(int32_t(target) - int32_t(here + 2))); }
  void Slot(uint32_t slot) { Offset16(slot); }
  // Fills in a reserved 16-bit operand at `at` once its target is known.
  void PatchOffset(uint32_t at, uint32_t target) {
    PatchWord(at, uint16_t(int32_t(target) - int32_t(at + 2)));
  }
  void PatchWord(uint32_t at, uint16_t value) {
    if (*status || mode != TEmitMode::Emit || at + 2 > here) return;
    buffer[at] = uint8_t(value);
    buffer[at + 1] = uint8_t(value >> 8);
  }
  void PatchByte(uint32_t at, uint8_t value) {
    if (*status || mode != TEmitMode::Emit || at >= here) return;
    buffer[at] = value;
  }
  uint8_t ByteAt(uint32_t at) const {
    return mode == TEmitMode::Emit && at < here ? buffer[at] : 0;
  }

 private:
  // The emitter does nothing once the status is set; running out of room sets it to 3.
  bool Room(uint32_t n) {
    if (*status) return false;
    if (mode == TEmitMode::Nothing) return true;
    if (here + n >= MaxCodeSize || (mode == TEmitMode::Emit && here + n > capacity)) {
      *status = 3;
      return false;
    }
    return true;
  }

  uint16_t* status;
  TEmitMode mode;
  uint8_t* buffer;
  uint32_t capacity;
  uint32_t here;
};
