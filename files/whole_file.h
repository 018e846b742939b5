#pragma once
// Whole-file reading and writing through the engine's file services, for the tools and
// tests that build, verify or inspect releases; and the two ways of reading a stretch of an
// open file: whole into memory (ReadPart), or hashed a piece at a time (HashRange).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "file_system.h"
#include "hash/sha256.h"
#include "hash/sha256_pipe.h"

// Reads a whole file. False when it cannot be opened or read completely, or is larger
// than limit bytes; bytes is then incomplete.
bool ReadWholeFile(TFileSystem& files, const std::string& path, std::vector<uint8_t>& bytes,
                   size_t limit = SIZE_MAX);

// Creates (or truncates) path and writes bytes to it. False on any failure.
bool WriteWholeFile(TFileSystem& files, const std::string& path, const std::vector<uint8_t>& bytes);

// Reads length bytes at offset; false when the file is shorter or cannot be read.
bool ReadPart(TInputFile& file, int64_t offset, int64_t length, std::vector<uint8_t>& bytes);

// Feeds length bytes of file from offset to hasher, HashPiece bytes at a time, calling
// beforePiece(context) first for each (when given: a window dispatches its messages there).
// False when the file is shorter or cannot be read.
constexpr size_t HashPiece = 256 * 1024;
bool HashRange(TInputFile& file, int64_t offset, int64_t length, TSha256& hasher,
               void (*beforePiece)(void*) = nullptr, void* context = nullptr);
// The same, hashed beside the reading (on a second thread where there is one).
bool HashRange(TInputFile& file, int64_t offset, int64_t length, TSha256Pipe& hasher,
               void (*beforePiece)(void*) = nullptr, void* context = nullptr);
