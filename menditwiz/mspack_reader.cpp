#include "cabinet_reader.h"

#include <mspack.h>

#include <cstdio>

#include "files/disk_file_system.h"
#include "menditwiz/wizard_machine.h"

bool ExtractSingleFile(const std::string& cabinet, const std::string& output, std::string& error) {
  mscab_decompressor* reader = mspack_create_cab_decompressor(nullptr);
  if (!reader) {
    error = "Cannot start libmspack";
    return false;
  }
  error.clear();
  mscabd_cabinet* opened = reader->open(reader, cabinet.c_str());
  int result = MSPACK_ERR_OK;
  if (!opened) {
    result = reader->last_error(reader);
    error = "Cannot open the cabinet " + cabinet;
  } else if (!opened->files || opened->files->next || opened->next) {
    error = "The cabinet " + cabinet + " does not hold exactly one file";
  } else {
    result = reader->extract(reader, opened->files, output.c_str());
    if (result != MSPACK_ERR_OK) error = "Cannot extract the cabinet " + cabinet;
  }
  if (!error.empty() && result != MSPACK_ERR_OK)
    error += " (libmspack error " + std::to_string(result) + ")";
  if (opened) reader->close(reader, opened);
  mspack_destroy_cab_decompressor(reader);
  return error.empty();
}

namespace {

class TMspackExtraction : public TExtractedCabinet {
 public:
  TMspackExtraction(std::string path, std::unique_ptr<TInputFile> data)
      : Path(std::move(path)), File(std::move(data)) {}
  ~TMspackExtraction() override {
    File.reset();
    std::remove(Path.c_str());
  }
  TInputFile& Data() override { return *File; }

 private:
  std::string Path;
  std::unique_ptr<TInputFile> File;
};

}  // namespace

std::unique_ptr<TExtractedCabinet> ExtractCabinet(const std::string& folder, const std::string& name,
                                                  std::string& error) {
  const std::string output = PosixPath(JoinPath(folder, "EXTRACTED.DAT"));
  if (!ExtractSingleFile(PosixPath(JoinPath(folder, name)), output, error)) {
    std::remove(output.c_str());
    return nullptr;
  }
  TDiskFileSystem files;
  std::unique_ptr<TInputFile> data = files.OpenRead(output.c_str());
  if (!data) {
    error = "Cannot open the extracted file " + output;
    std::remove(output.c_str());
    return nullptr;
  }
  return std::make_unique<TMspackExtraction>(output, std::move(data));
}
