// Calls through libffi: every value type arrives in its place, narrow results keep their sign.
#include "ForeignCall.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "ExpectThrow.h"

using namespace Tools;

namespace {

std::string gSeen;

double mixed(double d, float f, std::int16_t s, std::uint16_t u, std::uint32_t ul, std::uint8_t b,
             std::int8_t c, const char* text, std::int32_t l) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%.17g %.9g %d %u %lu %u %d %s %ld", d,
                  static_cast<double>(f), s, u, static_cast<unsigned long>(ul), b, c, text,
                  static_cast<long>(l));
    gSeen = buffer;
    return d * 2;
}

// More floating-point and integer arguments than there are argument registers.
double manyFloats(float a, float b, float c, float d, float e, float f, float g, float h, float i,
                  float j, std::int32_t k, std::int32_t l, std::int32_t m, std::int32_t n,
                  std::int32_t o, std::int32_t p, std::int32_t q) {
    return a + 2 * b + 3 * c + 4 * d + 5 * e + 6 * f + 7 * g + 8 * h + 9 * i + 10 * j +
           100.0 * (k + l + m + n + o + p) + 1000.0 * q;
}

std::int16_t minusOne16() { return -1; }
std::int8_t minusOne8() { return -1; }
std::uint8_t twoHundred() { return 200; }
std::uint16_t big16() { return 65535; }
std::uint32_t big32() { return 0xFFFFFFF0u; }
float third(float x) { return x / 3; }
void* same(void* p) { return p; }
void nothing(std::int32_t* out) { *out = 7; }

template <typename Fn>
void* address(Fn fn) {
    return reinterpret_cast<void*>(fn);
}

TEST(ForeignCall, EveryArgumentTypeArrivesInItsPlace) {
    char text[] = "text";
    ForeignValue r = callForeign(
        address(&mixed), ForeignType::Double,
        {ForeignValue::float64(1.25), ForeignValue::float32(-2.5f), ForeignValue::int16(-300),
         ForeignValue::uint16(65535), ForeignValue::uint32(4000000000u), ForeignValue::uint8(1),
         ForeignValue::int8(-5), ForeignValue::pointer(text), ForeignValue::int32(-2147483647)});
    EXPECT_EQ(gSeen, "1.25 -2.5 -300 65535 4000000000 1 -5 text -2147483647");
    EXPECT_EQ(r.type, ForeignType::Double);
    EXPECT_EQ(r.d, 2.5);
}

TEST(ForeignCall, ArgumentsBeyondTheRegistersArePassedOnTheStack) {
    std::vector<ForeignValue> args;
    for (int i = 1; i <= 10; ++i) args.push_back(ForeignValue::float32(static_cast<float>(i)));
    for (int i = 0; i < 6; ++i) args.push_back(ForeignValue::int32(1));
    args.push_back(ForeignValue::int32(3));
    // Σ i·i for i = 1..10 is 385, plus 600 and 3000.
    EXPECT_EQ(callForeign(address(&manyFloats), ForeignType::Double, args).d, 3985.0);
}

TEST(ForeignCall, NarrowResultsKeepTheirSignAndWidth) {
    EXPECT_EQ(callForeign(address(&minusOne16), ForeignType::Int16, {}).i16, -1);
    EXPECT_EQ(callForeign(address(&minusOne8), ForeignType::Int8, {}).i8, -1);
    EXPECT_EQ(callForeign(address(&twoHundred), ForeignType::UInt8, {}).u8, 200);
    EXPECT_EQ(callForeign(address(&big16), ForeignType::UInt16, {}).u16, 65535);
    EXPECT_EQ(callForeign(address(&big32), ForeignType::UInt32, {}).u32, 0xFFFFFFF0u);
    EXPECT_EQ(callForeign(address(&third), ForeignType::Float, {ForeignValue::float32(1.5f)}).f,
              0.5f);
    int x = 0;
    EXPECT_EQ(callForeign(address(&same), ForeignType::Pointer, {ForeignValue::pointer(&x)}).p, &x);
}

TEST(ForeignCall, VoidFunctionsRunForTheirEffect) {
    std::int32_t out = 0;
    ForeignValue r =
        callForeign(address(&nothing), ForeignType::Void, {ForeignValue::pointer(&out)});
    EXPECT_EQ(r.type, ForeignType::Void);
    EXPECT_EQ(out, 7);
}

TEST(ForeignCall, RefusesANullFunctionAndUntypedArguments) {
    EXPECT_THROW_MESSAGE(callForeign(nullptr, ForeignType::Void, {}), ForeignCallError,
                         "no function to call");
    std::int32_t out = 0;
    EXPECT_THROW_MESSAGE(callForeign(address(&nothing), ForeignType::Void,
                                     {ForeignValue::pointer(&out), ForeignValue()}),
                         ForeignCallError, "argument 2 has no type");
}

TEST(ForeignValue, NumbersConvertToTheTypeTheyTravelAs) {
    const ForeignValue c = ForeignValue::number(ForeignType::Int8, std::int64_t{-1});
    EXPECT_EQ(c.type, ForeignType::Int8);
    EXPECT_EQ(c.i8, -1);
    EXPECT_EQ(ForeignValue::number(ForeignType::UInt32, std::int64_t{4294967295}).u32, 4294967295u);
    EXPECT_EQ(ForeignValue::number(ForeignType::Float, 1e30).f, 1e30f);
    EXPECT_EQ(ForeignValue::number(ForeignType::Double, 2).d, 2.0);
    EXPECT_THROW_MESSAGE(ForeignValue::number(ForeignType::Pointer, 1), std::logic_error,
                         "no number travels as pointer");
    EXPECT_THROW_MESSAGE(ForeignValue::number(ForeignType::Void, 1), std::logic_error,
                         "no number travels as void");
}

TEST(ForeignValue, WidthsAndNamesFollowTheTable) {
    EXPECT_EQ(foreignWidth(ForeignType::Void), 0u);
    EXPECT_EQ(foreignWidth(ForeignType::Int8), 1u);
    EXPECT_EQ(foreignWidth(ForeignType::UInt16), 2u);
    EXPECT_EQ(foreignWidth(ForeignType::Float), 4u);
    EXPECT_EQ(foreignWidth(ForeignType::Double), 8u);
    EXPECT_EQ(foreignWidth(ForeignType::Pointer), sizeof(void*));
    EXPECT_STREQ(foreignTypeName(ForeignType::Void), "void");
    EXPECT_STREQ(foreignTypeName(ForeignType::UInt32), "uint32");
    EXPECT_STREQ(foreignTypeName(ForeignType::Pointer), "pointer");
}

}  // namespace
