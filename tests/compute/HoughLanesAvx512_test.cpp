// The AVX-512 lanes kernel on jobs made by hand, against the checked per-vote path on the same
// jobs: angles whose bins leave [0, n) in some columns (those columns take the checked path while
// the others keep their sums in the lanes), and distances beyond 32 bits, whose truncation the
// checked path takes to the low 32 bits of the 64-bit one. Skipped, with the reason, where the CPU
// or the build has no AVX-512.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "HoughTestSupport.h"
#include "compute/Hough.h"
#include "compute/HoughDetail.h"

namespace Vorna::Compute {
namespace {

using namespace Testing;

// The inputs of a kernel for one n x n image, the columns stored as the fast path stores them
// (a column with more than half its pixels non-zero keeps every row), and the angles' cosines and
// sines given, padded with zeros to a block beyond the last.
struct HandMadeJob {
    std::uint32_t n;
    std::vector<double> u, v, dk;
    std::vector<Detail::ColumnInfo> columns;
    std::vector<float> values;
    std::vector<std::uint32_t> rows;
    Detail::HoughJob job;

    HandMadeJob(const std::vector<float>& image, std::uint32_t side, std::vector<double> cosines,
                std::vector<double> sines)
        : n(side), u(std::move(cosines)), v(std::move(sines)) {
        u.resize(n + Detail::kWideBlock, 0.0);
        v.resize(n + Detail::kWideBlock, 0.0);
        for (std::uint32_t k = 0; k < n + Detail::kDistancePad; ++k)
            dk.push_back(static_cast<double>(std::int64_t{std::min(k, n - 1)} - n / 2));
        columns.resize(n);
        for (std::uint32_t j = 0; j < n; ++j) {
            std::uint32_t count = 0;
            for (std::uint32_t k = 0; k < n; ++k) count += image[std::size_t{k} * n + j] != 0.0f;
            Detail::ColumnInfo& c = columns[j];
            c = {values.size(), rows.size(), count, count * 2 > n ? 1u : 0u};
            if (c.dense) c.count = n;
            for (std::uint32_t k = 0; k < n; ++k) {
                const float x = image[std::size_t{k} * n + j];
                if (c.dense) {
                    values.push_back(x);
                } else if (x != 0.0f) {
                    values.push_back(x);
                    rows.push_back(k);
                }
            }
        }
        values.resize(values.size() + Detail::kValuePad, 0.0f);
        rows.push_back(0);  // so that data() is never null
        job = {n,
               n / 2,
               HoughDistanceFactor(n),
               static_cast<double>(n / 2),
               u.data(),
               v.data(),
               dk.data(),
               columns.data(),
               values.data(),
               rows.data()};
    }

    // The block of 16 angles from `first` by the kernel, and by the checked path column by
    // column, compared element by element for the angles below n.
    ::testing::AssertionResult KernelMatchesCheckedPath(std::uint32_t first) const {
        const std::size_t size = std::size_t{n} * Detail::kWideBlock;
        std::vector<float> kernel(size, 0.0f), checked(size, 0.0f);
        Detail::AccumulateBlockLanes512(job, first, kernel.data());
        for (std::uint32_t j = 0; j < n; ++j)
            if (columns[j].count != 0)
                Detail::AccumulateChecked(job, first, Detail::kWideBlock, 1, Detail::kWideBlock, j,
                                          checked.data());
        for (std::uint32_t r = 0; r < n; ++r)
            for (std::uint32_t g = 0; g < Detail::kWideBlock && first + g < n; ++g) {
                const std::size_t e = std::size_t{r} * Detail::kWideBlock + g;
                if (Bits(kernel[e]) != Bits(checked[e]) &&
                    !(std::isnan(kernel[e]) && std::isnan(checked[e])))
                    return ::testing::AssertionFailure()
                           << "distance " << r << ", angle " << first + g << ": expected "
                           << checked[e] << ", got " << kernel[e];
            }
        return ::testing::AssertionSuccess();
    }
};

class HoughLanes512Test : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HoughKernelSupported(HoughKernel::Lanes512))
            GTEST_SKIP()
                << "the lanes512 kernel cannot run here: this CPU or build lacks AVX-512 F, "
                   "BW and VL ("
                << HoughCpuFeatures() << ")";
    }
};

// Values of mixed magnitude and sign: the order of any two additions into one element shows.
std::vector<float> Mixed(std::uint32_t n, double density, std::uint64_t seed) {
    Random random(seed);
    std::vector<float> image(std::size_t{n} * n, 0.0f);
    for (float& x : image)
        if (random.Unit() < density)
            x = std::ldexp(static_cast<float>(random.Unit()) + 0.5f,
                           static_cast<int>(random.Below(40)) - 20) *
                (random.Below(2) ? 1.0f : -1.0f);
    return image;
}

std::vector<double> Cosines(std::uint32_t n) {
    std::vector<double> u(n), v(n);
    for (std::uint32_t i = 0; i < n; ++i) Detail::AngleCosSin(i, n / 2, &u[i], &v[i]);
    return u;
}

std::vector<double> Sines(std::uint32_t n) {
    std::vector<double> u(n), v(n);
    for (std::uint32_t i = 0; i < n; ++i) Detail::AngleCosSin(i, n / 2, &u[i], &v[i]);
    return v;
}

TEST_F(HoughLanes512Test, TheTransformsAnglesMatchTheCheckedPath) {
    // The hand-made job itself, with the transform's own angles: every column in range.
    const std::uint32_t n = 70;
    const HandMadeJob made(Mixed(n, 0.2, 1), n, Cosines(n), Sines(n));
    for (std::uint32_t first : {0u, 16u, 54u, 60u})
        EXPECT_TRUE(made.KernelMatchesCheckedPath(first));
}

TEST_F(HoughLanes512Test, ColumnsOutOfRangeTakeTheCheckedPathBetweenColumnsInRange) {
    // One angle of the block with a cosine of 1.9: its bins leave [0, n) in the outer columns,
    // which then take the checked path for all 16 angles, the votes of the other 15 angles
    // landing in elements that the columns in range, before and after, hold in the lanes. Some
    // columns dense, some sparse; negative sines too (bins that fall down a column).
    for (std::uint32_t n : {64u, 97u}) {
        for (double density : {0.1, 0.7}) {
            std::vector<double> u = Cosines(n), v = Sines(n);
            u[5] = 1.9;
            u[20] = -1.9;
            v[9] = -v[9];
            std::vector<float> image = Mixed(n, density, n);
            for (std::uint32_t k = 0; k < n; k += 2) image[std::size_t{k} * n + 3] = 1.0f;  // dense
            const HandMadeJob made(image, n, u, v);
            for (std::uint32_t first : {0u, 10u, 16u})
                EXPECT_TRUE(made.KernelMatchesCheckedPath(first))
                    << "n = " << n << ", density " << density << ", angles from " << first;
        }
    }
}

TEST_F(HoughLanes512Test, DistancesBeyondThirtyTwoBitsKeepTheirLowBits) {
    // A cosine of 2^32 / (8 f): in the columns 8m away from the centre the distance is about
    // m * 2^32 plus a bin in range, which the checked path keeps (the low 32 bits of the 64-bit
    // truncation) and which a 32-bit conversion cannot give. Every other column but the centre
    // one is out of range for that angle.
    const std::uint32_t n = 80;
    const double f = HoughDistanceFactor(n);
    std::vector<double> u = Cosines(n), v = Sines(n);
    u[7] = 4294967296.0 / (8.0 * f);
    const HandMadeJob made(Mixed(n, 0.3, 5), n, u, v);
    int wrapped = 0;
    for (std::uint32_t j = 0; j < n; ++j) {
        const double dj = static_cast<double>(std::int64_t{j} - n / 2);
        const double rho = (dj * u[7] + made.dk[n / 3] * v[7]) * f + n / 2;
        const std::int32_t r = Detail::TruncateLow32(rho);
        wrapped += std::fabs(rho) >= 2147483648.0 && r >= 0 && r < static_cast<std::int32_t>(n);
    }
    EXPECT_GE(wrapped, 4) << "columns whose distance wraps into range";
    EXPECT_TRUE(made.KernelMatchesCheckedPath(0));
}

}  // namespace
}  // namespace Vorna::Compute
