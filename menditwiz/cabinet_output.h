#pragma once
// The patch cabinet: the patch data file packed, alone, into one cabinet through our binding
// of the system cabinet library (MSZIP compression, which every cabinet.dll offers).

#include <cstdint>
#include <string>
#include <vector>

// The file name the patch data file has inside the cabinet (mendit extracts it under a
// temporary name of its own, so the name only shows in cabinet tools).
extern const char* const DataFileName;

// Packs dataFile into a new cabinet at cabinet (absolute path). False with error set when
// the library is missing or reports a failure.
bool PackCabinet(const std::string& dataFile, const std::string& cabinet, std::string& error);

// The size of a cabinet holding bytes, built in scratch (absolute folder) and removed
// again; 0 when it cannot be built.
size_t CabinetSize(const std::string& scratch, const std::vector<uint8_t>& bytes);
