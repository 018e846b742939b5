#pragma once
// The patch cabinet: the patch data file packed, alone, into one cabinet by our own cabinet
// writer, with LZX or MSZIP compression.

#include <cstdint>
#include <string>
#include <vector>

#include "cabinet/cab_writer.h"
#include "files/file_system.h"

// The file name the patch data file has inside the cabinet (mendit extracts it under a
// temporary name of its own, so the name only shows in cabinet tools).
extern const char* const DataFileName;

// The cabinet holding data as the patch data file, dated stamp. False with error set when
// data cannot be packed (too large for one cabinet, compressor failure). progress, when
// given, hears how many bytes of data are compressed as the work goes on.
bool MakePatchCabinet(const std::vector<uint8_t>& data, TCabCompression compression, TDosStamp stamp,
                 std::vector<uint8_t>& cabinet, std::string& error, const TCompressProgress& progress = nullptr);

