#pragma once
// Whole-file reading and writing through the engine's file services, for the tools and
// tests that build, verify or inspect releases (the engine itself works at offsets).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "file_system.h"

// Reads a whole file. False when it cannot be opened or read completely, or is larger
// than limit bytes; bytes is then incomplete.
bool ReadWholeFile(TFileSystem& files, const std::string& path, std::vector<uint8_t>& bytes,
                   size_t limit = SIZE_MAX);

// Creates (or truncates) path and writes bytes to it. False on any failure.
bool WriteWholeFile(TFileSystem& files, const std::string& path, const std::vector<uint8_t>& bytes);
