#include "cabinet_output.h"

const char* const DataFileName = "PATCH.DAT";

bool MakePatchCabinet(const std::vector<uint8_t>& data, TCabCompression compression, TDosStamp stamp,
                 std::vector<uint8_t>& cabinet, std::string& error, const TCompressProgress& progress) {
  TCabinetEntry entry;
  entry.Name = DataFileName;
  entry.Stamp = stamp;
  return MakeCabinetInMemory(entry, data.data(), data.size(), compression, cabinet, error, progress);
}
