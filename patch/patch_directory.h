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
#include "report/patch_reporter.h"

// More records than any real patch holds (a patch of 50,000 files with content checks): a
// directory longer than this is damaged or hostile, and reading on would only exhaust the
// memory of a 32-bit process (some 22 MB of headers at the limit).
inline constexpr int MaxPatchRecords = 100000;

// How the reading ended.
enum class TDirectoryEnd {
  FileEnd,         // the end of the file; a final header shorter than 221 bytes is dropped
  Damaged,         // a header that cannot say where the next one is: the records before it stand
  ReadFailed,      // the file could not be read (not its end): nothing may be applied
  TooManyRecords,  // more than MaxPatchRecords: nothing may be applied
};

struct TPatchDirectory {
  std::vector<TPatchInfo> Records;
  TDirectoryEnd End = TDirectoryEnd::FileEnd;
  int64_t EndOffset = 0;  // where the reading ended: the damaged header's offset, say

  int Count() const { return static_cast<int>(Records.size()); }
  const TPatchInfo& operator[](int index) const { return Records[static_cast<size_t>(index)]; }
  // Whether the directory may not be applied at all (ReadFailed, TooManyRecords).
  bool Refused() const { return End == TDirectoryEnd::ReadFailed || End == TDirectoryEnd::TooManyRecords; }
};

// Reads the headers from offset 0, jumping over each record's data. Reports nothing: the
// installer reports the reading when its run starts (TPatchFile::Run), and the owner of a
// run refuses a directory that may not be applied before anything else (ReportRefusal).
TPatchDirectory ReadPatchDirectory(TInputFile& data);

// For a refused directory, its error row, which names patch, and true:
//   "Cannot install patch: cannot read the patch directory of %s - nothing was changed"
//   "Cannot install patch: the patch directory of %s holds more than 100000 records -
//    nothing was changed"
// False, without a row, for a directory that may be applied.
bool ReportRefusal(const TPatchDirectory& directory, const char* patch, TPatchReporter& reporter);
