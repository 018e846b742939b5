#pragma once
// The content checks of a record (verify_info.h) held against files: which of the record's
// versions a file holds, and whether what a step wrote is the new version. The installer
// decides from these what a record does; they report nothing themselves.

#include <cstdint>

#include "files/file_system.h"
#include "hash/sha256.h"
#include "patch_directory.h"
#include "record_io.h"
#include "verify_info.h"

// Which of the record's versions a file holds, by size and SHA-256.
struct TContentMatch {
  bool Old = false;  // the version the record acts on
  bool New = false;  // the version the record produces
};

// The checks the verification record before index carries for it; false when there are
// none (or they cannot be read from data), and the record is judged by its date/time alone.
bool ChecksFor(const TPatchDirectory& records, TInputFile& data, int index, TVerifyInfo& checks);

// Hashes the first size bytes of file in pieces, running the pump before each.
bool HashFile(TInputFile& file, int64_t size, TMessagePump pump, TSha256Digest& digest);

// Hashes file only when its size is one the checks know.
TContentMatch JudgeContent(TInputFile& file, const TVerifyInfo& checks, TMessagePump pump);

// Whether what was written through out (the file at path, now closed) is the new version;
// true when the checks do not know it. Written out of order, the file is read back.
bool WrittenAsExpected(THashingOutput& out, TFileSystem& files, const char* path, const TVerifyInfo& checks,
                       TMessagePump pump);
