#pragma once
// The check mode of the console companion: what a run of the patch would do to each record,
// found without changing any file.
//
// Records are followed in directory order over a picture of the files: what a record would
// write (a copy patch's file and date/time, a modify patch's new date/time, a delete patch's
// removal) is what the later records see, as in a real run. Existing files are only opened
// for reading, to learn their date/time.
//
// Rows: "Would apply <kind> patch (<path>)"; a warning "Would skip: File: <path> has improper
// date/time stamp (file <stamp>, patch <stamp>)"; an error "Would fail: Cannot open source
// file: <path>". The directory must have been read (TPatchFile::ReadDirectory).

#include "patch/file_system.h"
#include "patch/patch_file.h"
#include "patch/patch_reporter.h"

struct TCheckCounts {
  int Apply = 0;
  int Skip = 0;
  int Fail = 0;
  int Ignored = 0;  // records of unknown type, which a run passes over silently
};

TCheckCounts CheckRecords(TPatchFile& installer, TFileSystem& files, TPatchReporter& reporter);
