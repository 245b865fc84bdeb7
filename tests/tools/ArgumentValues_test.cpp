// Command-line values: whole texts only, within the type's range.
#include "ArgumentValues.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

using namespace Tools;

namespace {

TEST(ParseInteger, AcceptsTheWholeRangeOfTheTypeAndNothingBeyond) {
    EXPECT_EQ(parseInteger("-2147483648", INT32_MIN, INT32_MAX), INT32_MIN);
    EXPECT_EQ(parseInteger("2147483647", INT32_MIN, INT32_MAX), INT32_MAX);
    EXPECT_FALSE(parseInteger("-2147483649", INT32_MIN, INT32_MAX));
    EXPECT_FALSE(parseInteger("2147483648", INT32_MIN, INT32_MAX));
    EXPECT_EQ(parseInteger("4294967295", 0, UINT32_MAX), UINT32_MAX);
    EXPECT_FALSE(parseInteger("-1", 0, UINT32_MAX));
    EXPECT_EQ(parseInteger("-0", 0, UINT32_MAX), 0);
    EXPECT_EQ(parseInteger("-32768", INT16_MIN, INT16_MAX), INT16_MIN);
    EXPECT_FALSE(parseInteger("32768", INT16_MIN, INT16_MAX));
    EXPECT_EQ(parseInteger("-9223372036854775808", INT64_MIN, INT64_MAX), INT64_MIN);
    EXPECT_FALSE(parseInteger("18446744073709551616", INT64_MIN, INT64_MAX));
}

TEST(ParseInteger, ReadsSignsAndHexadecimal) {
    EXPECT_EQ(parseInteger("+7", INT32_MIN, INT32_MAX), 7);
    EXPECT_EQ(parseInteger("0x1F", INT32_MIN, INT32_MAX), 31);
    EXPECT_EQ(parseInteger("-0x10", INT32_MIN, INT32_MAX), -16);
    EXPECT_EQ(parseInteger("010", INT32_MIN, INT32_MAX), 10) << "decimal, not octal";
}

TEST(ParseInteger, RefusesEverythingThatIsNotWhollyANumber) {
    for (const char* text :
         {"", " 5", "5 ", "5x", "1.5", "1e3", "0x", "-", "+", "--5", "five", "0x-5"}) {
        EXPECT_FALSE(parseInteger(text, INT32_MIN, INT32_MAX)) << "'" << text << "'";
    }
}

TEST(ParseReal, FloatsRefuseOverflowButDoublesTakeIt) {
    EXPECT_EQ(parseFloat("100.7"), 100.7f);
    EXPECT_EQ(parseFloat("-40.2"), -40.2f);
    EXPECT_FALSE(parseFloat("1e39"));
    EXPECT_EQ(parseDouble("1e39"), 1e39);
    EXPECT_FALSE(parseDouble("1e309"));
    EXPECT_EQ(parseFloat("0x1p-3"), 0.125f);
    EXPECT_EQ(parseFloat("1e-50"), 0.0f) << "underflow gives the nearest value";
}

TEST(ParseReal, NamedInfinitiesAndNotANumberAreValues) {
    EXPECT_EQ(parseFloat("-inf"), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(parseDouble("Infinity"), std::numeric_limits<double>::infinity());
    ASSERT_TRUE(parseFloat("nan"));
    EXPECT_TRUE(std::isnan(*parseFloat("nan")));
}

TEST(ParseReal, RefusesPartialAndBlankTexts) {
    for (const char* text : {"", " 1", "1 ", "1.5.2", "abc", "1,5", "--1"}) {
        EXPECT_FALSE(parseFloat(text)) << "'" << text << "'";
        EXPECT_FALSE(parseDouble(text)) << "'" << text << "'";
    }
}

TEST(ParseBoolean, KnowsTheUsualWordsInAnyCase) {
    for (const char* text : {"true", "TRUE", "yes", "on", "1"})
        EXPECT_EQ(parseBoolean(text), true) << text;
    for (const char* text : {"false", "No", "off", "0"})
        EXPECT_EQ(parseBoolean(text), false) << text;
    for (const char* text : {"", "2", "y", "truth"}) EXPECT_FALSE(parseBoolean(text)) << text;
}

TEST(ParseHex32, ReadsVersionsWithOrWithoutPrefix) {
    EXPECT_EQ(parseHex32("03040400"), 0x03040400u);
    EXPECT_EQ(parseHex32("0x03030200"), 0x03030200u);
    EXPECT_EQ(parseHex32("FFFFFFFF"), 0xFFFFFFFFu);
    for (const char* text : {"", "0x", "100000000", "3.4", "-1", "xyz"})
        EXPECT_FALSE(parseHex32(text)) << text;
}

TEST(FormatReal, PrintsTheShortestTextThatReadsBack) {
    EXPECT_EQ(formatFloat(0.1f), "0.1");
    EXPECT_EQ(formatDouble(0.1), "0.1");
    EXPECT_EQ(formatFloat(100.7f), "100.7");
    EXPECT_EQ(formatDouble(-2.5), "-2.5");
    EXPECT_EQ(formatFloat(std::numeric_limits<float>::infinity()), "inf");
    EXPECT_EQ(formatDouble(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(formatDouble(std::nan("")), "nan");
    const float odd = 16777217.0f;  // rounds to 16777216
    EXPECT_EQ(parseFloat(formatFloat(odd)), odd);
}

ParamPlan numberPlan(const std::string& type) {
    return *planParam(StandIn::parseSignature("void F(" + type + ")").params.at(0));
}

TEST(ParseNumber, ReadsAnArgumentAsItsParameterTravels) {
    const std::optional<ForeignValue> c = parseNumber(numberPlan("char"), "-128");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->type, ForeignType::Int8);
    EXPECT_EQ(c->i8, -128);
    EXPECT_FALSE(parseNumber(numberPlan("char"), "128"));
    EXPECT_EQ(parseNumber(numberPlan("RGB"), "0xFFFFFFFF")->u32, 0xFFFFFFFFu);
    EXPECT_FALSE(parseNumber(numberPlan("RGB"), "0x100000000"));
    const std::optional<ForeignValue> yes = parseNumber(numberPlan("Boolean"), "Yes");
    ASSERT_TRUE(yes);
    EXPECT_EQ(yes->type, ForeignType::UInt8);
    EXPECT_EQ(yes->u8, 1);
    EXPECT_FALSE(parseNumber(numberPlan("Boolean"), "2"));
    EXPECT_FALSE(parseNumber(numberPlan("float"), "1e39")) << "beyond float";
    const std::optional<ForeignValue> d = parseNumber(numberPlan("double"), "1e39");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->type, ForeignType::Double);
    EXPECT_EQ(d->d, 1e39);
    EXPECT_FALSE(parseNumber(numberPlan("long"), "1.5"));
}

TEST(FormatNumber, WritesEveryNumberTypeAsItReadsBack) {
    EXPECT_EQ(formatNumber(ForeignValue::int8(-5)), "-5") << "a number, not a character";
    EXPECT_EQ(formatNumber(ForeignValue::uint8(200)), "200");
    EXPECT_EQ(formatNumber(ForeignValue::int16(-32768)), "-32768");
    EXPECT_EQ(formatNumber(ForeignValue::uint32(4294967295u)), "4294967295");
    EXPECT_EQ(formatNumber(ForeignValue::float32(0.1f)), "0.1");
    EXPECT_EQ(formatNumber(ForeignValue::float64(-2.5)), "-2.5");
    EXPECT_EQ(formatNumber(ForeignValue::pointer(nullptr)), "?");
    EXPECT_EQ(formatNumber(ForeignValue()), "?");
}

}  // namespace
