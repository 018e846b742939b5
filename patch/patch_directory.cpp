#include "patch_directory.h"

TPatchDirectory ReadPatchDirectory(TInputFile& data) {
  TPatchDirectory directory;
  int64_t position = 0;
  uint8_t raw[TPatchInfo::Size];
  for (;;) {
    // A read error looks like the end of the file: the records read so far stand.
    if (data.Read(position, raw, sizeof raw) < static_cast<int64_t>(sizeof raw)) return directory;
    TPatchInfo record;
    ParsePatchInfo(raw, record);
    const int64_t next = static_cast<int64_t>(record.RecordOffset) + record.RecordSize;
    // The next header must lie beyond this one, or the reader would go round in circles
    // (or crawl through the file a byte at a time). Such a header cannot say where its own
    // data is either, so it is dropped with everything after it.
    if (record.RecordOffset < 0 || record.RecordSize < static_cast<int32_t>(TPatchInfo::Size) ||
        next < position + static_cast<int64_t>(TPatchInfo::Size)) {
      directory.DamagedAt = position;
      return directory;
    }
    directory.Records.push_back(record);
    position = next;
  }
}
