#include "patch_cabinet.h"

#include <cstdio>

#include "cabinet/cab_pack_files.h"
#include "cabinet/cab_packer.h"

namespace {

// The binding shows its messages as boxes; a build tool collects them instead.
class TQuietPacker : public TCABPacker {
 public:
  std::string Shown;
  void Show(bool, const char* text) override { Shown += std::string(text) + "\n"; }
};

}  // namespace

bool WritePatchCabinet(const std::vector<unsigned char>& data, const std::string& cabinetPath,
                       const std::string& nameInCabinet, std::string& errors) {
  char directory[MAX_PATH], temporary[MAX_PATH];
  if (!GetTempPathA(MAX_PATH, directory) || !GetTempFileNameA(directory, "pat", 0, temporary)) {
    errors = "cannot make a temporary file\n";
    return false;
  }
  FILE* file = std::fopen(temporary, "wb");
  bool ok = file && std::fwrite(data.data(), 1, data.size(), file) == data.size();
  if (file) ok = std::fclose(file) == 0 && ok;
  if (!ok) {
    DeleteFileA(temporary);
    errors = "cannot write the temporary file\n";
    return false;
  }
  DeleteFileA(cabinetPath.c_str());
  {
    TQuietPacker packer;
    ok = packer.IsLoaded() && PackFiles(packer, cabinetPath, {{temporary, nameInCabinet}});
    errors = packer.Shown;
  }
  DeleteFileA(temporary);
  return ok && GetFileAttributesA(cabinetPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}
