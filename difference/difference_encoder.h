#pragma once
// Builds a difference record (difference/README.md) of a new file against its previous
// version: control entries, a difference stream and an extra stream, all stored raw.
//
// Matches are found as bsdiff finds them: the longest exact match of the new file's text
// at the scan position among the suffixes of the old file (binary search over its suffix
// array), taken once it is clearly better than continuing with the current alignment; each
// match is then stretched forwards and backwards over the bytes that mostly agree, so that
// code whose embedded addresses all moved by the same amount becomes one long "add" whose
// difference bytes are nearly all zero.
//
// Memory: the suffix array of the old file (4 bytes a byte, about 5 while it is built),
// the record, and the control entries.

#include <cstddef>
#include <cstdint>
#include <vector>

// False, with record empty, when a file is not below 2 GB or memory runs out.
bool EncodeDifference(const uint8_t* oldData, size_t oldSize, const uint8_t* newData, size_t newSize,
                      std::vector<uint8_t>& record);

// The plain record, and with executable set also the executable record (version 2: the
// references of two PE images of one machine coded by what they point to), both from one
// matching; executable is left empty when the files are not such a pair. False, with both
// empty, as EncodeDifference.
bool EncodeDifferences(const uint8_t* oldData, size_t oldSize, const uint8_t* newData, size_t newSize,
                       std::vector<uint8_t>& plain, std::vector<uint8_t>* executable);
