// The circular image shift.
#include "compute/Shift.h"

#include <cmath>
#include <cstddef>
#include <cstring>

namespace Vorna::Compute {

namespace {

// t mod size in [0, size) for any 64-bit t.
std::uint32_t Wrap(std::int64_t t, std::uint32_t size) {
    const std::int64_t r = t % static_cast<std::int64_t>(size);
    return static_cast<std::uint32_t>(r < 0 ? r + size : r);
}

}  // namespace

std::int64_t ReduceOffset(double d, std::uint32_t size) {
    // trunc and fmod are exact: the remainder of two doubles is representable, and size < 2^32.
    const double r = std::fmod(std::trunc(d), static_cast<double>(size));
    const auto t = static_cast<std::int64_t>(r);  // |r| < size, an integer
    return t < 0 ? t + size : t;
}

void ShiftReference(const std::uint32_t* in, std::uint32_t width, std::uint32_t height,
                    std::int64_t tx, std::int64_t ty, std::uint32_t* out) {
    if (width == 0 || height == 0) return;
    const std::uint32_t sx = Wrap(tx, width);
    const std::uint32_t sy = Wrap(ty, height);
    for (std::uint32_t i = 0; i < width; ++i)
        for (std::uint32_t j = 0; j < height; ++j) {
            const std::size_t ti = (std::size_t{i} + sx) % width;
            const std::size_t tj = (std::size_t{j} + sy) % height;
            out[ti + tj * width] = in[i + std::size_t{j} * width];
        }
}

void Shift(const void* in, std::uint32_t width, std::uint32_t height, std::int64_t tx,
           std::int64_t ty, void* out) {
    if (width == 0 || height == 0) return;
    const std::size_t sx = Wrap(tx, width);
    const std::uint32_t sy = Wrap(ty, height);
    const std::size_t rowBytes = std::size_t{width} * 4;
    const std::size_t headBytes = (width - sx) * 4;  // source columns [0, W - sx) -> [sx, W)
    const auto* src = static_cast<const unsigned char*>(in);
    auto* dst = static_cast<unsigned char*>(out);
    for (std::uint32_t j = 0; j < height; ++j) {
        const std::uint32_t tj = j + sy < height ? j + sy : j + sy - height;
        const unsigned char* from = src + std::size_t{j} * rowBytes;
        unsigned char* to = dst + std::size_t{tj} * rowBytes;
        std::memcpy(to + sx * 4, from, headBytes);
        std::memcpy(to, from + headBytes, sx * 4);
    }
}

}  // namespace Vorna::Compute
