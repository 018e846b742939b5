#include "mspack_reader.h"

#include <mspack.h>

#include <string>


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
