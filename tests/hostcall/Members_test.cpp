// The framework's own stubs and the member operations generated from sdk/hostcall/catalogue.txt,
// against the fake host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "FakeHost.h"
#include "hostcall/Stubs.h"

namespace HostcallTest {
namespace {

using namespace Vorna;

// Longs that carry addresses are pointer-wide; the rest of the row's longs are not.
static_assert(
    std::is_same_v<decltype(QZ::GetDataPtr(std::declval<const ImageRef&>())), std::intptr_t>);
static_assert(
    std::is_same_v<decltype(QZ::GetDepth(std::declval<const ImageRef&>())), std::int32_t>);
static_assert(std::is_same_v<decltype(&QZ::RegisterCustomMenu), std::int32_t (*)(std::intptr_t)>);
static_assert(std::is_same_v<decltype(&QZ::RegisterCustomTool),
                             std::int32_t (*)(const char*, std::intptr_t)>);
static_assert(std::is_same_v<decltype(&QZ::UnregisterCustomMenu), void (*)(std::int32_t)>);
// Members that take the reference by value are const.
static_assert(std::is_same_v<decltype(&ImageRef::GetDimensionSize),
                             std::uint32_t (ImageRef::*)(std::uint32_t) const>);

class Members : public ::testing::Test {
  protected:
    FakeHost host;
};

TEST_F(Members, ImageMembersPassTheirOwnHandleFirst) {
    ImageRef image(0x501, kAdopt);
    host.fOnCall = [](ScriptArgRecord* r, std::int32_t) { Store<std::uint32_t>(r[0], 640); };
    EXPECT_EQ(image.GetDimensionSize(1), 640u);
    const RecordedCall& call = host.LastCall();
    EXPECT_EQ(call.signature, "uint32 ImageGetDimensionSize( ImageRef, uint32 )");
    ASSERT_EQ(call.count, 3);
    EXPECT_EQ(Prefix(call.records[1], 4), BytesOf(Handle(0x501)));
    EXPECT_EQ(Prefix(call.records[2], 4), BytesOf(std::uint32_t(1)));
    EXPECT_EQ(host.CountChange(ObjectKind::Image, 0x501), 0);

    host.fOnCall = [](ScriptArgRecord* r, std::int32_t) { r[0].bytes[0] = 1; };
    EXPECT_TRUE(image.IsDataTypeRGB());
    EXPECT_EQ(host.LastCall().signature, "Boolean ImageIsDataTypeRGB( ImageRef )");
}

TEST_F(Members, ScriptObjectLookupMethodOverloadsReachTheirOwnRows) {
    ScriptObject object(0x520, kAdopt);
    Function prototype(0x521, kAdopt);
    host.fOnCall = [](ScriptArgRecord* r, std::int32_t) { Store<Handle>(r[0], 0x522); };
    {
        Function method = object.LookupMethod(prototype);
        EXPECT_EQ(method.get(), 0x522u);
        const RecordedCall& call = host.LastCall();
        EXPECT_EQ(call.signature, "Function ScriptObjectLookupMethod( ScriptObject, Function )");
        ASSERT_EQ(call.count, 3);
        EXPECT_EQ(Prefix(call.records[1], 4), BytesOf(Handle(0x520)));
        EXPECT_EQ(Prefix(call.records[2], 4), BytesOf(Handle(0x521)));
    }
    EXPECT_EQ(host.Releases(ObjectKind::Function, 0x522), 1);

    const char* name = "Run";
    Function named = object.LookupMethod(prototype, name);
    const RecordedCall& call = host.LastCall();
    EXPECT_EQ(call.signature,
              "Function ScriptObjectLookupMethod( ScriptObject, Function, string )");
    ASSERT_EQ(call.count, 4);
    EXPECT_EQ(Prefix(call.records[3], sizeof(void*)), BytesOf(name));
}

TEST(FrameworkCatalogue, LockSignaturesStandAsTheHostResolvesThem) {
    std::vector<std::pair<std::string, std::int32_t>> rows;
    for (std::size_t i = 0; i < QZ::kCatalogueSize; ++i)
        rows.emplace_back(QZ::kCatalogue[i].signature, QZ::kCatalogue[i].recordCount);
    auto has = [&](const std::string& text, std::int32_t count) {
        return std::find(rows.begin(), rows.end(), std::make_pair(text, count)) != rows.end();
    };
    EXPECT_TRUE(has("void *ImageLockData( Image *im, uint32 lock_flags )", 3));
    EXPECT_TRUE(
        has("void *ImageGetLockedData( Image *im, void *locked_data, uint32 des_num_dim, "
            "uint32 *act_num_dim, uint32 *data_type, uint32 *pack_style, long "
            "*dimension_info... )",
            17));
    EXPECT_TRUE(
        has("void ImageUnlockData( Image *im, void *locked_data, uint32 unlock_flags )", 3));
    EXPECT_TRUE(has("long GetDataPtr( ImageRef )", 2));
}

}  // namespace
}  // namespace HostcallTest
