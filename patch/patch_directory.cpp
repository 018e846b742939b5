#include "patch_directory.h"

TPatchDirectory ReadPatchDirectory(TInputFile& data) {
  TPatchDirectory directory;
  int64_t position = 0;
  uint8_t raw[TPatchInfo::Size];
  auto end = [&](TDirectoryEnd how) {
    directory.End = how;
    directory.EndOffset = position;
    return directory;
  };
  for (;;) {
    const int64_t got = data.Read(position, raw, sizeof raw);
    if (got < 0) return end(TDirectoryEnd::ReadFailed);
    // The file's end, or a final header cut short, which the format drops without a word.
    if (got < static_cast<int64_t>(sizeof raw)) return end(TDirectoryEnd::FileEnd);
    if (directory.Count() == MaxPatchRecords) return end(TDirectoryEnd::TooManyRecords);
    TPatchInfo record;
    ParsePatchInfo(raw, record);
    const int64_t next = static_cast<int64_t>(record.RecordOffset) + record.RecordSize;
    // The next header must lie beyond this one, or the reader would go round in circles
    // (or crawl through the file a byte at a time). Such a header cannot say where its own
    // data is either, so it is dropped with everything after it.
    if (record.RecordOffset < 0 || record.RecordSize < static_cast<int32_t>(TPatchInfo::Size) ||
        next < position + static_cast<int64_t>(TPatchInfo::Size))
      return end(TDirectoryEnd::Damaged);
    directory.Records.push_back(record);
    position = next;
  }
}

bool ReportRefusal(const TPatchDirectory& directory, const char* patch, TPatchReporter& reporter) {
  if (directory.End == TDirectoryEnd::ReadFailed)
    reporter.ReportError("Cannot install patch: cannot read the patch directory of %s - nothing was changed", patch);
  else if (directory.End == TDirectoryEnd::TooManyRecords)
    reporter.ReportError(
        "Cannot install patch: the patch directory of %s holds more than %d records - nothing was changed", patch,
        MaxPatchRecords);
  return directory.Refused();
}
