// The Hough transform: the reference loop against a literal transcription of the definition and
// against fixed checksums, and the fast path against the reference bit for bit.
#include "compute/Hough.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "HoughTestSupport.h"
#include "compute/HoughDetail.h"
#include "compute/Parallel.h"

namespace Vorna::Compute {
namespace {

using namespace Testing;

const HoughKernel kAllKernels[] = {HoughKernel::Auto,
                                   HoughKernel::Baseline,
                                   HoughKernel::Lanes,
                                   HoughKernel::Lanes512,
                                   HoughKernel::Avx2,
                                   HoughKernel::Avx512,
                                   HoughKernel::RangeCheckFallback};

// ---- The reference loop ---------------------------------------------------------------------

TEST(HoughReferenceTest, AngleConstantAndDistanceFactor) {
    std::uint64_t bits;
    std::memcpy(&bits, &kHoughAngleConstant, sizeof bits);
    EXPECT_EQ(bits, 0x3FF921FB54442D11ull);

    const double inverseRoot2 = 0.7071067811865475;
    int atCommonValue = 0;
    for (std::uint32_t n = 1; n <= 5000; ++n) {
        const double h = n;
        const double f = HoughDistanceFactor(n);
        EXPECT_EQ(f, h / (std::sqrt(2.0) * h)) << n;
        EXPECT_LE(std::fabs(f - inverseRoot2), std::nextafter(inverseRoot2, 1.0) - inverseRoot2)
            << n;
        atCommonValue += f == inverseRoot2;
    }
    EXPECT_GT(atCommonValue, 2500);  // one ulp below the double nearest 1/sqrt(2)
}

// The definition, written out as plainly as possible, independently of the library's code.
std::vector<float> LiteralLoop(const std::vector<float>& in, std::uint32_t n) {
    std::vector<float> out(std::size_t{n} * n, 0.0f);
    const int cx = static_cast<int>(n / 2);
    const int cy = static_cast<int>(n / 2);
    const double K = 1.570796326794895;
    const double H = n;
    const double f = H / (std::sqrt(2.0) * H);
    for (int i = 0; i < static_cast<int>(n); ++i) {
        const double theta = (i * K) / cx;
        const double u = std::cos(theta);
        const double v = std::sin(theta);
        for (int j = 0; j < static_cast<int>(n); ++j)
            for (int k = 0; k < static_cast<int>(n); ++k) {
                const double rho =
                    (static_cast<double>(j - cx) * u + static_cast<double>(k - cy) * v) * f + cy;
                const auto r = static_cast<std::int32_t>(static_cast<std::int64_t>(rho));
                const std::int64_t idx = std::int64_t{r} * n + i;
                if (idx >= 0 && idx < std::int64_t{n} * n) out[idx] = out[idx] + in[k * n + j];
            }
    }
    return out;
}

TEST(HoughReferenceTest, MatchesTheLiteralLoop) {
    for (std::uint32_t n = 2; n <= 40; ++n) {
        const std::vector<float> image = Image(n, 1000 + n, 0.7, 0.05);
        EXPECT_TRUE(SameResult(LiteralLoop(image, n), Reference(image, n), n)) << "n = " << n;
    }
}

TEST(HoughReferenceTest, SinglePixelImage) {
    const float cases[] = {2.5f, -7.0f, 0.0f, FromBits(0x00000001u),
                           std::numeric_limits<float>::infinity()};
    for (float x : cases) {
        float out = 99.0f;
        HoughReference(&x, 1, &out);
        EXPECT_EQ(Bits(out), Bits(x)) << x;
    }
    // One vote added to +0.0: -0.0 comes out as +0.0, a NaN stays a NaN.
    float minusZero = -0.0f, out = 99.0f;
    HoughReference(&minusZero, 1, &out);
    EXPECT_EQ(Bits(out), 0u);
    float nan = std::numeric_limits<float>::quiet_NaN();
    HoughReference(&nan, 1, &out);
    EXPECT_TRUE(std::isnan(out));
}

TEST(HoughReferenceTest, SideTwo) {
    // cx = cy = 1, theta_0 = 0, theta_1 = K. Pixel (0, 0) votes into row trunc(-1/sqrt2 + 1) = 0
    // for angle 0, and into row trunc(-1 * v / sqrt2 + 1) = 0 for angle 1 too.
    const std::vector<float> image = {5.0f, 0.0f, 0.0f, 0.0f};
    const std::vector<float> out = Reference(image, 2);
    EXPECT_EQ(out, (std::vector<float>{5.0f, 5.0f, 0.0f, 0.0f}));
}

TEST(HoughReferenceTest, CentrePixelVotesIntoRowCyOfEveryAngle) {
    for (std::uint32_t n : {2u, 3u, 4u, 7u, 16u, 33u, 64u}) {
        std::vector<float> image(std::size_t{n} * n, 0.0f);
        const std::uint32_t c = n / 2;
        image[std::size_t{c} * n + c] = -3.25f;
        const std::vector<float> out = Reference(image, n);
        for (std::uint32_t r = 0; r < n; ++r)
            for (std::uint32_t i = 0; i < n; ++i)
                ASSERT_EQ(Bits(out[std::size_t{r} * n + i]), Bits(r == c ? -3.25f : 0.0f))
                    << "n = " << n << ", row " << r << ", angle " << i;
        EXPECT_TRUE(SameResult(out, Fast(image, n, HoughKernel::Auto, 2), n));
    }
}

TEST(HoughReferenceTest, NoVoteIsDropped) {
    // All ones: every element is a small integer, so the sums are exact and the total is n^3.
    for (std::uint32_t n : {2u, 3u, 5u, 8u, 31u, 64u, 65u}) {
        const std::vector<float> image(std::size_t{n} * n, 1.0f);
        const std::vector<float> out = Reference(image, n);
        double total = 0.0;
        for (float x : out) total += x;
        EXPECT_EQ(total, double(n) * n * n) << n;
        // and in every angle column on its own
        for (std::uint32_t i = 0; i < n; ++i) {
            double column = 0.0;
            for (std::uint32_t r = 0; r < n; ++r) column += out[std::size_t{r} * n + i];
            ASSERT_EQ(column, double(n) * n) << "n = " << n << ", angle " << i;
        }
    }
}

TEST(HoughReferenceTest, AllZeroGivesPositiveZeros) {
    for (std::uint32_t n : {1u, 2u, 9u, 40u}) {
        std::vector<float> image(std::size_t{n} * n, 0.0f);
        for (std::size_t e = 0; e < image.size(); e += 2) image[e] = -0.0f;
        for (const auto& out : {Reference(image, n), Fast(image, n, HoughKernel::Auto, 2)})
            for (float x : out) ASSERT_EQ(Bits(x), 0u) << n;
    }
}

TEST(HoughReferenceTest, RhoJustBelowZeroLandsInRowZero) {
    // Such votes exist, at corner pixels of some sizes; truncation toward zero keeps them.
    int seen = 0;
    for (std::uint32_t n : {28u, 61u, 137u}) {
        const double f = HoughDistanceFactor(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            double u, v;
            Detail::AngleCosSin(i, n / 2, &u, &v);
            for (std::uint32_t j : {0u, n - 1}) {
                const double dj = static_cast<double>(std::int64_t{j} - n / 2);
                const double rho = (dj * u + -static_cast<double>(n / 2) * v) * f + n / 2;  // k = 0
                if (!(rho < 0.0)) continue;
                ++seen;
                std::vector<float> image(std::size_t{n} * n, 0.0f);
                image[j] = 1.0f;
                for (const auto& out :
                     {Reference(image, n), Fast(image, n, HoughKernel::Auto, 1)}) {
                    EXPECT_EQ(out[i], 1.0f) << "n = " << n << ", angle " << i << ", rho = " << rho;
                    double total = 0.0;
                    for (float x : out) total += x;
                    EXPECT_EQ(total, n);  // one vote per angle, none dropped
                }
            }
        }
    }
    EXPECT_GE(seen, 3);
}

// Every bin of a square input lies in [0, n): checked at the four corners of the image, where
// rho takes its extreme values for each angle (it is monotone along rows and along columns).
// This is what lets the fast path check only a column's end bins, and what keeps the 32-bit
// index r * n + i below n * n.
TEST(HoughReferenceTest, BinsOfTheCornersStayInRange) {
    auto check = [](std::uint32_t n) {
        const std::uint32_t cx = n / 2;
        const double f = HoughDistanceFactor(n);
        const double cy = n / 2;
        for (std::uint32_t i = 0; i < n; ++i) {
            double u, v;
            Detail::AngleCosSin(i, cx, &u, &v);
            if (!(v >= 0.0)) return ::testing::AssertionFailure() << "negative sine, n = " << n;
            for (std::uint32_t j : {0u, n - 1})
                for (std::uint32_t k : {0u, n - 1}) {
                    const double dj = static_cast<double>(std::int64_t{j} - cx);
                    const double dk = static_cast<double>(std::int64_t{k} - cx);
                    const double rho = (dj * u + dk * v) * f + cy;
                    if (!(rho > -1.0 && rho < n))
                        return ::testing::AssertionFailure()
                               << "n = " << n << ", angle " << i << ": rho = " << rho;
                }
        }
        return ::testing::AssertionSuccess();
    };
    for (std::uint32_t n = 2; n <= 2500; ++n) ASSERT_TRUE(check(n));
    for (std::uint32_t n : {46340u, 46341u, 65535u, 65536u, 100001u, 1u << 20})
        ASSERT_TRUE(check(n));
}

// Checksums of the reference's output for fixed inputs, computed once. Contracting the distance
// arithmetic into fused multiply-adds, reordering it, or accumulating in another order changes
// them. (They depend on the platform's cos and sin; these are glibc's.)
TEST(HoughReferenceTest, GoldenChecksums) {
    struct Golden {
        std::uint32_t n;
        std::uint64_t checksum;
    };
    const Golden golden[] = {
        {7, 0x27B18FB53348DAB1ull},
        {64, 0xA44CD676E5190881ull},
        {101, 0xB61EF2E4CF3FA96Eull},
    };
    for (const Golden& g : golden) {
        const std::vector<float> image = Image(g.n, 77 + g.n, 1.0, 0.0);
        const std::vector<float> out = Reference(image, g.n);
        EXPECT_EQ(Checksum(out), g.checksum)
            << "n = " << g.n << ": 0x" << std::hex << Checksum(out);
        EXPECT_EQ(Checksum(Fast(image, g.n, HoughKernel::Auto, 2)), g.checksum) << g.n;
    }
}

// ---- Non-square and non-float images --------------------------------------------------------

TEST(HoughTransformTest, PadToSquareCentresTheImage) {
    const std::vector<float> wide = {1, 2, 3, 4, 5, 6};  // 3 x 2
    std::vector<float> square;
    PadToSquare(wide.data(), 3, 2, square);
    EXPECT_EQ(square, (std::vector<float>{1, 2, 3, 4, 5, 6, 0, 0, 0}));  // row offset 1 / 2 = 0
    const std::vector<float> tall = {1, 2, 3, 4, 5, 6, 7, 8};            // 2 x 4: column offset 1
    PadToSquare(tall.data(), 2, 4, square);
    EXPECT_EQ(square, (std::vector<float>{0, 1, 2, 0, 0, 3, 4, 0, 0, 5, 6, 0, 0, 7, 8, 0}));
}

template <class T>
void ExpectTransformOfImageMatches(std::uint32_t width, std::uint32_t height,
                                   const std::vector<T>& image, unsigned threads = 2) {
    std::vector<float> asFloat(image.size());
    for (std::size_t e = 0; e < image.size(); ++e) asFloat[e] = static_cast<float>(image[e]);
    std::vector<float> square;
    PadToSquare(asFloat.data(), width, height, square);
    const std::uint32_t m = std::max(width, height);
    const std::vector<float> expected = Reference(square, m);
    for (HoughKernel kernel : kAllKernels) {
        std::vector<float> out(std::size_t{m} * m, 12345.0f);
        HoughOptions options;
        options.kernel = kernel;
        options.threads = threads;
        HoughTransform(image.data(), width, height, out.data(), options);
        EXPECT_TRUE(SameResult(expected, out, m))
            << width << " x " << height << ", kernel " << HoughKernelName(kernel) << ", " << threads
            << " thread(s)";
    }
}

TEST(HoughTransformTest, NonSquareImagesArePaddedToTheirSquare) {
    const std::pair<std::uint32_t, std::uint32_t> shapes[] = {
        {1, 1},  {1, 2},  {2, 1},   {1, 9},   {9, 1},   {3, 2},    {2, 3},
        {10, 7}, {7, 10}, {64, 17}, {17, 64}, {40, 39}, {101, 50}, {50, 101}};
    for (const auto& [width, height] : shapes) {
        Random random(width * 1000 + height);
        std::vector<float> image(std::size_t{width} * height);
        for (float& x : image) x = random.Unit() < 0.6 ? Pixel(random, 0.01) : 0.0f;
        ExpectTransformOfImageMatches(width, height, image);
    }
    // No zero pixel: every column of the square that holds image pixels is dense, and its
    // padding rows above and below the image must read as zeros.
    for (const auto& [width, height] : {std::pair{40u, 30u}, {33u, 20u}, {30u, 40u}, {7u, 10u}}) {
        Random random(width + height);
        std::vector<float> image(std::size_t{width} * height);
        for (float& x : image) x = static_cast<float>(random.Unit()) + 0.5f;
        ExpectTransformOfImageMatches(width, height, image);
    }
}

TEST(HoughTransformTest, OtherElementTypesAreConvertedByValue) {
    Random random(99);
    const std::uint32_t width = 23, height = 31;
    const std::size_t count = std::size_t{width} * height;
    std::vector<std::uint8_t> u8(count);
    std::vector<std::int8_t> s8(count);
    std::vector<std::uint16_t> u16(count);
    std::vector<std::int16_t> s16(count);
    std::vector<std::uint32_t> u32(count);
    std::vector<std::int32_t> s32(count);
    std::vector<double> f64(count);
    for (std::size_t e = 0; e < count; ++e) {
        const bool zero = random.Below(3) == 0;
        u8[e] = zero ? 0 : static_cast<std::uint8_t>(random.Next());
        s8[e] = zero ? 0 : static_cast<std::int8_t>(random.Next());
        u16[e] = zero ? 0 : static_cast<std::uint16_t>(random.Next());
        s16[e] = zero ? 0 : static_cast<std::int16_t>(random.Next());
        u32[e] = zero ? 0 : static_cast<std::uint32_t>(random.Next());  // most not exact in float
        s32[e] = zero ? 0 : static_cast<std::int32_t>(random.Next());
        // Doubles that round, that underflow to zero in float, and that overflow to infinity.
        const std::uint32_t kind = random.Below(4);
        f64[e] = zero        ? 0.0
                 : kind == 0 ? 1e-50
                 : kind == 1 ? 1e300 * (random.Below(2) ? 1 : -1)
                             : random.Unit() * 1e5 - 5e4;
    }
    ExpectTransformOfImageMatches(width, height, u8);
    ExpectTransformOfImageMatches(width, height, s8);
    ExpectTransformOfImageMatches(width, height, u16);
    ExpectTransformOfImageMatches(width, height, s16);
    ExpectTransformOfImageMatches(width, height, u32);
    ExpectTransformOfImageMatches(width, height, s32);
    ExpectTransformOfImageMatches(width, height, f64);
}

// The working copy reads each row 16 pixels at a time and passes over a group whose bits are all
// zero but for signs. A group of signed zeros, or of doubles that become float zeros, holds no
// vote; one non-zero pixel anywhere in a group does; the zeros of a dense column are stored even
// where the rest of its group is zero. Widths that are not multiples of 16 leave a short group at
// the end of a row, and with 3 threads at the end of a stripe too.
template <class T>
std::vector<T> GroupsOfEveryKind(std::uint32_t width, std::uint32_t height, std::uint64_t seed) {
    Random random(seed);
    std::vector<T> image(std::size_t{width} * height, T(0));
    const std::uint32_t denseColumn = width / 3;
    for (std::uint32_t sk = 0; sk < height; ++sk)
        for (std::uint32_t group = 0; group < width; group += 16) {
            T* pixels = image.data() + std::size_t{sk} * width + group;
            const std::uint32_t size = std::min(16u, width - group);
            switch (random.Below(6)) {
                case 0:  // one value, at the group's first, last or any place
                    pixels[random.Below(2)   ? 0
                           : random.Below(2) ? size - 1
                                             : random.Below(size)] =
                        static_cast<T>(1 + random.Below(100));
                    break;
                case 1:  // signed zeros only (for integers, zeros)
                    for (std::uint32_t p = 0; p < size; ++p) pixels[p] = static_cast<T>(-0.0);
                    break;
                case 2:  // values that are zero as floats (for integers, zeros)
                    if constexpr (std::is_same_v<T, double>)
                        for (std::uint32_t p = 0; p < size; ++p) pixels[p] = p % 2 ? 1e-60 : -1e-50;
                    break;
                case 3:  // several values
                    for (std::uint32_t p = 0; p < size; ++p)
                        if (random.Below(4) == 0)
                            pixels[p] = static_cast<T>(random.Below(50)) - T(9);
                    break;
                default: break;  // all zero
            }
        }
    for (std::uint32_t sk = 0; sk < height; ++sk)
        if (sk % 4 != 0) image[std::size_t{sk} * width + denseColumn] = static_cast<T>(2 + sk % 7);
    return image;
}

TEST(HoughTransformTest, RowsAreReadSixteenPixelsAtATime) {
    const std::pair<std::uint32_t, std::uint32_t> shapes[] = {
        {16, 16}, {47, 30}, {64, 64}, {100, 41}, {35, 90}};
    for (const auto& [width, height] : shapes)
        for (unsigned threads : {1u, 3u}) {
            const std::uint64_t seed = width * 7 + height;
            ExpectTransformOfImageMatches(width, height,
                                          GroupsOfEveryKind<float>(width, height, seed), threads);
            ExpectTransformOfImageMatches(width, height,
                                          GroupsOfEveryKind<double>(width, height, seed), threads);
            ExpectTransformOfImageMatches(
                width, height, GroupsOfEveryKind<std::int16_t>(width, height, seed), threads);
            ExpectTransformOfImageMatches(
                width, height, GroupsOfEveryKind<std::uint8_t>(width, height, seed), threads);
        }
}

// ---- Threads --------------------------------------------------------------------------------

TEST(RunBlocksTest, EveryBlockRunsOnceOnTheThreadsAsked) {
    for (unsigned threads : {1u, 2u, 5u}) {
        std::vector<std::atomic<int>> runs(200);
        std::atomic<unsigned> highestThread{0};
        Detail::RunBlocks(200, threads, [&](std::uint32_t block, unsigned thread) {
            ++runs[block];
            unsigned seen = highestThread.load();
            while (thread > seen && !highestThread.compare_exchange_weak(seen, thread)) {
            }
        });
        for (const auto& r : runs) ASSERT_EQ(r.load(), 1);
        EXPECT_LT(highestThread.load(), threads);
    }
}

TEST(RunBlocksTest, AWorkerExceptionReachesTheCaller) {
    for (unsigned threads : {1u, 3u}) {
        std::atomic<int> started{0};
        try {
            Detail::RunBlocks(1000, threads, [&](std::uint32_t block, unsigned) {
                ++started;
                if (block == 7) throw std::runtime_error("block 7 failed");
                // Slow enough that the failure is seen long before the last block, also when
                // the threads are scheduled unevenly (as under an emulator).
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            });
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "block 7 failed");
        }
        EXPECT_LT(started.load(), 1000) << "the other threads stop taking blocks";
    }
}

}  // namespace
}  // namespace Vorna::Compute
