// The results every build must give: the golden cases of tools/module-check computed by the image
// operations' arithmetic directly, with every kernel and thread count, against the checksums of
// the native 64-bit build. The 32-bit build runs the same test, so the two widths cannot drift
// apart; the Windows build runs the same cases through the module (scripts/check-windows.sh).
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "GoldenCases.h"
#include "compute/Hough.h"
#include "compute/Shift.h"

namespace {

using ModuleCheck::Case;
using ModuleCheck::Cases;
using ModuleCheck::Checksum;
using ModuleCheck::Golden;
using ModuleCheck::Operation;

std::vector<float> Transform(const Case& c, const Vorna::Compute::HoughOptions& options) {
    const std::vector<float> input = ModuleCheck::InputAsFloat(c);
    const std::uint32_t n = std::max(c.width, c.height);
    // Poisoned, so that an element the transform forgets to write shows.
    std::vector<float> out(std::size_t{n} * n, -7.25f);
    Vorna::Compute::HoughTransform(input.data(), c.width, c.height, out.data(), options);
    return out;
}

std::vector<float> Shifted(const Case& c) {
    const std::vector<float> input = ModuleCheck::InputAsFloat(c);
    std::vector<float> out(input.size(), -7.25f);
    Vorna::Compute::Shift(input.data(), c.width, c.height,
                          Vorna::Compute::ReduceOffset(c.dx, c.width),
                          Vorna::Compute::ReduceOffset(c.dy, c.height), out.data());
    return out;
}

std::uint64_t ChecksumOf(const std::vector<float>& values) {
    return Checksum(values.data(), values.size());
}

TEST(GoldenCases, EachCaseHasOneNameAndOneChecksum) {
    std::set<std::string> names;
    for (const Case& c : Cases())
        EXPECT_TRUE(names.insert(ModuleCheck::Name(c)).second) << ModuleCheck::Name(c);
    EXPECT_NO_THROW(Golden(0)) << "the table must hold exactly one checksum per case";
    EXPECT_GE(Cases().size(), 30u);
}

TEST(GoldenCases, TheChecksumSeesEveryBitOfEveryElement) {
    std::vector<float> values = {0.0f, 1.5f, -2.25f};
    const std::uint64_t original = ChecksumOf(values);
    for (std::size_t byte = 0; byte < values.size() * sizeof(float); ++byte)
        for (int bit = 0; bit < 8; ++bit) {
            std::vector<float> changed = values;
            reinterpret_cast<unsigned char*>(changed.data())[byte] ^=
                static_cast<unsigned char>(1u << bit);
            EXPECT_NE(original, ChecksumOf(changed)) << "byte " << byte << " bit " << bit;
        }
    // The sign of zero is a different result.
    EXPECT_NE(ChecksumOf({0.0f}), ChecksumOf({-0.0f}));
}

TEST(GoldenCases, InputsMixZerosAndEveryElementKind) {
    bool sawZero = false, sawNegative = false;
    for (const Case& c : Cases()) {
        const std::vector<float> input = ModuleCheck::InputAsFloat(c);
        ASSERT_EQ(std::size_t{c.width} * c.height, input.size());
        ASSERT_EQ(input.size() * ModuleCheck::ElementSize(c.element),
                  ModuleCheck::InputBytes(c).size());
        for (float x : input) {
            sawZero = sawZero || x == 0.0f;
            sawNegative = sawNegative || x < 0.0f;
        }
    }
    EXPECT_TRUE(sawZero);
    EXPECT_TRUE(sawNegative);
}

TEST(GoldenResults, HoughTransformGivesTheGoldenBitsWithEveryKernelAndThreadCount) {
    using Vorna::Compute::HoughKernel;
    for (std::size_t i = 0; i < Cases().size(); ++i) {
        const Case& c = Cases()[i];
        if (c.operation != Operation::Hough) continue;
        // A kernel this CPU lacks runs the next narrower one: the golden bits hold either way.
        for (HoughKernel kernel :
             {HoughKernel::Auto, HoughKernel::Baseline, HoughKernel::Lanes, HoughKernel::Lanes512,
              HoughKernel::Avx2, HoughKernel::Avx512, HoughKernel::RangeCheckFallback})
            for (unsigned threads : {1u, 2u, 3u})
                EXPECT_EQ(Golden(i), ChecksumOf(Transform(c, {threads, kernel})))
                    << ModuleCheck::Name(c) << ", kernel "
                    << Vorna::Compute::HoughKernelName(Vorna::Compute::HoughKernelChosen(kernel))
                    << ", " << threads << " threads";
    }
}

TEST(GoldenResults, TheReferenceLoopGivesTheGoldenBitsOnThePaddedSquare) {
    for (std::size_t i = 0; i < Cases().size(); ++i) {
        const Case& c = Cases()[i];
        if (c.operation != Operation::Hough) continue;
        const std::vector<float> input = ModuleCheck::InputAsFloat(c);
        std::vector<float> square;
        Vorna::Compute::PadToSquare(input.data(), c.width, c.height, square);
        const std::uint32_t n = std::max(c.width, c.height);
        std::vector<float> out(std::size_t{n} * n, -7.25f);
        Vorna::Compute::HoughReference(square.data(), n, out.data());
        EXPECT_EQ(Golden(i), ChecksumOf(out)) << ModuleCheck::Name(c);
    }
}

TEST(GoldenResults, ShiftGivesTheGoldenBits) {
    for (std::size_t i = 0; i < Cases().size(); ++i) {
        const Case& c = Cases()[i];
        if (c.operation != Operation::Shift) continue;
        EXPECT_EQ(Golden(i), ChecksumOf(Shifted(c))) << ModuleCheck::Name(c);
    }
}

}  // namespace
