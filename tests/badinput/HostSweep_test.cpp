// Awkward and bad input for the module's two script functions, through the stand-in host with the
// real module loaded by path: every element kind at degenerate, prime, very wide and very tall
// sizes, one to five dimensions, not-a-number and infinite pixels, offsets far beyond any image,
// sizes the host answers as zero or beyond the data, and arguments that are no image at all.
//
// Every case must give either the right image or exactly one clear error, and must leave nothing
// behind: no count held by the module, no image locked, no counting anomaly. An error comes with no
// image, except when it arises after the result was made: the result is then handed over as well
// (the host decides what to do with it), unwritten.
#include "HostSweep.h"

namespace BadInput {
namespace {

// ---- Element kinds and sizes
// ---------------------------------------------------------------------

TEST_F(HostSweep, EveryElementKindAtDegenerateAndPrimeSizes) {
    SweepKindsAndSizes("kinds and sizes", kSmallSizes);
}

TEST_F(HostSweep, EveryElementKindVeryWideAndVeryTall) {
    SweepKindsAndSizes("kinds and sizes", kLongSizes,
                       {ElementType::Float32, ElementType::Float64, ElementType::UInt8});
}

// ---- Pixels that are not ordinary numbers
// --------------------------------------------------------

TEST_F(HostSweep, NotANumberAndInfinitePixelsAreValuesLikeAnyOther) {
    struct Pattern {
        const char* name;
        std::function<void(std::vector<float>&)> fill;
    };
    const Pattern patterns[] = {
        {"one NaN in the middle", [](std::vector<float>& v) { v[v.size() / 2] = kNaN; }},
        {"a signalling NaN",
         [](std::vector<float>& v) { v[v.size() / 2] = FromBits(0x7f800001u); }},
        {"a negative NaN with a payload",
         [](std::vector<float>& v) { v[1] = FromBits(0xffc12345u); }},
        {"+inf in a corner", [](std::vector<float>& v) { v[0] = kInf; }},
        {"+inf and -inf",
         [](std::vector<float>& v) {
             v[0] = kInf;
             v.back() = -kInf;
         }},
        {"nothing but NaN", [](std::vector<float>& v) { std::fill(v.begin(), v.end(), kNaN); }},
        {"the largest floats",
         [](std::vector<float>& v) {
             std::fill(v.begin(), v.end(), std::numeric_limits<float>::max());
         }},
        {"the smallest subnormals",
         [](std::vector<float>& v) {
             std::fill(v.begin(), v.end(), std::numeric_limits<float>::denorm_min());
         }},
        {"negative zeros", [](std::vector<float>& v) { std::fill(v.begin(), v.end(), -0.0f); }},
    };
    for (Size2 s : {Size2{5, 5}, Size2{8, 3}}) {
        for (const Pattern& pattern : patterns) {
            std::vector<float> values(std::size_t{s.w} * s.h, 0.0f);
            for (std::size_t i = 0; i < values.size(); i += 3)
                values[i] = 0.25f * static_cast<float>(i + 1);
            pattern.fill(values);
            const std::uint32_t n = std::max(s.w, s.h);
            for (ElementType type : {ElementType::Float32, ElementType::Float64}) {
                SCOPED_TRACE(std::string(pattern.name) + ", " + StandIn::elementTypeName(type) +
                             " " + std::to_string(s.w) + " x " + std::to_string(s.h));
                const Pixels pixels =
                    type == ElementType::Float32 ? FloatPixels(values) : DoublePixels(values);
                ExpectImage(Hough("non-finite pixels", NewImage(type, {s.w, s.h}, pixels)),
                            "Hough Transform", {n, n}, ReferenceHough(pixels.values, s.w, s.h));
                ExpectImage(
                    Shift("non-finite pixels", NewImage(type, {s.w, s.h}, pixels), -1.0f, 1.0f),
                    "shiftImage", {s.w, s.h}, ReferenceShift(pixels.values, s.w, s.h, -1.0f, 1.0f));
            }
        }
    }
}

TEST_F(HostSweep, AShiftCopiesFloatBitsUnchanged) {
    // Signalling NaN, payloads and negative zero survive the copy bit for bit.
    const std::vector<float> values = {FromBits(0x7f800001u), FromBits(0xffc12345u), -0.0f, kInf};
    const Outcome o = Shift("non-finite pixels",
                            NewImage(ElementType::Float32, {2, 2}, FloatPixels(values)), 0, 0);
    ASSERT_EQ(4u, o.pixels.size());
    EXPECT_EQ(0, std::memcmp(values.data(), o.pixels.data(), 4 * sizeof(float)));
}

// ---- Offsets
// -------------------------------------------------------------------------------------

TEST_F(HostSweep, ShiftOffsetsFarBeyondTheImageAreReducedExactly) {
    const float two31 = 2147483648.0f, two63 = 9223372036854775808.0f;
    const float offsets[] = {
        1e30f,
        -1e30f,
        two31,
        -two31,
        2147483520.0f,
        -2147483520.0f,
        2 * two31,
        two63,
        -two63,
        2 * two63,
        std::numeric_limits<float>::max(),
        -std::numeric_limits<float>::max(),
        std::numeric_limits<float>::min(),
        -std::numeric_limits<float>::min(),
        std::numeric_limits<float>::denorm_min(),
        -std::numeric_limits<float>::denorm_min(),
        -0.0f,
        0.5f,
        -0.5f,
        0.99999994f,
        -0.99999994f,
        16777216.0f,
        16777218.0f,
        -16777218.0f,
        13.0f,
        -13.0f,
        7.0f,
        -7.0f,
    };
    const std::uint32_t w = 13, h = 7;
    const Pixels pixels = MakePixels(ElementType::Float32, w * h, 99);
    for (float offset : offsets) {
        SCOPED_TRACE(offset);
        for (auto [dx, dy] : {std::pair{offset, 0.0f}, {0.0f, offset}, {offset, offset}}) {
            ExpectImage(
                Shift("shift offsets", NewImage(ElementType::Float32, {w, h}, pixels), dx, dy),
                "shiftImage", {w, h}, ReferenceShift(pixels.values, w, h, dx, dy));
        }
        ExpectImage(
            Shift("shift offsets", NewImage(ElementType::Float32, {1, 1}, FloatPixels({2.5f})),
                  offset, offset),
            "shiftImage", {1, 1}, {2.5f});
    }
}

TEST_F(HostSweep, OffsetsThatAreNotFiniteAreRefused) {
    for (float offset : {kNaN, -kNaN, FromBits(0x7f800001u), kInf, -kInf}) {
        SCOPED_TRACE(offset);
        for (auto [dx, dy] : {std::pair{offset, 0.0f}, {0.0f, offset}, {offset, offset}}) {
            const Pixels pixels = MakePixels(ElementType::Float32, 6, 5);
            ExpectError(
                Shift("shift offsets", NewImage(ElementType::Float32, {3, 2}, pixels), dx, dy),
                "shiftImage needs finite offsets.");
        }
    }
}

// ---- Dimensions
// ----------------------------------------------------------------------------------

TEST_F(HostSweep, OneDimensionalImagesGiveTheHostsAnswerAsTheError) {
    // The operations read the size along dimension 1, which a one-dimensional image does not have:
    // the host answers with an error, which is what the caller gets.
    for (std::uint32_t length : {1u, 5u, 4096u}) {
        for (ElementType type : {ElementType::Float32, ElementType::UInt16}) {
            SCOPED_TRACE(std::to_string(length) + " " + StandIn::elementTypeName(type));
            const Pixels pixels = MakePixels(type, length, length);
            const std::string message = "Dimension 1 is out of range for an image of 1 dimensions.";
            ExpectError(Hough("dimensions", NewImage(type, {length}, pixels)), message);
            ExpectError(Shift("dimensions", NewImage(type, {length}, pixels), 1, 1), message);
        }
    }
}

TEST_F(HostSweep, ImagesOfThreeToFiveDimensionsAreReadAsTheirFirstPlane) {
    const std::vector<std::vector<std::uint32_t>> shapes = {
        {4, 3, 2},       {1, 1, 3},       {13, 7, 2},      {3, 2, 2, 2},
        {2, 2, 2, 2, 2}, {1, 1, 1, 1, 1}, {3, 1, 1, 1, 2}, {1, 5, 2, 2},
    };
    unsigned seed = 500;
    for (const auto& shape : shapes) {
        for (ElementType type : {ElementType::Float32, ElementType::Int16, ElementType::Float64}) {
            std::size_t count = 1;
            for (std::uint32_t s : shape) count *= s;
            SCOPED_TRACE(std::to_string(shape.size()) + " dimensions, " + std::to_string(count) +
                         " " + StandIn::elementTypeName(type));
            const Pixels pixels = MakePixels(type, count, seed++);
            const std::uint32_t w = shape[0], h = shape[1];
            const std::vector<float> plane(pixels.values.begin(), pixels.values.begin() + w * h);
            const std::uint32_t n = std::max(w, h);
            ExpectImage(Hough("dimensions", NewImage(type, shape, pixels)), "Hough Transform",
                        {n, n}, ReferenceHough(plane, w, h));
            ExpectImage(Shift("dimensions", NewImage(type, shape, pixels), 1, -1), "shiftImage",
                        {w, h}, ReferenceShift(plane, w, h, 1, -1));
        }
    }
}

// ---- The older host generation
// -------------------------------------------------------------------

class OlderHostSweep : public HostSweep {
  protected:
    void SetUp() override { Start(0x030403FF); }
};

TEST_F(OlderHostSweep, EveryElementKindAtSmallSizes) {
    SweepKindsAndSizes("older host", {{1, 1}, {1, 2}, {2, 1}, {2, 2}, {13, 7}});
}

TEST_F(OlderHostSweep, OneAndThreeDimensionalImages) {
    const Pixels line = MakePixels(ElementType::Int32, 6, 3);
    ExpectError(Hough("older host", NewImage(ElementType::Int32, {6}, line)),
                "Dimension 1 is out of range for an image of 1 dimensions.");
    const Pixels cube = MakePixels(ElementType::Int8, 4 * 3 * 2, 4);
    const std::vector<float> plane(cube.values.begin(), cube.values.begin() + 12);
    ExpectImage(Hough("older host", NewImage(ElementType::Int8, {4, 3, 2}, cube)),
                "Hough Transform", {4, 4}, ReferenceHough(plane, 4, 3));
    ExpectImage(Shift("older host", NewImage(ElementType::Int8, {4, 3, 2}, cube), 5, 5),
                "shiftImage", {4, 3}, ReferenceShift(plane, 4, 3, 5, 5));
}

}  // namespace
}  // namespace BadInput
