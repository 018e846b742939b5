#pragma once
// MSZIP frames through zlib: each 32768-byte frame (the last may be shorter) becomes "CK"
// and one raw deflate stream that ends with a final block, and may refer back into the
// frame before it, which every reader keeps as history.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// False only when zlib fails (out of memory). progress, when given, hears the bytes
// compressed after each frame.
bool MszipCompress(const uint8_t* data, size_t size, std::vector<std::vector<uint8_t>>& frames,
                   const std::function<void(size_t done)>& progress = nullptr);
