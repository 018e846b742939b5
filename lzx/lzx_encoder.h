#pragma once
// The LZX encoder of the cabinet writer.
//
// The input is cut into 32768-byte frames (the last may be shorter); each frame becomes one
// compressed chunk that ends on a 16-bit boundary, so that every chunk can be the payload of
// one cabinet data block whose uncompressed size is that frame's size. The stream carries no
// x86 call translation. Matches never cross a frame, so each data block decodes to exactly its
// own frame; blocks are verbatim, or uncompressed where compression would not pay, which also
// keeps every chunk within the 32768 + 6144 bytes a cabinet data block may hold.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Window sizes the format allows, as powers of two.
constexpr int LzxMinWindowBits = 15;
constexpr int LzxMaxWindowBits = 21;

// Bytes of one frame, and the most a compressed chunk may hold.
constexpr size_t LzxFrameSize = 32768;
constexpr size_t LzxMaxChunkSize = 32768 + 6144;

// How hard the encoder works: Best is what a cabinet gets; Quick (a shorter match search and
// one parse per block, about three times as fast and 1-2% larger) serves to compare
// candidates for a cabinet by their packed size.
enum class TLzxEffort { Best, Quick };

// One compressed chunk per 32768-byte input frame (the last frame may be shorter), each ending
// byte-aligned (padded to 16 bits as the format requires), ready to be one CFDATA block's
// payload with cbUncomp = that frame's size. windowBits 15..21. Empty input gives no chunks;
// so does a windowBits outside 15..21 or an input of 2 GB or more, which no cabinet holds.
// progress, when given, hears how many input bytes are encoded after each frame.
std::vector<std::vector<uint8_t>> LzxCompress(const uint8_t* data, size_t size, int windowBits,
                                              const std::function<void(size_t done)>& progress = nullptr,
                                              TLzxEffort effort = TLzxEffort::Best);
