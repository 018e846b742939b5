#include "extracted_patch.h"

#include "paths/path_name.h"

TExtractedPatch::TExtractedPatch(TPatchReporter* reporter) : Reporter(reporter), Unpacker(reporter) {}

TExtractedPatch::~TExtractedPatch() {
  DataFile.reset();  // an open file could not be deleted
  Unpacker.RemoveTemporaryFiles();
}

TExtractOutcome TExtractedPatch::Open(const char* patch) {
  TPathName cabinet(patch);
  const std::string name = cabinet.FileName();
  const std::string directory = std::string(cabinet.Directory()) + "\\";
  Reporter->ReportInfo("Unpacking patch...");
  if (!Unpacker.Unpack(name.c_str(), directory.c_str(), 0)) {
    Reporter->ReportError("Cannot unpack patch file: %s", patch);
    return TExtractOutcome::CannotUnpack;
  }
  if (Unpacker.ExtractedName()[0] != '\0') DataFile = Files.OpenRead(Unpacker.ExtractedName());
  if (!DataFile) {
    Reporter->ReportError("Cannot open patch file: %s", patch);
    return TExtractOutcome::CannotOpen;
  }
  return TExtractOutcome::Opened;
}

bool TExtractedPatch::Extract(const std::string& name, const std::string& directory) {
  if (Unpacker.Unpack(name.c_str(), directory.c_str(), 0) && Unpacker.ExtractedName()[0] != '\0')
    DataFile = Files.OpenRead(Unpacker.ExtractedName());
  return DataFile != nullptr;
}
