#pragma once
// Reads a PE image's base-relocation table: the RVAs of the pointers the loader adjusts
// when the image does not load at its preferred base (HIGHLOW on x86, DIR64 on x64).
// Blocks are checked against the table's range; a block that runs past it ends the list.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pe_image.h"

// The RVAs in table order; empty when the image has no table.
std::vector<uint32_t> ReadBaseRelocations(const uint8_t* bytes, size_t size, const TPeImage& image);
