// Strings through the framework's members and stubs: appending in place (both forms), comparing,
// converting, validity, and what every failure leaves behind.
#include "ModelTestSupport.h"

namespace ModelTest {
namespace {

class Strings : public ModelTest {};

TEST_F(Strings, AppendingReplacesTheReferencesStringAndAnswersTheNewOne) {
    qz_string text("Hough");
    Handle before = text.get();
    qz_string result = text.Append(qz_string(" transform"));
    EXPECT_EQ(Text(text), "Hough transform");
    EXPECT_EQ(result.get(), text.get()) << "the reference and the result hold the new string";
    EXPECT_EQ(Count(text.get()), 2);
    EXPECT_FALSE(host().isAlive(before)) << "the string held before was given back";

    qz_string empty;
    empty.Append(qz_string("from nothing"));
    EXPECT_EQ(Text(empty), "from nothing");
    text.Append(text);
    EXPECT_EQ(Text(text), "Hough transformHough transform");
}

TEST_F(Strings, AppendingACharacterTakesItsCodeInAnEncoding) {
    qz_string text("caf");
    text.Append(0xE9, kEncodingNarrow);
    EXPECT_EQ(Text(text), "caf\xE9");
    text.Append(0x4E2D, kEncodingUTF16);
    EXPECT_EQ(host().readStringUTF16(text.get()), u"caf\u00E9\u4E2D");
    EXPECT_THROW_MESSAGE(text.Append(0x100, kEncodingNarrow), Failure,
                         "StringAppend: the character code 256 does not fit encoding 0 (at most "
                         "255).");
    EXPECT_THROW_MESSAGE(text.Append(65, 1), Failure,
                         "StringAppend: unknown encoding 1 (0: 8-bit, 2: UTF-16).");
    EXPECT_EQ(Text(text), "caf\xE9?") << "a failed append leaves the reference alone";
}

TEST_F(Strings, CompareConvertAndValidity) {
    EXPECT_EQ(qz_string("abc").Compare(qz_string("abd")), -1);
    EXPECT_EQ(qz_string("abc").Compare(qz_string("abc")), 0);
    EXPECT_EQ(qz_string("abc").Compare(qz_string("ab")), 1);
    EXPECT_EQ(qz_string("B").Compare(qz_string("a")), -1) << "by code, not by case";

    qz_string wide;
    wide.MakeStringUTF16(u"x\u4E2D", 2);
    EXPECT_EQ(host().readStringUTF16(QZ::StringConvertToEncoding(wide, kEncodingNarrow).get()),
              u"x?");
    EXPECT_EQ(host().readStringUTF16(QZ::StringConvertToEncoding(wide, kEncodingUTF16).get()),
              u"x\u4E2D");
    EXPECT_THROW_MESSAGE(QZ::StringConvertToEncoding(wide, 7), Failure,
                         "StringConvertToEncoding: unknown encoding 7 (0: 8-bit, 2: UTF-16).");

    EXPECT_TRUE(wide.IsValid());
    EXPECT_FALSE(qz_string().IsValid());
    TagGroup group = NewGroup();
    qz_string wrong(group.get(), kAdopt);  // borrowed: released below, never counted
    EXPECT_FALSE(wrong.IsValid());
    EXPECT_THROW_MESSAGE(
        wrong.Compare(wide), Failure,
        "StringCompare: " + Hex(group.get()) + " is not a valid string (its kind is TagGroup).");
    EXPECT_THROW_MESSAGE(
        wrong.Append(wide), Failure,
        "StringAppend: the reference holds " + Hex(group.get()) + ", which is not a valid string.");
    wrong.release();
    EXPECT_THROW_MESSAGE(QZ::StringAppend(nullptr, wide), Failure,
                         "StringAppend: no string reference was given (a null pointer).");
}

TEST_F(Strings, EveryStringRowIsAnswered) {
    std::vector<std::string> defined, missing;
    SplitCatalogue(
        host(),
        [](const std::string& name) {
            return StartsWith(name, "String") || name == "GetName" || name == "GetLabel";
        },
        defined, missing);
    EXPECT_EQ(missing, std::vector<std::string>{});
    EXPECT_EQ(defined.size(), 9u);
}

}  // namespace
}  // namespace ModelTest
