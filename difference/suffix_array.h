#pragma once
// Suffix array of a byte string by induced sorting (SA-IS), with 32-bit indices.
//
// Linear time. Memory beyond the text: the array itself (4 bytes a byte), a bit a byte for
// the suffix types of each level, and the bucket array of a reduced level where it does not
// fit in the unused part of the array (never more than 2 bytes a byte of text; on real data
// it nearly always fits, so the whole stays about 5 bytes a byte of text).

#include <cstddef>
#include <cstdint>
#include <vector>

// The largest text: indices and the virtual end marker stay within a signed 32-bit number.
constexpr size_t MaxSuffixArrayText = 0x7FFFFFFE;

// Fills suffixes with the start offsets of all non-empty suffixes of text in increasing
// order (a suffix that is a prefix of another sorts first). False, leaving suffixes empty,
// when size exceeds MaxSuffixArrayText or memory runs out.
bool BuildSuffixArray(const uint8_t* text, size_t size, std::vector<int32_t>& suffixes);
