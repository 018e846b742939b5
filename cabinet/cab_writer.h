#pragma once
// A cabinet writer of our own, for the patch cabinet: one folder holding one file, written
// byte by byte in the format's little-endian layout through a small output interface.
//
// Compression is done in frames of 32768 bytes, one data block each (the last may be
// shorter). MSZIP frames are raw deflate streams behind the "CK" signature, each using the
// frame before it as its dictionary; LZX frames come from our own encoder. Every cabinet
// reader (the system library, libmspack) extracts either kind.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "files/dos_stamp.h"
#include "lzx/lzx_encoder.h"

// Where the cabinet's bytes go, in order.
class TCabinetSink {
 public:
  virtual ~TCabinetSink() = default;
  // False when the bytes could not be taken; the writer then stops.
  virtual bool Put(const uint8_t* bytes, size_t size) = 0;
};

// Collects the cabinet in memory.
class TMemoryCabinetSink : public TCabinetSink {
 public:
  std::vector<uint8_t> Bytes;
  bool Put(const uint8_t* bytes, size_t size) override {
    Bytes.insert(Bytes.end(), bytes, bytes + size);
    return true;
  }
};

enum class TCabCompression { Mszip, Lzx };

// The window of our LZX frames: 2^21 bytes, the largest the format allows.
constexpr int CabLzxWindowBits = 21;

// The file the cabinet holds: its name (8-bit, at most 255 bytes), date/time and attributes
// (read-only 0x01, hidden 0x02, system 0x04, archive 0x20).
struct TCabinetEntry {
  std::string Name;
  TDosStamp Stamp = 0;
  uint16_t Attributes = 0x20;
};

// The compressed frames of data, one per 32768 input bytes, as the folder's data blocks will
// carry them; also the folder's compression type word.
struct TCompressedFrames {
  uint16_t TypeCompress = 0;
  std::vector<std::vector<uint8_t>> Frames;
};

// Hears how many bytes of the input are compressed, after each frame.
using TCompressProgress = std::function<void(size_t done)>;

// Compresses data with the given method. False with error set when a frame cannot be made.
// effort: LZX's (MSZIP has one).
bool CompressFrames(const uint8_t* data, size_t size, TCabCompression compression,
                    TCompressedFrames& frames, std::string& error, const TCompressProgress& progress = nullptr,
                    TLzxEffort effort = TLzxEffort::Best);

// Writes the cabinet holding entry with size bytes of content, compressed as frames.
// False with error set when the cabinet cannot hold it (name too long, too many blocks,
// a frame of more than 65535 bytes) or out refuses bytes.
bool MakeCabinetFromFrames(const TCabinetEntry& entry, size_t size, const TCompressedFrames& frames,
                  TCabinetSink& out, std::string& error);

// Both steps, into memory.
bool MakeCabinetInMemory(const TCabinetEntry& entry, const uint8_t* data, size_t size,
                  TCabCompression compression, std::vector<uint8_t>& cabinet, std::string& error,
                  const TCompressProgress& progress = nullptr);

// The data block checksum: the format's 32-bit XOR of little-endian words, the last partial
// word taken from its bytes in order, high byte first.
uint32_t CabChecksum(const uint8_t* bytes, size_t size, uint32_t seed);
