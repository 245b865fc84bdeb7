// Strings through the call-context slots: both encodings, conversions and loans.
#include <gtest/gtest.h>

#include "HostTestSupport.h"

using namespace StandIn;
using StandInTest::ModuleSide;

namespace {

class Strings : public ::testing::Test {
  protected:
    Vorna::Handle newString(std::int32_t encoding, const void* bytes, std::uint32_t n) {
        return ctx()->table->newString(ctx(), encoding, bytes, n);
    }
    // Locks, copies and unlocks.
    std::string lend(Vorna::Handle s, std::int32_t encoding) {
        std::uint32_t length = 0xFFFFFFFF;
        std::uint32_t token = 0;
        const void* p = ctx()->table->lockString(ctx(), s, encoding, &length, &token);
        if (!p) return "<null>";
        std::string bytes(static_cast<const char*>(p), length);
        ctx()->table->unlockString(ctx(), s, token);
        return bytes;
    }
    Vorna::HostCallContext* ctx() { return module.context(); }

    Host host;
    ModuleSide module{host};
    LeakSnapshot base = host.snapshot();
};

TEST_F(Strings, NarrowTextRoundTripsByteForByte) {
    const std::string text("caf\xE9\0end", 8);
    Vorna::Handle s =
        newString(Vorna::kEncodingNarrow, text.data(), static_cast<std::uint32_t>(text.size()));
    EXPECT_EQ(lend(s, Vorna::kEncodingNarrow), text);
    EXPECT_EQ(host.readString(s), text);
    module.drop(ObjectKind::String, s);
    EXPECT_TRUE(host.leakReport(base).clean()) << host.leakReport(base).toString();
}

TEST_F(Strings, UTF16TextRoundTripsAndConvertsToNarrow) {
    const std::u16string units = u"A\u00E9\u4E2D";
    Vorna::Handle s = newString(Vorna::kEncodingUTF16, units.data(),
                                static_cast<std::uint32_t>(units.size() * 2));
    EXPECT_EQ(host.readStringUTF16(s), units);
    std::string wide = lend(s, Vorna::kEncodingUTF16);
    ASSERT_EQ(wide.size(), 6u) << "byte length is twice the units";
    EXPECT_EQ(std::memcmp(wide.data(), units.data(), 6), 0);
    EXPECT_EQ(lend(s, Vorna::kEncodingNarrow), "A\xE9?");
    module.drop(ObjectKind::String, s);
}

TEST_F(Strings, NarrowTextLentAsUTF16) {
    Vorna::Handle s = newString(Vorna::kEncodingNarrow, "ab", 2);
    std::string wide = lend(s, Vorna::kEncodingUTF16);
    std::u16string units(wide.size() / 2, u'\0');
    std::memcpy(&units[0], wide.data(), wide.size());
    EXPECT_EQ(units, u"ab");
    module.drop(ObjectKind::String, s);
}

TEST_F(Strings, LentTextIsZeroTerminated) {
    Vorna::Handle s = host.makeString("xyz");
    std::uint32_t length = 0;
    std::uint32_t token = 0;
    const char* p = static_cast<const char*>(
        ctx()->table->lockString(ctx(), s, Vorna::kEncodingNarrow, &length, &token));
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, "xyz");
    ctx()->table->unlockString(ctx(), s, token);
    host.drop(s);
}

TEST_F(Strings, UnreturnedLoanIsALeakAndBadUnlocksAreAnomalies) {
    Vorna::Handle s = host.makeString("loaned");
    std::uint32_t length = 0;
    std::uint32_t token = 0;
    ASSERT_NE(ctx()->table->lockString(ctx(), s, Vorna::kEncodingNarrow, &length, &token), nullptr);
    LeakReport report = host.leakReport(base);
    ASSERT_EQ(report.stringLoans.size(), 1u);
    EXPECT_TRUE(report.anomalies.empty());

    ctx()->table->unlockString(ctx(), s, token + 100);
    EXPECT_EQ(host.leakReport(base).anomalies.size(), 1u);
    ctx()->table->unlockString(ctx(), s, token);
    EXPECT_TRUE(host.leakReport(base).stringLoans.empty());
    ctx()->table->unlockString(ctx(), s, token);
    EXPECT_EQ(host.leakReport(base).anomalies.size(), 2u);
    host.drop(s);
}

TEST_F(Strings, InvalidRequestsAnswerNullOrZero) {
    std::uint32_t length = 0;
    std::uint32_t token = 0;
    Vorna::Handle image = host.createImage(ImageSpec{ElementType::UInt8, {1}, "not a string"});
    EXPECT_EQ(ctx()->table->lockString(ctx(), image, Vorna::kEncodingNarrow, &length, &token),
              nullptr);
    EXPECT_EQ(newString(Vorna::kEncodingNarrow, nullptr, 3), 0u);
    EXPECT_EQ(newString(7, "x", 1), 0u);
    Vorna::Handle odd = newString(Vorna::kEncodingUTF16, "abc", 3);
    EXPECT_EQ(host.readStringUTF16(odd).size(), 1u);
    EXPECT_EQ(host.leakReport(base).anomalies.size(), 4u);
    module.drop(ObjectKind::String, odd);
    host.drop(image);
}

TEST_F(Strings, EmptyStringsWork) {
    Vorna::Handle s = newString(Vorna::kEncodingUTF16, nullptr, 0);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(lend(s, Vorna::kEncodingNarrow), "");
    module.drop(ObjectKind::String, s);
}

}  // namespace
