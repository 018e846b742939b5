#pragma once
// TPatchDirectory: the record headers of a patch data file in file order; index i is the
// i-th record of the file. A run reads it once (ReadPatchDirectory), before the look for
// files in use, and everything after works from that reading: the look, the installer and
// the tools' record tracker. The data file is never read for headers again, so a Retry of
// the files-in-use question reads nothing.

#include <cstdint>
#include <vector>

#include "files/file_system.h"
#include "patch_info.h"

struct TPatchDirectory {
  std::vector<TPatchInfo> Records;
  // The offset of a damaged header that ended the reading (the records before it stand);
  // -1 when the file's end did.
  int64_t DamagedAt = -1;

  int Count() const { return static_cast<int>(Records.size()); }
  const TPatchInfo& operator[](int index) const { return Records[static_cast<size_t>(index)]; }
};

// Reads the headers from offset 0, jumping over each record's data. Reports nothing: the
// installer reports the reading when its run starts (TPatchFile::Run).
TPatchDirectory ReadPatchDirectory(TInputFile& data);
