// Every kernel of the fast path, forced one at a time, against the reference loop bit for bit. A
// kernel that this CPU or build cannot run is skipped, with the reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "HoughTestSupport.h"
#include "compute/Hough.h"
#include "compute/HoughDetail.h"

namespace Vorna::Compute {
namespace {

using namespace Testing;

// The reference of an image, computed once however many kernels compare against it.
const std::vector<float>& CachedReference(const std::vector<float>& image, std::uint32_t n) {
    static std::map<std::pair<std::uint32_t, std::vector<float>>, std::vector<float>> cache;
    auto key = std::make_pair(n, image);
    auto found = cache.find(key);
    if (found == cache.end()) found = cache.emplace(std::move(key), Reference(image, n)).first;
    return found->second;
}

class HoughKernelTest : public ::testing::TestWithParam<HoughKernel> {
  protected:
    void SetUp() override {
        if (!HoughKernelSupported(GetParam()))
            GTEST_SKIP() << "the " << HoughKernelName(GetParam())
                         << " kernel cannot run here: this CPU or build lacks its instructions ("
                         << HoughCpuFeatures() << ")";
        ASSERT_EQ(HoughKernelChosen(GetParam()), GetParam() == HoughKernel::Auto
                                                     ? HoughKernelChosen(HoughKernel::Auto)
                                                     : GetParam());
    }

    // The fast path with this kernel, for the thread counts given in turn, against the reference.
    void ExpectMatches(const std::vector<float>& image, std::uint32_t n,
                       const std::vector<unsigned>& threads, const std::string& what) {
        const std::vector<float>& expected = CachedReference(image, n);
        for (unsigned count : threads)
            EXPECT_TRUE(SameResult(expected, Fast(image, n, GetParam(), count), n))
                << what << ", n = " << n << ", " << count << " thread(s)";
    }
};

TEST_P(HoughKernelTest, EverySideUpTo128) {
    for (std::uint32_t n = 1; n <= 128; ++n) {
        const double density = (n % 4 == 0) ? 1.0 : (n % 4 == 1) ? 0.3 : (n % 4 == 2) ? 0.6 : 0.03;
        const std::vector<float> image = Image(n, n, density, 0.01);
        ExpectMatches(image, n, {1u + n % 3}, "mixed values");
    }
}

TEST_P(HoughKernelTest, SampleOfSidesUpTo300) {
    Random random(4242);
    std::vector<std::uint32_t> sides = {129, 160, 191, 255, 256, 257, 299, 300};
    for (int extra = 0; extra < 4; ++extra) sides.push_back(130 + random.Below(170));
    for (std::uint32_t n : sides) {
        const std::vector<float> image = Image(n, 9000 + n, n % 2 ? 0.9 : 0.08, 0.002);
        ExpectMatches(image, n, {1u + n % 3}, "mixed values");
    }
}

TEST_P(HoughKernelTest, LargerSidesOddAndEven) {
    Random random(77);
    for (std::uint32_t n : {333u, 400u, 401u + random.Below(100)}) {
        const std::vector<float> image = Image(n, 31 * n, n == 400 ? 0.3 : 0.7, 0.001);
        ExpectMatches(image, n, {2}, "mixed values");
    }
}

TEST_P(HoughKernelTest, DensitiesFromNoneToAll) {
    const std::uint32_t n = 97;
    for (double density : {0.0, 0.001, 0.01, 0.1, 0.45, 0.5, 0.55, 0.9, 1.0}) {
        const std::vector<float> image =
            Image(n, static_cast<std::uint64_t>(density * 1000), density, 0.01);
        ExpectMatches(image, n, {1, 2}, "density " + std::to_string(density));
    }
}

TEST_P(HoughKernelTest, ColumnsOnBothSidesOfTheDenseThreshold) {
    // Columns with exactly n/2, n/2 + 1, ... non-zero rows, dense columns beside sparse ones, and
    // empty columns, in one image.
    for (std::uint32_t n : {64u, 65u}) {
        Random random(n);
        std::vector<float> image(std::size_t{n} * n, 0.0f);
        for (std::uint32_t j = 0; j < n; ++j) {
            const std::uint32_t count = j % 5 == 0   ? 0
                                        : j % 5 == 1 ? n / 2
                                        : j % 5 == 2 ? n / 2 + 1
                                        : j % 5 == 3 ? n
                                                     : 1 + random.Below(4);
            std::vector<std::uint32_t> rows(n);
            for (std::uint32_t k = 0; k < n; ++k) rows[k] = k;
            for (std::uint32_t c = 0; c < count; ++c) {
                std::swap(rows[c], rows[c + random.Below(n - c)]);
                image[std::size_t{rows[c]} * n + j] = Pixel(random, 0.02);
            }
        }
        ExpectMatches(image, n, {1, 3}, "mixed columns");
    }
}

TEST_P(HoughKernelTest, AwkwardValuesEverywhere) {
    // Mostly infinities, NaNs, signed zeros, subnormals and values whose sums overflow.
    for (std::uint32_t n : {5u, 16u, 33u, 50u}) {
        const std::vector<float> image = Image(n, 555 + n, 0.8, 0.9);
        ExpectMatches(image, n, {1, 2}, "awkward values");
    }
    // Large values that overflow to infinity in some bins but not others, and opposite
    // infinities that meet in a bin and give NaN.
    for (std::uint32_t n : {24u, 41u}) {
        Random random(n);
        std::vector<float> image(std::size_t{n} * n, 0.0f);
        for (float& x : image) {
            const double p = random.Unit();
            x = p < 0.1    ? 3e38f
                : p < 0.15 ? -3e38f
                : p < 0.16 ? -std::numeric_limits<float>::infinity()
                : p < 0.17 ? std::numeric_limits<float>::infinity()
                           : 0.0f;
        }
        ExpectMatches(image, n, {2, 1}, "overflowing values");
    }
    // Subnormals only: sums that stay subnormal and sums that leave the subnormal range.
    {
        const std::uint32_t n = 37;
        Random random(n);
        std::vector<float> image(std::size_t{n} * n);
        for (float& x : image) x = FromBits((random.Below(2) << 31) | (1 + random.Below(0x7FFFFF)));
        ExpectMatches(image, n, {1, 2}, "subnormals");
    }
}

// Values of very different magnitude on every pixel, so that adding the rows of a run in any
// other order than the reference's, or starting a run's sum from zero instead of from the bin,
// changes the result.
std::vector<float> MixedMagnitudes(std::uint32_t n, std::uint64_t seed) {
    Random random(seed);
    std::vector<float> image(std::size_t{n} * n);
    for (float& x : image) {
        const int exponent = static_cast<int>(random.Below(40)) - 20;
        x = std::ldexp(static_cast<float>(random.Unit()) + 0.5f, exponent) *
            (random.Below(2) ? 1 : -1);
    }
    return image;
}

TEST_P(HoughKernelTest, SumsDependOnTheOrderOfAddition) {
    for (std::uint32_t n : {90u, 128u, 129u})
        ExpectMatches(MixedMagnitudes(n, 7 + n), n, {1, 2, 3}, "mixed magnitudes");
}

// The run kernels treat runs differently by slope v * f: runs of one or two rows above 1/2, 16
// runs within 32 rows above about 1/2 and within 64 rows above about 1/4 (8 runs within 16 rows
// for AVX2), gathered rows below. For each threshold, these sides have angles on both sides of
// it, a step of the angle away at most, all of which must give the reference's bits; and angle 0 (v
// = 0) puts each column in one run from row 0 to row n - 1, the angles beside it in long runs that
// start at row 0 or end at row n - 1.
TEST_P(HoughKernelTest, RunsAroundEverySlopeThreshold) {
    const double thresholds[] = {1.0 / 2, 1.0 / 3, 1.0 / 4, 1.0 / 8, 1.0 / 16};
    for (std::uint32_t n : {61u, 64u, 200u, 257u}) {
        const double f = HoughDistanceFactor(n);
        const double near = 3.0 / n;  // a little more than one angle step's change of slope
        for (double threshold : thresholds) {
            bool below = false, above = false;
            for (std::uint32_t i = 0; i < n; ++i) {
                double u, v;
                Detail::AngleCosSin(i, n / 2, &u, &v);
                const double gap = v * f - threshold;
                below = below || (gap < 0 && gap > -near);
                above = above || (gap > 0 && gap < near);
            }
            EXPECT_TRUE(below && above) << "n = " << n << ", slope " << threshold;
        }
        ExpectMatches(MixedMagnitudes(n, n), n, {1, 2}, "mixed magnitudes");
    }
}

TEST_P(HoughKernelTest, OneColumnOneRunAtAngleZero) {
    // A single dense column of mixed magnitudes: at angle 0 all its rows are one run into one
    // bin, whose value is the rows' sum in row order.
    const std::uint32_t n = 150;
    std::vector<float> image(std::size_t{n} * n, 0.0f);
    Random random(3);
    for (std::uint32_t k = 0; k < n; ++k)
        image[std::size_t{k} * n + 40] = std::ldexp(static_cast<float>(random.Unit()) + 0.5f,
                                                    static_cast<int>(random.Below(30)) - 15);
    float sum = 0.0f;
    for (std::uint32_t k = 0; k < n; ++k) sum = sum + image[std::size_t{k} * n + 40];
    const std::vector<float> out = Fast(image, n, GetParam(), 1);
    const double rho = (static_cast<double>(40) - n / 2) * HoughDistanceFactor(n) + n / 2;
    EXPECT_EQ(Bits(out[static_cast<std::size_t>(rho) * n]), Bits(sum));
    ExpectMatches(image, n, {1}, "one column");
}

// The bin of pixel (j, k) for angle i, as the reference computes it.
std::int32_t BinOf(std::uint32_t n, std::uint32_t i, std::uint32_t j, std::uint32_t k) {
    double u, v;
    Detail::AngleCosSin(i, n / 2, &u, &v);
    const double dj = static_cast<double>(std::int64_t{j} - n / 2);
    const double dk = static_cast<double>(std::int64_t{k} - n / 2);
    return static_cast<std::int32_t>((dj * u + dk * v) * HoughDistanceFactor(n) + n / 2);
}

// A sparse image whose votes pile into a few elements: one column with a long stretch of
// consecutive rows (at the angles near 0 they all go to one element, pixel after pixel), and
// lines across the image at right angles to some angles' directions (for those angles one pixel
// of nearly every column goes to one element, and the column's other pixels take the angle
// elsewhere in between). Values of mixed magnitude and sign, so that adding any two of one
// element's votes in the other order changes its bits.
std::vector<float> PiledUpVotes(std::uint32_t n, std::uint64_t seed) {
    Random random(seed);
    auto value = [&] {
        const int exponent = static_cast<int>(random.Below(40)) - 20;
        return std::ldexp(static_cast<float>(random.Unit()) + 0.5f, exponent) *
               (random.Below(2) ? 1.0f : -1.0f);
    };
    std::vector<float> image(std::size_t{n} * n, 0.0f);
    for (float& x : image)
        if (random.Below(60) == 0) x = value();
    const std::uint32_t column = n / 5;
    for (std::uint32_t k = 0; k < n; ++k)
        image[std::size_t{k} * n + column] = k >= 3 && k < 3 + n / 2 - 2 ? value() : 0.0f;
    const double f = HoughDistanceFactor(n);
    for (std::uint32_t i : {n / 4, n / 2, n / 2 + 7, 3 * n / 4}) {
        double u, v;
        Detail::AngleCosSin(i, n / 2, &u, &v);
        for (double rho : {0.3 * n, 0.55 * n}) {
            // (j - cx) u + (k - cy) v = (rho - cy) / f, solved for k.
            for (std::uint32_t j = 0; j < n; ++j) {
                const double dj = static_cast<double>(std::int64_t{j} - n / 2);
                const double k = n / 2 + ((rho - n / 2) / f - dj * u) / v;
                if (k >= 0 && k < n && j != column)
                    image[static_cast<std::size_t>(k) * n + j] = value();
            }
        }
    }
    return image;
}

TEST_P(HoughKernelTest, SparseVotesPiledIntoOneElementKeepTheirOrder) {
    for (std::uint32_t n : {200u, 201u}) {
        const std::vector<float> image = PiledUpVotes(n, n);
        // What the image holds: for angle n / 2, many returns to an element left before (the
        // same element hit again after the angle's votes went elsewhere), and for angle 0 a
        // long stretch of successive votes into one element.
        for (std::uint32_t i : {0u, n / 2}) {
            std::map<std::int32_t, int> left;
            std::int32_t last = -1;
            int streak = 0, longest = 0, returns = 0;
            for (std::uint32_t j = 0; j < n; ++j)
                for (std::uint32_t k = 0; k < n; ++k) {
                    if (image[std::size_t{k} * n + j] == 0.0f) continue;
                    const std::int32_t bin = BinOf(n, i, j, k);
                    streak = bin == last ? streak + 1 : 1;
                    longest = std::max(longest, streak);
                    if (bin != last) {
                        returns += left.count(bin) ? 1 : 0;
                        left[last] = 1;
                    }
                    last = bin;
                }
            if (i == 0) {
                EXPECT_GE(longest, static_cast<int>(n / 2 - 2)) << n;
            } else {
                EXPECT_GE(returns, static_cast<int>(n / 2)) << n;
            }
        }
        ExpectMatches(image, n, {1, 2}, "piled-up votes");
    }
}

TEST_P(HoughKernelTest, SparseColumnsAtTheEdges) {
    // Non-zero pixels only in the first two and the last two columns, the first and last rows
    // among them, and in the first and last rows: the bins of the image's corners, which are
    // each angle's extreme distances.
    for (std::uint32_t n : {16u, 17u, 32u, 33u, 64u, 65u, 127u}) {
        Random random(n * 3);
        std::vector<float> image(std::size_t{n} * n, 0.0f);
        for (std::uint32_t j : {0u, 1u, n - 2, n - 1}) {
            for (std::uint32_t k = 0; k < n; ++k)
                if (k == 0 || k == n - 1 || random.Below(4) == 0)
                    image[std::size_t{k} * n + j] = Pixel(random, 0.05) - 50.0f;
        }
        for (std::uint32_t k : {0u, n - 1})
            for (std::uint32_t j = 2; j + 2 < n; ++j)
                if (random.Below(3) == 0) image[std::size_t{k} * n + j] = Pixel(random, 0.0);
        ExpectMatches(image, n, {1, 3}, "edge columns");
    }
}

TEST_P(HoughKernelTest, ThreadCountsBeyondTheWork) {
    const std::uint32_t n = 20;  // two blocks of 16 angles, three of 8
    const std::vector<float> image = Image(n, 20, 0.5, 0.0);
    ExpectMatches(image, n, {0, 1, 2, 7, 64}, "thread counts");
}

std::string ParamName(const ::testing::TestParamInfo<HoughKernel>& info) {
    std::string name = HoughKernelName(info.param);
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Kernels, HoughKernelTest,
                         ::testing::Values(HoughKernel::Auto, HoughKernel::Baseline,
                                           HoughKernel::Lanes, HoughKernel::Lanes512,
                                           HoughKernel::Avx2, HoughKernel::Avx512,
                                           HoughKernel::RangeCheckFallback),
                         ParamName);

// ---- Choosing a kernel -----------------------------------------------------------------------

TEST(HoughKernelChoiceTest, NothingUnsupportedIsChosen) {
    for (HoughKernel k :
         {HoughKernel::Auto, HoughKernel::Baseline, HoughKernel::Lanes, HoughKernel::Lanes512,
          HoughKernel::Avx2, HoughKernel::Avx512, HoughKernel::RangeCheckFallback}) {
        const HoughKernel chosen = HoughKernelChosen(k);
        EXPECT_NE(chosen, HoughKernel::Auto);
        EXPECT_TRUE(HoughKernelSupported(chosen)) << HoughKernelName(k);
    }
    // Each wider kernel needs what the narrower ones need.
    EXPECT_TRUE(!HoughKernelSupported(HoughKernel::Avx512) ||
                HoughKernelSupported(HoughKernel::Avx2));
    EXPECT_TRUE(!HoughKernelSupported(HoughKernel::Avx2) ||
                HoughKernelSupported(HoughKernel::Lanes));
    EXPECT_EQ(HoughKernelSupported(HoughKernel::Lanes512),
              HoughKernelSupported(HoughKernel::Avx512));
    const std::string features = HoughCpuFeatures();
    EXPECT_EQ(Detail::Cpu().avx2, features.find("avx2") != std::string::npos) << features;
    EXPECT_EQ(Detail::Cpu().avx512, features.find("avx512bw") != std::string::npos &&
                                        features.find("avx512vl") != std::string::npos)
        << features;
    EXPECT_EQ(HoughWideKernelAvailable(), HoughKernelSupported(HoughKernel::Wide));
}

// The checked path that a column takes when its range check fails, in both bin layouts: the
// lanes kernels' distance-major one and the run kernels' angle-major one.
TEST(HoughKernelChoiceTest, CheckedPathWritesEitherLayout) {
    const std::uint32_t n = 33, first = 8, count = 16;
    const std::vector<float> image = Image(n, 5, 0.7, 0.0);
    std::vector<double> u(48, 0.0), v(48, 0.0), dk(n + Detail::kDistancePad);
    for (std::uint32_t i = 0; i < n; ++i) Detail::AngleCosSin(i, n / 2, &u[i], &v[i]);
    for (std::uint32_t k = 0; k < dk.size(); ++k)
        dk[k] = static_cast<double>(std::int64_t{std::min(k, n - 1)} - n / 2);
    std::vector<Detail::ColumnInfo> columns(n);
    std::vector<float> values(std::size_t{n} * n);
    for (std::uint32_t j = 0; j < n; ++j) {
        columns[j] = {std::size_t{j} * n, 0, n, 1};
        for (std::uint32_t k = 0; k < n; ++k) values[std::size_t{j} * n + k] = image[k * n + j];
    }
    const Detail::HoughJob job{n,        n / 2,     HoughDistanceFactor(n), double(n / 2), u.data(),
                               v.data(), dk.data(), columns.data(),         values.data(), nullptr};
    std::vector<float> distanceMajor(std::size_t{n} * count, 0.0f);
    std::vector<float> angleMajor(std::size_t{n} * count, 0.0f);
    for (std::uint32_t j = 0; j < n; ++j) {
        Detail::AccumulateChecked(job, first, count, 1, count, j, distanceMajor.data());
        Detail::AccumulateChecked(job, first, count, n, 1, j, angleMajor.data());
    }
    const std::vector<float> expected = Reference(image, n);
    for (std::uint32_t g = 0; g < count; ++g)
        for (std::uint32_t r = 0; r < n; ++r) {
            ASSERT_EQ(Bits(distanceMajor[r * count + g]), Bits(expected[r * n + first + g]));
            ASSERT_EQ(Bits(angleMajor[g * n + r]), Bits(expected[r * n + first + g]));
        }
}

}  // namespace
}  // namespace Vorna::Compute
