// Circular shift of a W x H image of 4-byte elements by whole pixels: element (i, j) moves to
// ((i + tx) mod W, (j + ty) mod H), remainders taken non-negative. Elements are copied bit for bit.
#pragma once

#include <cstdint>

namespace Vorna::Compute {

// trunc(d) reduced modulo size to [0, size), exactly for every finite d (also far beyond 2^63).
// Requires a finite d and size > 0.
std::int64_t ReduceOffset(double d, std::uint32_t size);

// The element-by-element loop, for any offsets.
void ShiftReference(const std::uint32_t* in, std::uint32_t width, std::uint32_t height,
                    std::int64_t tx, std::int64_t ty, std::uint32_t* out);

// Same result, copying each row as two contiguous pieces. in and out must not overlap.
void Shift(const void* in, std::uint32_t width, std::uint32_t height, std::int64_t tx,
           std::int64_t ty, void* out);

}  // namespace Vorna::Compute
