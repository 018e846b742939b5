#include "extracted_patch.h"

#include "paths/path_name.h"

TExtractedPatch::TExtractedPatch(TPatchReporter* reporter) : Reporter(reporter), Unpacker(reporter) {}

TExtractedPatch::~TExtractedPatch() {
  DataFile.reset();  // an open file could not be deleted
  Unpacker.RemoveTemporaryFiles();
}

TExtractOutcome TExtractedPatch::Open(const char* patch, const TCabinetWithin* within) {
  TPathName cabinet(within ? within->File.c_str() : patch);
  const std::string name = cabinet.FileName();
  const std::string directory = std::string(cabinet.Directory()) + "\\";
  // The library opens directory + name: that is the file the window applies to.
  if (within) Unpacker.SetCabinetWindow(directory + name, within->Offset, within->Length);
  Reporter->ReportInfo("Unpacking patch...");
  if (!Unpacker.Unpack(name.c_str(), directory.c_str(), 0)) {
    Reporter->ReportError("Cannot unpack patch file: %s", patch);
    return TExtractOutcome::CannotUnpack;
  }
  DataFile = Unpacker.OpenExtracted();
  if (!DataFile) {
    Reporter->ReportError("Cannot open patch file: %s", patch);
    return TExtractOutcome::CannotOpen;
  }
  return TExtractOutcome::Opened;
}

bool TExtractedPatch::Extract(const std::string& name, const std::string& directory) {
  if (Unpacker.Unpack(name.c_str(), directory.c_str(), 0)) DataFile = Unpacker.OpenExtracted();
  return DataFile != nullptr;
}
