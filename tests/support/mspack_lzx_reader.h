#pragma once
// Decodes LZX chunks with libmspack, the reader of cabextract: the chunks become the data
// blocks of a one-file cabinet assembled in memory, which libmspack's cabinet reader extracts
// through an in-memory mspack_system. Native builds only.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The cabinet holding size bytes as the given LZX chunks (one per 32768-byte frame), with
// no data block checksums (a zero checksum means "not computed").
std::vector<uint8_t> LzxChunksToCabinet(const std::vector<std::vector<uint8_t>>& chunks, size_t size,
                                        int windowBits);

// Extracts the single file of cabinet. False (with error set) when libmspack refuses it.
bool ExtractWithMspack(const std::vector<uint8_t>& cabinet, std::vector<uint8_t>& file, std::string& error);
