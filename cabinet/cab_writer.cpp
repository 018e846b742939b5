#include "cab_writer.h"

#include <limits>

#include "byte_order/little_endian.h"
#include "lzx/lzx_encoder.h"
#include "mszip_compressor.h"

namespace {

constexpr size_t FrameSize = 32768;
constexpr size_t HeaderSize = 36;   // CFHEADER without reserved areas
constexpr size_t FolderSize = 8;    // CFFOLDER
constexpr size_t FileSize = 16;     // CFFILE before its name
constexpr size_t BlockHeaderSize = 8;  // CFDATA before its bytes
constexpr uint16_t TypeMszip = 0x0001;
constexpr uint16_t TypeLzx = 0x0003;
// Any fixed value: the set identifier only ties the cabinets of a multi-cabinet set together.
constexpr uint16_t SetIdentifier = 0x4D57;

class TBytes {
 public:
  void U8(uint8_t value) { Bytes.push_back(value); }
  void U16(uint16_t value) { AppendUInt16le(Bytes, value); }
  void U32(uint32_t value) { AppendUInt32le(Bytes, value); }
  std::vector<uint8_t> Bytes;
};

}  // namespace

uint32_t CabChecksum(const uint8_t* bytes, size_t size, uint32_t seed) {
  uint32_t sum = seed;
  size_t i = 0;
  for (; i + 4 <= size; i += 4)
    sum ^= ReadUInt32le(bytes + i);
  uint32_t last = 0;
  for (; i < size; ++i) last = (last << 8) | bytes[i];
  return sum ^ last;
}

bool CompressFrames(const uint8_t* data, size_t size, TCabCompression compression,
                    TCompressedFrames& frames, std::string& error, const TCompressProgress& progress,
                    TLzxEffort effort) {
  frames.Frames.clear();
  switch (compression) {
    case TCabCompression::Mszip:
      frames.TypeCompress = TypeMszip;
      if (MszipCompress(data, size, frames.Frames, progress)) return true;
      error = "The MSZIP compressor failed";
      return false;
    case TCabCompression::Lzx:
      frames.TypeCompress = static_cast<uint16_t>(TypeLzx | (CabLzxWindowBits << 8));
      frames.Frames = LzxCompress(data, size, CabLzxWindowBits, progress, effort);
      if (frames.Frames.size() == (size + FrameSize - 1) / FrameSize) return true;
      error = "The LZX encoder cannot compress " + std::to_string(size) + " bytes";
      return false;
  }
  error = "Unknown compression";
  return false;
}

bool MakeCabinetFromFrames(const TCabinetEntry& entry, size_t size, const TCompressedFrames& frames,
                  TCabinetSink& out, std::string& error) {
  if (entry.Name.empty() || entry.Name.size() > 255 || entry.Name.find('\0') != std::string::npos) {
    error = "The name " + entry.Name + " cannot be stored in a cabinet";
    return false;
  }
  const size_t blocks = (size + FrameSize - 1) / FrameSize;
  if (size > std::numeric_limits<uint32_t>::max() || blocks > 0xFFFF) {
    error = "The file is too large for one cabinet folder";
    return false;
  }
  if (frames.Frames.size() != blocks) {
    error = "The compressor gave a wrong number of frames";
    return false;
  }
  const size_t dataStart = HeaderSize + FolderSize + FileSize + entry.Name.size() + 1;
  uint64_t total = dataStart;
  for (const std::vector<uint8_t>& frame : frames.Frames) {
    if (frame.size() > 0xFFFF) {
      error = "A compressed frame is too large for a data block";
      return false;
    }
    total += BlockHeaderSize + frame.size();
  }
  if (total > std::numeric_limits<uint32_t>::max()) {
    error = "The cabinet would exceed 4 GB";
    return false;
  }

  TBytes head;
  head.U8('M'), head.U8('S'), head.U8('C'), head.U8('F');
  head.U32(0);                                 // reserved
  head.U32(static_cast<uint32_t>(total));      // cbCabinet
  head.U32(0);                                 // reserved
  head.U32(HeaderSize + FolderSize);           // coffFiles
  head.U32(0);                                 // reserved
  head.U8(3), head.U8(1);                      // format version 1.3
  head.U16(1);                                 // folders
  head.U16(1);                                 // files
  head.U16(0);                                 // flags: no reserve, no previous or next cabinet
  head.U16(SetIdentifier);
  head.U16(0);                                 // number of this cabinet in its set
  // The folder.
  head.U32(static_cast<uint32_t>(dataStart));  // first data block
  head.U16(static_cast<uint16_t>(blocks));
  head.U16(frames.TypeCompress);
  // The file.
  head.U32(static_cast<uint32_t>(size));
  head.U32(0);                                 // offset in the folder's uncompressed data
  head.U16(0);                                 // folder index
  head.U16(DosDate(entry.Stamp));
  head.U16(DosTime(entry.Stamp));
  head.U16(entry.Attributes);
  for (char c : entry.Name) head.U8(static_cast<uint8_t>(c));
  head.U8(0);
  if (!out.Put(head.Bytes.data(), head.Bytes.size())) {
    error = "Cannot write the cabinet";
    return false;
  }

  for (size_t i = 0; i < blocks; ++i) {
    const std::vector<uint8_t>& frame = frames.Frames[i];
    const size_t uncompressed = i + 1 < blocks ? FrameSize : size - i * FrameSize;
    TBytes sizes;
    sizes.U16(static_cast<uint16_t>(frame.size()));
    sizes.U16(static_cast<uint16_t>(uncompressed));
    // The checksum covers the compressed bytes, then the two size fields.
    const uint32_t sum = CabChecksum(sizes.Bytes.data(), 4, CabChecksum(frame.data(), frame.size(), 0));
    TBytes block;
    block.U32(sum);
    block.Bytes.insert(block.Bytes.end(), sizes.Bytes.begin(), sizes.Bytes.end());
    if (!out.Put(block.Bytes.data(), block.Bytes.size()) ||
        (!frame.empty() && !out.Put(frame.data(), frame.size()))) {
      error = "Cannot write the cabinet";
      return false;
    }
  }
  return true;
}

bool MakeCabinetInMemory(const TCabinetEntry& entry, const uint8_t* data, size_t size,
                  TCabCompression compression, std::vector<uint8_t>& cabinet, std::string& error,
                  const TCompressProgress& progress) {
  TCompressedFrames frames;
  TMemoryCabinetSink sink;
  if (!CompressFrames(data, size, compression, frames, error, progress) ||
      !MakeCabinetFromFrames(entry, size, frames, sink, error))
    return false;
  cabinet.swap(sink.Bytes);
  return true;
}
