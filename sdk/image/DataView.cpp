// Re-shaping and re-orienting data views, and the unit's integer functions.
#include "image/DataView.h"

#include <algorithm>
#include <utility>

#include "errors/Exceptions.h"

namespace Vorna {
namespace {

constexpr std::uint32_t kReverse0 = 1;
constexpr std::uint32_t kReverse1 = 2;
constexpr std::uint32_t kExchange = 4;

constexpr DataViewDimension kUnitDimension = {1, 0};

void RequireCapacity(std::uint32_t dimensionCount) {
    if (dimensionCount > kMaxDataViewDimensions) ThrowMessage("Too many dimensions.");
}

// The number of stored pairs that are in use: a count above the capacity is read as full.
std::uint32_t PairsInUse(const DataView& view) {
    return std::min(view.fDimensionCount, kMaxDataViewDimensions);
}

}  // namespace

// ---- DataView -------------------------------------------------------------------------------

void DataView::FlipDimension(std::uint32_t i) {
    if (!InUse(i)) return;
    DataViewDimension& dimension = fDimensions[i];
    AdvanceData((static_cast<std::ptrdiff_t>(dimension.fSize) - 1) * dimension.fStride);
    // Negated through unsigned arithmetic: the most negative stride must not overflow.
    dimension.fStride =
        static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(dimension.fStride));
}

void DataView::SwapDimensions(std::uint32_t i, std::uint32_t j) {
    const std::uint32_t low = std::min(i, j);
    const std::uint32_t high = std::max(i, j);
    const std::uint32_t used = PairsInUse(*this);
    if (low == high || low >= used) return;  // both are the same unit dimension
    if (high >= used) {
        RequireCapacity(high + 1);
        std::fill(fDimensions + used, fDimensions + high + 1, kUnitDimension);
        fDimensionCount = high + 1;
    }
    std::swap(fDimensions[low], fDimensions[high]);
}

void DataView::Orient(std::uint32_t code) {
    if (code & kReverse0) FlipDimension(0);
    if (code & kReverse1) FlipDimension(1);
    if (code & kExchange) SwapDimensions(0, 1);
}

void DataView::OrientInverse(std::uint32_t code) {
    if (code & kExchange) SwapDimensions(0, 1);
    if (code & kReverse0) FlipDimension(0);
    if (code & kReverse1) FlipDimension(1);
}

void DataView::ReshapeView(std::uint32_t n, const DataView& source) {
    RequireCapacity(n);
    const std::uint32_t m = source.fDimensionCount;
    for (std::uint32_t i = n; i < m; ++i) {
        if (source.Size(i) != 1) ThrowMessage("The source data has too many dimensions.");
    }
    const DataView copy = source;  // `source` may be this view
    fData = copy.fData;
    fDataType = copy.fDataType;
    fDimensionCount = n;
    for (std::uint32_t i = 0; i < n; ++i) fDimensions[i] = {copy.Size(i), copy.Stride(i)};
}

void DataView::ExtendView(std::uint32_t n, DataView& target) const {
    RequireCapacity(n);
    if (&target != this) {
        target.fData = fData;
        target.fDimensionCount = fDimensionCount;
        target.fDataType = fDataType;
        std::copy(fDimensions, fDimensions + PairsInUse(*this), target.fDimensions);
    }
    const std::uint32_t used = PairsInUse(target);
    if (n > used) std::fill(target.fDimensions + used, target.fDimensions + n, kUnitDimension);
    target.fDimensionCount = std::max(target.fDimensionCount, n);
}

void DataView::PlaneView(std::uint32_t d, std::uint32_t p, DataView& target) const {
    if (d >= kMaxDataViewDimensions) ThrowMessage("Too many dimensions.");
    target.ReshapeView(d + 1, *this);
    target.AdvanceData(static_cast<std::ptrdiff_t>(p) * target.fDimensions[d].fStride);
    target.fDimensionCount = d;
}

// ---- Orientation codes ------------------------------------------------------------------------

std::uint32_t InvertOrientation(std::uint32_t code) {
    if (!(code & kExchange)) return code;
    return kExchange | ((code & kReverse0) ? kReverse1 : 0) | ((code & kReverse1) ? kReverse0 : 0);
}

std::uint32_t ComposeOrientation(std::uint32_t a, std::uint32_t b) {
    return (a & kExchange) ? a ^ InvertOrientation(b) : a ^ b;
}

// ---- Integer functions ------------------------------------------------------------------------

std::uint32_t FloorLog2(std::uint32_t n) {
    std::uint32_t log = 0;
    for (std::uint32_t step = 16; step != 0; step /= 2) {
        if (n >> step) {
            n >>= step;
            log += step;
        }
    }
    return log;
}

std::uint32_t CeilLog2(std::uint32_t n) { return n <= 1 ? 0 : FloorLog2(n - 1) + 1; }

std::uint32_t FloorPowerOfTwo(std::uint32_t n) {
    return n == 0 ? 0 : std::uint32_t{1} << FloorLog2(n);
}

std::uint32_t CeilPowerOfTwo(std::uint32_t n) {
    if (n <= 1) return n;
    return 2 * FloorPowerOfTwo(n - 1);  // unsigned: wraps to 0 above 2^31
}

}  // namespace Vorna
