#include "cabinet_output.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "cabinet/cab_packer.h"
#include "patch/win32_file_system.h"
#include "patch_builder.h"
#include "release_listing.h"

const char* const DataFileName = "PATCH.DAT";

namespace {

// A console program shows the binding's messages as text, never as message boxes.
class TQuietPacker : public TCABPacker {
 public:
  std::string Messages;
  void Show(bool error, const char* text) override {
    if (!Messages.empty()) Messages += "; ";
    Messages += error ? "" : "(message) ";
    Messages += text;
  }
};

}  // namespace

bool PackCabinet(const std::string& dataFile, const std::string& cabinet, std::string& error) {
  TQuietPacker packer;
  if (!packer.IsLoaded()) {
    error = "Cannot load CABINET.DLL";
    return false;
  }
  // No size limit but the format's own: mendit never continues into a second cabinet.
  bool ok = packer.MakeCabinet(cabinet.c_str(), CB_MAX_DISK) &&
            packer.AddFile(dataFile.c_str(), DataFileName, false, tcompTYPE_MSZIP) &&
            packer.FlushCabinet();
  packer.DestroyCabinet();
  if (!ok) {
    char code[64];
    std::snprintf(code, sizeof code, " (cabinet library error %d)", packer.ErrorRecord().erfOper);
    error = "Cannot build the cabinet " + cabinet + code;
    if (!packer.Messages.empty()) error += ": " + packer.Messages;
  }
  return ok;
}

size_t CabinetSize(const std::string& scratch, const std::vector<uint8_t>& bytes) {
  const std::string data = JoinPath(scratch, "ESTIMATE.DAT"), cabinet = JoinPath(scratch, "ESTIMATE.CAB");
  std::string error;
  size_t size = 0;
  TWin32FileSystem files;
  if (WriteWholeFile(files, data, bytes) && PackCabinet(data, cabinet, error)) {
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (GetFileAttributesExA(cabinet.c_str(), GetFileExInfoStandard, &info)) size = info.nFileSizeLow;
  }
  DeleteFileA(data.c_str());
  DeleteFileA(cabinet.c_str());
  return size;
}
