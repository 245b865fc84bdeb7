// Awkward and bad input for the module's two script functions, through the stand-in host with the
// real module loaded by path: every element kind at degenerate, prime, very wide and very tall
// sizes, one to five dimensions, not-a-number and infinite pixels, offsets far beyond any image,
// sizes the host answers as zero or beyond the data, and arguments that are no image at all.
//
// Every case must give either the right image or exactly one clear error, and must leave nothing
// behind: no count held by the module, no image locked, no counting anomaly. An error comes with no
// image, except when it arises after the result was made: the result is then handed over as well
// (the host decides what to do with it), unwritten.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <iostream>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BadInputReference.h"
#include "BadInputTally.h"
#include "Host.h"
#include "LoadedModule.h"
#include "Module.h"

namespace {

using namespace BadInput;
using StandIn::ElementType;
using Vorna::Handle;

using TestSupport::HoughEntry;
using TestSupport::ShiftEntry;

constexpr char kDimensionSize[] = "uint32 ImageGetDimensionSize( ImageRef, uint32 )";
constexpr char kNotReal[] = " takes a real-valued image; complex and RGB images are not supported.";
constexpr char kEmpty[] = " needs an image of at least one pixel.";

const ElementType kAllKinds[] = {
    ElementType::Float32, ElementType::Float64,   ElementType::Int8,       ElementType::Int16,
    ElementType::Int32,   ElementType::UInt8,     ElementType::UInt16,     ElementType::UInt32,
    ElementType::Binary,  ElementType::Complex64, ElementType::Complex128, ElementType::RGB,
};

bool IsReal(ElementType type) {
    return type != ElementType::Complex64 && type != ElementType::Complex128 &&
           type != ElementType::RGB;
}

struct Size2 {
    std::uint32_t w;
    std::uint32_t h;
};
const std::vector<Size2> kSmallSizes = {{1, 1}, {1, 2}, {2, 1}, {2, 2}, {13, 7}};
const std::vector<Size2> kLongSizes = {{4096, 1}, {1, 4096}};

// ---- Pixels and what the module must make of them -----------------------------------------------

// An image's bytes and every element's value as a float (bit for bit for float32).
struct Pixels {
    std::vector<unsigned char> bytes;
    std::vector<float> values;
};

template <class T>
void Append(Pixels& p, T value, float asFloat) {
    const std::size_t at = p.bytes.size();
    p.bytes.resize(at + sizeof(T));
    std::memcpy(p.bytes.data() + at, &value, sizeof(T));
    p.values.push_back(asFloat);
}

template <class T>
void AppendInteger(Pixels& p, std::mt19937& random) {
    std::uniform_int_distribution<long long> any(std::numeric_limits<T>::min(),
                                                 std::numeric_limits<T>::max());
    const T value = static_cast<T>(any(random));
    Append<T>(p, value, static_cast<float>(value));
}

// Random elements of the kind, about a third of them zero; integers over their whole range,
// doubles with more precision than a float and now and then beyond its range.
Pixels MakePixels(ElementType type, std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::bernoulli_distribution zero(0.3), rare(0.05);
    std::uniform_real_distribution<double> real(-1e6, 1e6);
    Pixels p;
    for (std::size_t i = 0; i < count; ++i) {
        const bool isZero = zero(random);
        switch (type) {
            case ElementType::Float32: {
                const float v = isZero ? 0.0f : static_cast<float>(real(random));
                Append<float>(p, v, v);
                break;
            }
            case ElementType::Float64: {
                double v = isZero ? 0.0 : real(random) / 7.0;
                if (!isZero && rare(random)) v = (i % 2 ? -1e300 : 1e300);
                Append<double>(p, v, NearestFloat(v));
                break;
            }
            case ElementType::Binary: {
                const std::uint8_t v = isZero ? 0 : 1;
                Append<std::uint8_t>(p, v, v);
                break;
            }
            case ElementType::Int8:
                isZero ? Append<std::int8_t>(p, 0, 0) : AppendInteger<std::int8_t>(p, random);
                break;
            case ElementType::Int16:
                isZero ? Append<std::int16_t>(p, 0, 0) : AppendInteger<std::int16_t>(p, random);
                break;
            case ElementType::Int32:
                isZero ? Append<std::int32_t>(p, 0, 0) : AppendInteger<std::int32_t>(p, random);
                break;
            case ElementType::UInt8:
                isZero ? Append<std::uint8_t>(p, 0, 0) : AppendInteger<std::uint8_t>(p, random);
                break;
            case ElementType::UInt16:
                isZero ? Append<std::uint16_t>(p, 0, 0) : AppendInteger<std::uint16_t>(p, random);
                break;
            case ElementType::UInt32:
                isZero ? Append<std::uint32_t>(p, 0, 0) : AppendInteger<std::uint32_t>(p, random);
                break;
            default: {
                // Complex and RGB: any bytes; no value is expected from them.
                for (std::size_t b = 0; b < StandIn::elementSize(type); ++b)
                    p.bytes.push_back(static_cast<unsigned char>(random()));
                p.values.push_back(0.0f);
            }
        }
    }
    return p;
}

// ---- One call, checked for what it leaves behind ------------------------------------------------

struct Outcome {
    Handle result = 0;
    std::vector<std::string> errors;
    StandIn::ImageInfo info;
    std::vector<float> pixels;
};

class HostSweep : public ::testing::Test, protected TestSupport::LoadedModule {
  protected:
    void Start(std::uint32_t version = StandIn::kDefaultHostVersion) {
        LoadedModule::Start(MODULE_PATH, version);
    }
    void SetUp() override { Start(); }
    void TearDown() override {
        EXPECT_TRUE(module->unload()) << "the module must really unload";
        StandIn::LeakReport report = host->leakReport();
        for (const std::string& anomaly : tolerated) {
            auto at = std::find(report.anomalies.begin(), report.anomalies.end(), anomaly);
            if (at != report.anomalies.end()) report.anomalies.erase(at);
        }
        EXPECT_TRUE(report.clean()) << report.toString();
        EXPECT_EQ(0, host->activeImageLocks());
    }

    Handle NewImage(ElementType type, const std::vector<std::uint32_t>& sizes,
                    const Pixels& pixels) {
        return host->createImage({type, sizes, "input"}, pixels.bytes.data(), pixels.bytes.size());
    }

    // Calls the module with `argument` (its address, or null), then gives back `owned` (the host
    // counts of the test's own objects) and checks that nothing the module touched stays behind.
    Outcome Call(const char* group, const std::function<Handle(Handle*)>& call, Handle* argument,
                 std::vector<Handle> owned) {
        BadInput::Count(group);
        const StandIn::LeakSnapshot before = host->snapshot();
        host->clearRaisedErrors();
        Outcome o;
        o.result = call(argument);
        o.errors = host->raisedErrors();
        EXPECT_EQ(0, host->activeImageLocks()) << "an image was left locked";
        if (o.result) {
            EXPECT_TRUE(host->isImage(o.result));
            EXPECT_EQ(1, host->moduleReferences(o.result))
                << "the result carries one count for the host";
            host->keep(o.result);
            o.info = host->image(o.result);
            o.pixels.resize(o.info.bytes.size() / sizeof(float));
            if (!o.pixels.empty())
                std::memcpy(o.pixels.data(), o.info.bytes.data(), o.pixels.size() * sizeof(float));
            o.info.bytes.clear();
            host->drop(o.result);
        }
        for (Handle h : owned) host->drop(h);
        StandIn::LeakReport report = host->leakReport(before);
        // Function handles the module resolved on first use stay cached until it unloads (checked
        // then, in TearDown).
        report.objects.erase(std::remove_if(report.objects.begin(), report.objects.end(),
                                            [](const StandIn::LeakReport::HeldObject& held) {
                                                return held.kind == StandIn::ObjectKind::Function;
                                            }),
                             report.objects.end());
        if (argumentNotAnImage) {
            // The module counts the handle it was given, as it must for an image, and gives the
            // count back: the host notes both as anomalies of that handle, and nothing else.
            std::ostringstream text;
            text << "0x" << std::hex << *argument;
            const std::string added = "count added on ", dropped = "count dropped on ";
            int balance = 0;
            for (const std::string& anomaly : report.anomalies) {
                EXPECT_NE(std::string::npos, anomaly.find(text.str())) << anomaly;
                if (anomaly.rfind(added, 0) == 0) ++balance;
                if (anomaly.rfind(dropped, 0) == 0) --balance;
            }
            EXPECT_EQ(0, balance) << "as many counts given back as taken on " << text.str();
            tolerated.insert(tolerated.end(), report.anomalies.begin(), report.anomalies.end());
            report.anomalies.clear();
        }
        EXPECT_TRUE(report.clean()) << report.toString();
        if (Verbose()) {
            std::cout << "[" << group << "] "
                      << ::testing::UnitTest::GetInstance()->current_test_info()->name() << " -> "
                      << (o.result ? "image" : "no image");
            for (const std::string& e : o.errors) std::cout << ", error \"" << e << "\"";
            std::cout << "\n";
        }
        return o;
    }
    Outcome Hough(const char* group, Handle image) {
        return Call(group, [this](Handle* a) { return hough(a); }, &image, {image});
    }
    Outcome Shift(const char* group, Handle image, float dx, float dy) {
        return Call(group, [this, dx, dy](Handle* a) { return shift(a, dx, dy); }, &image, {image});
    }

    static void ExpectImage(const Outcome& o, const char* name, std::vector<std::uint32_t> sizes,
                            const std::vector<float>& expected) {
        ASSERT_NE(0u, o.result) << (o.errors.empty() ? "no error either" : o.errors[0]);
        EXPECT_TRUE(o.errors.empty()) << o.errors[0];
        EXPECT_EQ(name, o.info.name);
        EXPECT_EQ(sizes, o.info.sizes);
        EXPECT_EQ(ElementType::Float32, o.info.type);
        EXPECT_TRUE(SameValues(expected, o.pixels));
    }
    // A failure after the result was made: the result still goes to the caller, with the error
    // (the host decides what to do with it), and nothing was computed into it.
    static void ExpectErrorWithResult(const Outcome& o, const std::string& message) {
        EXPECT_NE(0u, o.result);
        ASSERT_EQ(1u, o.errors.size()) << "exactly one error";
        EXPECT_EQ(message, o.errors[0]);
        EXPECT_EQ(0, o.info.dataChangedCount) << "the result was not written";
    }
    static void ExpectError(const Outcome& o, const std::string& message) {
        EXPECT_EQ(0u, o.result) << "no image with an error";
        ASSERT_EQ(1u, o.errors.size()) << "exactly one error";
        EXPECT_EQ(message, o.errors[0]);
    }

    // Both operations on every kind at every size: a real kind gives the transform of its values
    // converted to float, or the shifted copy; complex and RGB are refused.
    // `transformed`, when given, limits the transforms of real kinds to those kinds (the transform
    // of a very wide image is a large square, and the kinds differ only in the conversion, which
    // the small sizes cover).
    void SweepKindsAndSizes(const char* group, const std::vector<Size2>& sizes,
                            const std::vector<ElementType>& transformed = {}) {
        unsigned seed = 1;
        for (ElementType type : kAllKinds) {
            const bool transform =
                transformed.empty() || !IsReal(type) ||
                std::find(transformed.begin(), transformed.end(), type) != transformed.end();
            for (Size2 s : sizes) {
                SCOPED_TRACE(std::string(StandIn::elementTypeName(type)) + " " +
                             std::to_string(s.w) + " x " + std::to_string(s.h));
                const Pixels pixels = MakePixels(type, std::size_t{s.w} * s.h, seed++);
                const std::uint32_t n = std::max(s.w, s.h);
                const Outcome m = Shift(group, NewImage(type, {s.w, s.h}, pixels), 3.7f, -2.2f);
                if (IsReal(type)) {
                    ExpectImage(m, "shiftImage", {s.w, s.h},
                                ReferenceShift(pixels.values, s.w, s.h, 3.7f, -2.2f));
                } else {
                    ExpectError(m, std::string("shiftImage") + kNotReal);
                }
                if (!transform) continue;
                const Outcome h = Hough(group, NewImage(type, {s.w, s.h}, pixels));
                if (IsReal(type)) {
                    ExpectImage(h, "Hough Transform", {n, n},
                                ReferenceHough(pixels.values, s.w, s.h));
                } else {
                    ExpectError(h, std::string("HoughTransform") + kNotReal);
                }
            }
        }
    }

    bool argumentNotAnImage = false;     // the handle passed is no image of this host
    std::vector<std::string> tolerated;  // the anomalies that such handles caused
};

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

float FromBits(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

Pixels FloatPixels(const std::vector<float>& values) {
    Pixels p;
    for (float v : values) Append<float>(p, v, v);
    return p;
}

Pixels DoublePixels(const std::vector<float>& values) {
    Pixels p;
    for (float v : values) {
        const double d = static_cast<double>(v);
        Append<double>(p, d, NearestFloat(d));
    }
    return p;
}

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

// ---- Sizes the host answers
// ----------------------------------------------------------------------

TEST_F(HostSweep, SizesTheHostAnswersAsZeroAreRefused) {
    // The stand-in host cannot make an empty image, so it is told to answer 0 for a size.
    const StandIn::NativeHandler real = host->handlerOf(kDimensionSize);
    for (unsigned zeroDimensions : {1u, 2u, 3u}) {  // bit d: dimension d answers 0
        SCOPED_TRACE(zeroDimensions);
        host->define(kDimensionSize, [real, zeroDimensions](StandIn::NativeCall& c) {
            const std::uint32_t d = c.uint32(1);
            if (d < 2 && (zeroDimensions >> d & 1u)) return c.setResult<std::uint32_t>(0);
            real(c);
        });
        const Pixels pixels = MakePixels(ElementType::Float32, 9, zeroDimensions);
        ExpectError(Hough("zero sizes", NewImage(ElementType::Float32, {3, 3}, pixels)),
                    std::string("HoughTransform") + kEmpty);
        ExpectError(Shift("zero sizes", NewImage(ElementType::Float32, {3, 3}, pixels), 1, 1),
                    std::string("shiftImage") + kEmpty);
    }
    host->define(kDimensionSize, real);
}

TEST_F(HostSweep, SizesBeyondTheLockedDataAreRefused) {
    // A host whose size answers promise more than the data it then lends: the module must not
    // read past the data (the lock describes the data as it really is).
    const StandIn::NativeHandler real = host->handlerOf(kDimensionSize);
    for (Size2 answer : {Size2{3, 2}, Size2{2, 3}, Size2{64, 64}, Size2{1, 2}}) {
        SCOPED_TRACE(std::to_string(answer.w) + " x " + std::to_string(answer.h) +
                     " answered for 2 x 2");
        host->define(kDimensionSize, [answer](StandIn::NativeCall& c) {
            c.setResult<std::uint32_t>(c.uint32(1) == 0 ? answer.w : answer.h);
        });
        const Pixels pixels = MakePixels(ElementType::Float32, 4, answer.w);
        const std::string why =
            " got image data that does not match the image's sizes and element type.";
        ExpectErrorWithResult(
            Hough("sizes beyond the data", NewImage(ElementType::Float32, {2, 2}, pixels)),
            "HoughTransform" + why);
        ExpectErrorWithResult(
            Shift("sizes beyond the data", NewImage(ElementType::Float32, {2, 2}, pixels), 1, 1),
            "shiftImage" + why);
    }
    host->define(kDimensionSize, real);
}

TEST_F(HostSweep, AnImageTheHostCallsInvalidAtLockingIsRefused) {
    // The lock of an image the host does not call valid stays unlocked, without data.
    host->define("Boolean ImageIsValid( ImageRef )",
                 [](StandIn::NativeCall& c) { c.setResultBoolean(false); });
    const Pixels pixels = MakePixels(ElementType::Float32, 4, 8);
    const std::string why =
        " got image data that does not match the image's sizes and element type.";
    ExpectErrorWithResult(
        Hough("invalid at locking", NewImage(ElementType::Float32, {2, 2}, pixels)),
        "HoughTransform" + why);
    ExpectErrorWithResult(
        Shift("invalid at locking", NewImage(ElementType::Float32, {2, 2}, pixels), 1, 1),
        "shiftImage" + why);
}

TEST_F(HostSweep, ElementSizesTheLockContradictsAreRefused) {
    // The element kind comes from the host's type queries, the layout from the lock: a host whose
    // answers disagree would have the module read past the data (or misread it).
    struct Answer {
        ElementType real;
        std::uint32_t bytes;
        bool isFloat;
    };
    for (Answer a : {Answer{ElementType::UInt8, 8, true}, Answer{ElementType::UInt8, 4, false},
                     Answer{ElementType::Float32, 1, false}, Answer{ElementType::Int16, 4, true}}) {
        SCOPED_TRACE(std::string(StandIn::elementTypeName(a.real)) + " answered as " +
                     std::to_string(a.bytes) + " bytes");
        host->define("uint32 ImageGetDataElementByteSize( ImageRef )",
                     [a](StandIn::NativeCall& c) { c.setResult<std::uint32_t>(a.bytes); });
        host->define("Boolean ImageIsDataTypeFloat( ImageRef )",
                     [a](StandIn::NativeCall& c) { c.setResultBoolean(a.isFloat); });
        const Pixels pixels = MakePixels(a.real, 9, a.bytes);
        const std::string why =
            " got image data that does not match the image's sizes and element type.";
        ExpectErrorWithResult(Hough("element sizes", NewImage(a.real, {3, 3}, pixels)),
                              "HoughTransform" + why);
        ExpectErrorWithResult(Shift("element sizes", NewImage(a.real, {3, 3}, pixels), 1, 1),
                              "shiftImage" + why);
    }
}

TEST_F(HostSweep, ResultsLargerThanTheHostTakesAreItsError) {
    // The transform of a very wide or tall image is its square, which can be more than the host
    // makes (the stand-in host's limit is 1 GiB); the shift of the same image is small.
    for (Size2 s : {Size2{16385, 1}, Size2{1, 16385}, Size2{65536, 3}}) {
        SCOPED_TRACE(std::to_string(s.w) + " x " + std::to_string(s.h));
        const Pixels pixels = MakePixels(ElementType::UInt8, std::size_t{s.w} * s.h, s.w);
        ExpectError(Hough("result too large", NewImage(ElementType::UInt8, {s.w, s.h}, pixels)),
                    "image too large for the stand-in host");
        ExpectImage(
            Shift("result too large", NewImage(ElementType::UInt8, {s.w, s.h}, pixels), 1, 1),
            "shiftImage", {s.w, s.h}, ReferenceShift(pixels.values, s.w, s.h, 1, 1));
    }
}

// ---- Arguments that are no image
// -----------------------------------------------------------------

TEST_F(HostSweep, ArgumentsThatAreNoImageAreRefused) {
    // What the host's script engine never passes, but a module must survive: the host's image
    // functions refuse the handle, and that refusal is the caller's error.
    StandIn::Host other;
    Handle dead = host->createImage({ElementType::Float32, {2, 2}, "gone"});
    host->drop(dead);
    struct Argument {
        const char* name;
        Handle handle;
        bool owned;
    };
    const Argument arguments[] = {
        {"handle 0", 0, false},
        {"a dead image", dead, false},
        {"a string", host->makeString("not an image"), true},
        {"a throwable", host->makeThrowable("not an image either"), true},
        {"an image display", host->makeObject(StandIn::ObjectKind::ImageDisplay), true},
        {"a number that was never a handle", 0x7fff1234u, false},
        {"an image of another host", other.createImage({ElementType::Float32, {2, 2}, "elsewhere"}),
         false},
    };
    argumentNotAnImage = true;
    for (const Argument& a : arguments) {
        SCOPED_TRACE(a.name);
        std::ostringstream message;
        message << "The image 0x" << std::hex << a.handle << " is not valid.";
        Handle h = a.handle;
        ExpectError(Call("no image", [this](Handle* p) { return hough(p); }, &h, {}),
                    message.str());
        ExpectError(Call("no image", [this](Handle* p) { return shift(p, 1, 1); }, &h, {}),
                    message.str());
        EXPECT_EQ(a.handle, h) << "the caller's handle is left as it was";
        if (a.owned) host->drop(a.handle);
    }
    argumentNotAnImage = false;
    // No argument at all: the host passed a null address, which reads as no image.
    ExpectError(Call("no image", [this](Handle* p) { return hough(p); }, nullptr, {}),
                "The image 0x0 is not valid.");
    ExpectError(Call("no image", [this](Handle* p) { return shift(p, 1, 1); }, nullptr, {}),
                "The image 0x0 is not valid.");
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
