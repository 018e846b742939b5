#include "cab_pack_files.h"

#include <cstdio>

bool PackFiles(TCABPacker& packer, const std::string& path, const std::vector<TCabEntry>& entries,
               ULONG sizeLimit) {
  if (!packer.MakeCabinet(path.c_str(), sizeLimit)) return false;
  bool ok = true;
  for (const TCabEntry& entry : entries)
    ok = ok && packer.AddFile(entry.Source.c_str(), entry.Name.c_str(), false, tcompTYPE_MSZIP);
  ok = ok && packer.FlushCabinet();
  return packer.DestroyCabinet() && ok;
}

bool PackData(TCABPacker& packer, const std::string& path, const std::vector<unsigned char>& data,
              const std::string& nameInCabinet) {
  char directory[MAX_PATH], temporary[MAX_PATH];
  if (!GetTempPathA(MAX_PATH, directory) || !GetTempFileNameA(directory, "pat", 0, temporary)) return false;
  std::FILE* file = std::fopen(temporary, "wb");
  bool ok = file && std::fwrite(data.data(), 1, data.size(), file) == data.size();
  if (file) ok = std::fclose(file) == 0 && ok;
  if (ok) {
    DeleteFileA(path.c_str());
    ok = packer.IsLoaded() && PackFiles(packer, path, {{temporary, nameInCabinet}}) &&
         GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  DeleteFileA(temporary);
  return ok;
}
