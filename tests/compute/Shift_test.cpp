// The circular shift: reduction of the offsets, and the row-copying shift against the reference.
#include "compute/Shift.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace Vorna::Compute {
namespace {

// The non-negative remainder of an integer offset, for comparison.
std::int64_t Mod(std::int64_t t, std::uint32_t size) {
    const std::int64_t r = t % static_cast<std::int64_t>(size);
    return r < 0 ? r + size : r;
}

TEST(ReduceOffsetTest, TruncatesTowardZeroThenWraps) {
    EXPECT_EQ(ReduceOffset(0.0, 100), 0);
    EXPECT_EQ(ReduceOffset(-0.0, 100), 0);
    EXPECT_EQ(ReduceOffset(0.999, 100), 0);
    EXPECT_EQ(ReduceOffset(-0.5, 100), 0);
    EXPECT_EQ(ReduceOffset(2.9, 100), 2);
    EXPECT_EQ(ReduceOffset(-2.9, 100), 98);
    EXPECT_EQ(ReduceOffset(-1.0, 100), 99);
    EXPECT_EQ(ReduceOffset(100.0, 100), 0);
    EXPECT_EQ(ReduceOffset(-100.0, 100), 0);
    EXPECT_EQ(ReduceOffset(101.0, 100), 1);
    EXPECT_EQ(ReduceOffset(-101.5, 100), 99);
    EXPECT_EQ(ReduceOffset(12345.0, 1), 0);
    EXPECT_EQ(ReduceOffset(4294967294.0, 4294967295u), 4294967294);
    EXPECT_EQ(ReduceOffset(-1.0, 4294967295u), 4294967294);
}

TEST(ReduceOffsetTest, HugeOffsetsAreReducedExactly) {
    for (std::uint32_t size : {1u, 2u, 3u, 7u, 100u, 641u, 4096u, 65521u, 4294967291u}) {
        EXPECT_EQ(ReduceOffset(1e12, size), Mod(1000000000000, size)) << size;
        EXPECT_EQ(ReduceOffset(-1e12, size), Mod(-1000000000000, size)) << size;
        const std::int64_t t = -(std::int64_t{1} << 40) + 3;
        EXPECT_EQ(ReduceOffset(static_cast<double>(t), size), Mod(t, size)) << size;
        EXPECT_EQ(ReduceOffset(static_cast<double>(t) - 0.75, size), Mod(t, size)) << size;
        const std::int64_t big = (std::int64_t{1} << 53) - 1;
        EXPECT_EQ(ReduceOffset(static_cast<double>(big), size), Mod(big, size)) << size;
        EXPECT_EQ(ReduceOffset(2147483648.0, size), Mod(2147483648, size)) << size;
        EXPECT_EQ(ReduceOffset(-2147483649.0, size), Mod(-2147483649, size)) << size;
    }
    // Far beyond 64 bits: 2^1000 = 2 * 8^333, and 8 = 1 (mod 7).
    EXPECT_EQ(ReduceOffset(std::ldexp(1.0, 1000), 7), 2);
    EXPECT_EQ(ReduceOffset(-std::ldexp(1.0, 1000), 7), 5);
    EXPECT_EQ(ReduceOffset(std::numeric_limits<double>::max(), 1024), 0);
}

std::vector<std::uint32_t> Pattern(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint32_t> image(std::size_t{width} * height);
    std::uint32_t state = width * 7919u + height;
    for (auto& x : image) {
        state = state * 1664525u + 1013904223u;
        x = state;  // every bit pattern, NaNs with payloads and signed zeros included
    }
    image[0] = 0x7F800001u;  // a signalling NaN, which a float copy might quiet
    return image;
}

std::vector<std::uint32_t> Shifted(const std::vector<std::uint32_t>& in, std::uint32_t width,
                                   std::uint32_t height, std::int64_t tx, std::int64_t ty,
                                   bool fast) {
    std::vector<std::uint32_t> out(in.size(), 0xDEADBEEFu);
    if (fast)
        Shift(in.data(), width, height, tx, ty, out.data());
    else
        ShiftReference(in.data(), width, height, tx, ty, out.data());
    return out;
}

TEST(ShiftTest, ReferenceMovesEachElementToItsWrappedPlace) {
    const std::uint32_t width = 5, height = 3;
    const std::vector<std::uint32_t> in = Pattern(width, height);
    for (std::int64_t tx : {-7, -1, 0, 2, 5, 13})
        for (std::int64_t ty : {-4, 0, 1, 3}) {
            const std::vector<std::uint32_t> out = Shifted(in, width, height, tx, ty, false);
            for (std::uint32_t i = 0; i < width; ++i)
                for (std::uint32_t j = 0; j < height; ++j)
                    ASSERT_EQ(out[Mod(i + tx, width) + Mod(j + ty, height) * width],
                              in[i + j * width])
                        << tx << ", " << ty;
        }
}

TEST(ShiftTest, OneColumnLeftOnAHundredColumns) {
    const std::vector<std::uint32_t> in = Pattern(100, 4);
    const std::vector<std::uint32_t> out = Shifted(in, 100, 4, ReduceOffset(-1.0, 100), 0, true);
    for (std::uint32_t j = 0; j < 4; ++j) {
        EXPECT_EQ(out[99 + j * 100], in[0 + j * 100]);
        for (std::uint32_t i = 1; i < 100; ++i) ASSERT_EQ(out[i - 1 + j * 100], in[i + j * 100]);
    }
}

TEST(ShiftTest, SmallAndWholePeriodOffsetsGiveExactCopies) {
    const std::uint32_t width = 37, height = 11;
    const std::vector<std::uint32_t> in = Pattern(width, height);
    for (double dx : {0.0, 0.7, -0.99, 37.0, -74.0, 37e6})
        for (double dy : {0.0, -0.3, 11.0, -22.5})
            EXPECT_EQ(
                Shifted(in, width, height, ReduceOffset(dx, width), ReduceOffset(dy, height), true),
                in)
                << dx << ", " << dy;
}

TEST(ShiftTest, RowCopiesMatchTheReference) {
    const std::pair<std::uint32_t, std::uint32_t> shapes[] = {
        {1, 1}, {1, 17}, {17, 1}, {2, 2}, {3, 5}, {64, 64}, {100, 37}, {257, 129}};
    for (const auto& [width, height] : shapes) {
        const std::vector<std::uint32_t> in = Pattern(width, height);
        for (std::int64_t tx :
             {std::int64_t{0}, std::int64_t{1}, std::int64_t{-1}, std::int64_t{width} - 1,
              std::int64_t{width} + 3, -(std::int64_t{1} << 40) + 3,
              std::numeric_limits<std::int64_t>::min()})
            for (std::int64_t ty : {std::int64_t{0}, std::int64_t{2}, -std::int64_t{height} - 1,
                                    std::numeric_limits<std::int64_t>::max()})
                ASSERT_EQ(Shifted(in, width, height, tx, ty, true),
                          Shifted(in, width, height, tx, ty, false))
                    << width << " x " << height << " by " << tx << ", " << ty;
    }
}

}  // namespace
}  // namespace Vorna::Compute
