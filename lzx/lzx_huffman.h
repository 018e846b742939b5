#pragma once
// Length-limited canonical Huffman codes for the LZX encoder.

#include <cstddef>
#include <cstdint>

// Sets lens[i] to the code length of symbol i for the frequencies freq[0..count), no length
// above maxLength. Symbols of frequency 0 get length 0. With fewer than two used symbols the
// code would be incomplete, which LZX decoders reject: the first unused symbols are then
// given length 1 so that the code always has at least two symbols.
void BuildCodeLengths(const uint32_t* freq, size_t count, unsigned maxLength, uint8_t* lens);

// Sets codes[i] to the canonical code of symbol i (shorter codes first, then symbol order),
// the assignment every LZX decoder rebuilds from the lengths alone.
void BuildCanonicalCodes(const uint8_t* lens, size_t count, uint32_t* codes);
