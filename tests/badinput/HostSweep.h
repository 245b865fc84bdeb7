// The fixture of the bad-input sweeps through the stand-in host: the real module loaded by path,
// pixels of every element kind with what the module must make of them, and one call checked for
// what it leaves behind.
#pragma once

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

namespace BadInput {

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

inline bool IsReal(ElementType type) {
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
inline void Append(Pixels& p, T value, float asFloat) {
    const std::size_t at = p.bytes.size();
    p.bytes.resize(at + sizeof(T));
    std::memcpy(p.bytes.data() + at, &value, sizeof(T));
    p.values.push_back(asFloat);
}

template <class T>
inline void AppendInteger(Pixels& p, std::mt19937& random) {
    std::uniform_int_distribution<long long> any(std::numeric_limits<T>::min(),
                                                 std::numeric_limits<T>::max());
    const T value = static_cast<T>(any(random));
    Append<T>(p, value, static_cast<float>(value));
}

// Random elements of the kind, about a third of them zero; integers over their whole range,
// doubles with more precision than a float and now and then beyond its range.
inline Pixels MakePixels(ElementType type, std::size_t count, unsigned seed) {
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

inline float FromBits(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

inline Pixels FloatPixels(const std::vector<float>& values) {
    Pixels p;
    for (float v : values) Append<float>(p, v, v);
    return p;
}

inline Pixels DoublePixels(const std::vector<float>& values) {
    Pixels p;
    for (float v : values) {
        const double d = static_cast<double>(v);
        Append<double>(p, d, NearestFloat(d));
    }
    return p;
}
}  // namespace BadInput
