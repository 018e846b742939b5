#pragma once
// Reading a patch cabinet back on a machine without the system cabinet library: libmspack,
// the library of cabextract, extracts the cabinet's single file.

#include <string>

// Extracts the only file of the cabinet at cabinet (a path on disk) to output. False with
// error set when the cabinet cannot be read, holds other than one file, or fails to decode.
bool ExtractSingleFile(const std::string& cabinet, const std::string& output, std::string& error);
