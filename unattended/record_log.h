#pragma once
// The record log that `menditcon -log FILE -logformat records` writes: one line per record,
// for programs to read. The format is stable; a later version adds fields only at the end of
// a line and says so by the number in the first line.
//
//   # menditcon records 2 run|check
//   <n>\t<outcome>\t<kind>\t<path>\t<message>       one line per record, in directory order
//   # exit <code>
//
// n is the record's 1-based place in the patch directory; 0 marks an error outside any
// record (a damaged directory, a patch that cannot be unpacked), with "failed", "-" and an
// empty path. outcome is applied, up-to-date (the record's result was there already: nothing
// changed), skipped, failed, rolled-back (applied, then put back) or ignored (a record of
// unknown type or for another version); in a check it is the prediction. kind is modify, copy,
// delete, difference or unknown. path is the record's path with macros expanded, relative to
// the application folder when it lies inside it (version 1 gave it whole and had no
// up-to-date); message is the row that
// explains the outcome the engine reported (the first error, else the first warning, else the
// first row), with the engine's own wording. Tabs and line ends inside path and message become spaces. The last
// line carries the exit code. Lines end in a line feed alone ("\n"), on Windows too.

#include <cstdio>
#include <string>
#include <vector>

#include "console/record_tracker.h"

// root is the application folder ("" when the run did not get as far as finding it).
void WriteRecordLog(std::FILE* out, bool check, const std::string& root, const std::vector<TRecordResult>& records,
                    const std::vector<std::string>& errorsOutsideRecords, int exitCode);
