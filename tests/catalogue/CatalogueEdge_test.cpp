// The catalogue's awkward rows: empty parameter lists, one name with two result types, an index
// form under the name of a labelled one, and a String function that is no member.
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

#include "SweepSupport.h"
#include "hostcall/StubsDriver.h"

namespace CatalogueTest {
namespace {

using namespace Vorna;

// Whether qz_string has a member ConvertToEncoding taking an encoding.
template <class T, class = void>
struct HasConvertToEncoding : std::false_type {};
template <class T>
struct HasConvertToEncoding<
    T, std::void_t<decltype(std::declval<const T&>().ConvertToEncoding(std::uint32_t{}))>>
    : std::true_type {};

class Edges : public GenericHostTest {};

TEST_F(Edges, EmptyParameterListsAreResolvedWithTheirTwoSpaces) {
    QZ::Beep();
    EXPECT_EQ(lastCall().signature, "void Beep(  )");
    QZ::AbortAllAcquisitionDaemons();
    const StandIn::GenericCall& call = lastCall();
    EXPECT_EQ(call.signature, "void AbortAllAcquisitionDaemons(  )");
    EXPECT_EQ(call.recordCount, 0u);
    EXPECT_TRUE(call.nullRecords) << "no records and a null record pointer";
    EXPECT_EQ(host().resolveCount("void AbortAllAcquisitionDaemons(  )"), 1);
    EXPECT_EQ(host().resolveCount("void AbortAllAcquisitionDaemons( )"), 0);
    EXPECT_EQ(host().resolveCount("void AbortAllAcquisitionDaemons()"), 0);

    // A result and no parameters: one record.
    std::int16_t key = QZ::fngetkey();
    EXPECT_EQ(lastCall().signature, "short fngetkey(  )");
    EXPECT_EQ(lastCall().recordCount, 1u);
    EXPECT_FALSE(lastCall().nullRecords);
    std::int16_t expected;
    std::memcpy(&expected, lastCall().result.data(), sizeof expected);
    EXPECT_EQ(key, expected);
}

TEST_F(Edges, TheTwoGetFrontImageRowsKeepCachedHandlesOfTheirOwn) {
    const std::string byResult = "ImageRef GetFrontImage(  )";
    const std::string byOutParameter = "Boolean GetFrontImage( ImageRef * )";
    for (int round = 0; round < 2; ++round) {
        ImageRef front = QZ::GetFrontImage();
        EXPECT_EQ(lastCall().signature, byResult);
        EXPECT_EQ(host().kindOf(front.get()), StandIn::ObjectKind::Image);
        ImageRef into;
        bool found = QZ::GetFrontImage(&into);
        EXPECT_EQ(lastCall().signature, byOutParameter);
        EXPECT_EQ(found, lastCall().result[0] != 0);
        EXPECT_EQ(into.get(), lastCall().params[0].handle);
        EXPECT_NE(into.get(), front.get());
    }
    EXPECT_EQ(host().resolveCount(byResult), 1);
    EXPECT_EQ(host().resolveCount(byOutParameter), 1);
    std::vector<Vorna::Handle> first = CallHandles(host(), byResult);
    std::vector<Vorna::Handle> second = CallHandles(host(), byOutParameter);
    ASSERT_GE(first.size(), 2u);
    ASSERT_GE(second.size(), 2u);
    EXPECT_EQ(first.front(), first.back()) << "one cached handle per row";
    EXPECT_EQ(second.front(), second.back());
    EXPECT_NE(first.back(), second.back()) << "and not shared between the overloads";
}

TEST_F(Edges, TheIndexFormOfGetTagAsRGBUInt16IsAnOverloadOfTheLabelledMember) {
    Vorna::Handle group = host().makeObject(StandIn::ObjectKind::TagGroup);
    TagGroup tags(group);
    std::uint16_t r = 1, g = 2, b = 3;

    bool byIndex = tags.GetTagAsRGBUInt16(std::int32_t{7}, &r, &g, &b);
    const StandIn::GenericCall& indexed = lastCall();
    EXPECT_EQ(indexed.signature,
              "Boolean TagGroupGetTagAsRGBUInt16( TagGroup, long, uint16 *, uint16 *, uint16 * )");
    ASSERT_EQ(indexed.params.size(), 5u);
    EXPECT_EQ(indexed.params[0].handle, group);
    std::int32_t index;
    std::memcpy(&index, indexed.params[1].record.data(), sizeof index);
    EXPECT_EQ(index, 7);
    EXPECT_EQ(byIndex, indexed.result[0] != 0);
    std::uint16_t written;
    std::memcpy(&written, indexed.params[2].written.data(), sizeof written);
    EXPECT_EQ(r, written);

    bool byLabel = tags.GetTagAsRGBUInt16("Colour", &r, &g, &b);
    const StandIn::GenericCall& labelled = lastCall();
    EXPECT_EQ(
        labelled.signature,
        "Boolean TagGroupGetTagAsRGBUInt16( TagGroup, string, uint16 *, uint16 *, uint16 * )");
    EXPECT_EQ(labelled.params[1].text, "Colour");
    EXPECT_EQ(byLabel, labelled.result[0] != 0);
    host().drop(group);
}

TEST_F(Edges, StringConvertToEncodingIsAStubAndNoMember) {
    static_assert(!HasConvertToEncoding<qz_string>::value, "no member of qz_string");
    static_assert(std::is_same_v<decltype(&QZ::StringConvertToEncoding),
                                 qz_string (*)(const qz_string&, std::uint32_t)>);
    for (std::size_t i = 0; i < QZDriver::kDriverRowCount; ++i) {
        if (std::strcmp(QZDriver::kDriverRows[i].memberOf, "") == 0) continue;
        EXPECT_STRNE(QZDriver::kDriverRows[i].signature,
                     "qz_string StringConvertToEncoding( qz_string, ulong )");
    }

    qz_string text("text");
    qz_string converted = QZ::StringConvertToEncoding(text, 2);
    EXPECT_EQ(lastCall().signature, "qz_string StringConvertToEncoding( qz_string, ulong )");
    EXPECT_EQ(host().kindOf(converted.get()), StandIn::ObjectKind::String);
    EXPECT_EQ(host().readString(converted.get()), "StringConvertToEncoding");
}

TEST_F(Edges, AppendWorksOnTheStringInPlace) {
    qz_string text("start");
    Vorna::Handle before = text.get();
    qz_string result = text.Append(3u, 4u);
    const StandIn::GenericCall& call = lastCall();
    EXPECT_EQ(call.signature, "qz_string StringAppend( qz_string *, ulong, ulong )");
    Vorna::Handle found;
    std::memcpy(&found, call.params[0].found.data(), sizeof found);
    EXPECT_EQ(found, before) << "the host got the address of the reference's handle word";
    EXPECT_EQ(text.get(), call.params[0].handle) << "and the reference holds what it stored";
    EXPECT_FALSE(host().isAlive(before)) << "the replaced string's one count went back";
    EXPECT_EQ(host().moduleReferences(text.get()), 1);
    EXPECT_EQ(host().moduleReferences(result.get()), 1);
}

}  // namespace
}  // namespace CatalogueTest
