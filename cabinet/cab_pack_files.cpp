#include "cab_pack_files.h"

bool PackFiles(TCABPacker& packer, const std::string& path, const std::vector<TCabEntry>& entries,
               ULONG sizeLimit) {
  if (!packer.MakeCabinet(path.c_str(), sizeLimit)) return false;
  bool ok = true;
  for (const TCabEntry& entry : entries)
    ok = ok && packer.AddFile(entry.Source.c_str(), entry.Name.c_str(), false, tcompTYPE_MSZIP);
  ok = ok && packer.FlushCabinet();
  return packer.DestroyCabinet() && ok;
}
