// The description of an image's data as plug-in code sees it: where element (0, 0, ...) lies, how
// many dimensions are in use, the host's element type code, and per dimension its size and byte
// stride. The operations here re-shape or re-orient a view in place; they never touch the data.
//
// The record crosses the host boundary (the lock callbacks fill it): its fields and their layout
// are those of QZDataViewRecord (abi/ImageData.h); a view adds operations, no data.
//
// A dimension at or beyond the count reads as size 1, stride 0, whatever its stored pair holds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/Boundary.h"

namespace Vorna {

struct DataView : QZDataViewRecord {
    // No data, no dimensions.
    DataView() : QZDataViewRecord{} {}

    // ---- Field access ------------------------------------------------------------------------
    // The data pointer, typed by the caller: view.Data<float>().
    template <class T = void>
    T* Data() const {
        return static_cast<T*>(fData);
    }
    std::uint32_t DimensionCount() const { return fDimensionCount; }
    std::uint32_t DataType() const { return fDataType; }
    // 1 for a dimension at or beyond the count.
    std::uint32_t Size(std::uint32_t dimension) const {
        return InUse(dimension) ? fDimensions[dimension].fSize : 1;
    }
    // 0 for a dimension at or beyond the count.
    std::int32_t Stride(std::uint32_t dimension) const {
        return InUse(dimension) ? fDimensions[dimension].fStride : 0;
    }
    // Size × stride in bytes; 0 for a dimension at or beyond the count.
    std::ptrdiff_t Extent(std::uint32_t dimension) const {
        return static_cast<std::ptrdiff_t>(Size(dimension)) * Stride(dimension);
    }

    // Moves the data pointer by a signed byte count (no element size involved).
    void AdvanceData(std::ptrdiff_t bytes) {
        fData = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(fData) +
                                        static_cast<std::uintptr_t>(bytes));
    }

    // ---- Re-shaping ---------------------------------------------------------------------------
    // Runs dimension i backwards: the data moves to its last element, the stride changes sign.
    // A dimension beyond the count has one element; flipping it changes nothing.
    void FlipDimension(std::uint32_t i);
    // Exchanges the size/stride pairs of dimensions i and j. When one of them lies beyond the
    // count, the count grows to take in both (dimensions in between are size 1, stride 0), so a
    // one-dimensional line swapped with dimension 1 becomes a column. Raises "Too many
    // dimensions." when that would need more than kMaxDataViewDimensions.
    void SwapDimensions(std::uint32_t i, std::uint32_t j);
    // Orientation codes: bit 0 reverses dimension 0, bit 1 reverses dimension 1, bit 2 exchanges
    // dimensions 0 and 1 (after the reversals). OrientInverse(code) undoes Orient(code).
    void Orient(std::uint32_t code);
    void OrientInverse(std::uint32_t code);

    // Makes this view a copy of `source` with exactly n dimensions: dropped dimensions must have
    // size 1 ("The source data has too many dimensions."), added ones get size 1 and stride 0.
    // Raises "Too many dimensions." for n above kMaxDataViewDimensions. On failure this view is
    // unchanged. `source` may be this view.
    void ReshapeView(std::uint32_t n, const DataView& source);
    // Copies this view into `target` (unless it is this view) and gives it at least n dimensions.
    // Raises "Too many dimensions." for n above kMaxDataViewDimensions, changing nothing.
    void ExtendView(std::uint32_t n, DataView& target) const;
    // Makes `target` the d-dimensional plane number p of this view along dimension d: dimensions
    // from d + 1 on must have size 1. The plane number is not checked against size d. Raises
    // "Too many dimensions." for d at or above kMaxDataViewDimensions. `target` may be this view.
    void PlaneView(std::uint32_t d, std::uint32_t p, DataView& target) const;

  private:
    bool InUse(std::uint32_t dimension) const {
        return dimension < fDimensionCount && dimension < kMaxDataViewDimensions;
    }
};

// ---- Orientation codes --------------------------------------------------------------------
// The code whose Orient undoes Orient(code).
std::uint32_t InvertOrientation(std::uint32_t code);
// a XOR b; when a exchanges the dimensions, a XOR InvertOrientation(b). This is the framework's
// established combination rule (ComposeOrientation(4, 1) = 5, (4, 5) = 2, (1, 5) = 4), kept as is
// for the codes plug-ins already store; note that it is not Orient(a) and Orient(b) applied in
// either order when a exchanges and b only reverses.
std::uint32_t ComposeOrientation(std::uint32_t a, std::uint32_t b);

// ---- Integer functions (32-bit unsigned) --------------------------------------------------
// Index of the highest set bit; 0 for 0 and 1.
std::uint32_t FloorLog2(std::uint32_t n);
// Smallest k with 2^k ≥ n; 0 for 0 and 1.
std::uint32_t CeilLog2(std::uint32_t n);
// Largest power of two not above n; 0 for 0.
std::uint32_t FloorPowerOfTwo(std::uint32_t n);
// Smallest power of two not below n; 0 for 0 and for n above 2^31 (no such 32-bit value).
std::uint32_t CeilPowerOfTwo(std::uint32_t n);

}  // namespace Vorna
