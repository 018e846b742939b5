#include "cabinet_output.h"

const char* const DataFileName = "PATCH.DAT";

bool PackCabinet(const std::vector<uint8_t>& data, TCabCompression compression, TDosStamp stamp,
                 std::vector<uint8_t>& cabinet, std::string& error) {
  TCabinetEntry entry;
  entry.Name = DataFileName;
  entry.Stamp = stamp;
  return BuildCabinet(entry, data.data(), data.size(), compression, cabinet, error);
}

size_t CabinetSize(const std::vector<uint8_t>& bytes, TCabCompression compression) {
  TCompressedFrames frames;
  std::string error;
  if (!CompressFrames(bytes.data(), bytes.size(), compression, frames, error)) return SIZE_MAX;
  size_t size = 0;
  for (const std::vector<uint8_t>& frame : frames.Frames) size += 8 + frame.size();
  return size;
}
