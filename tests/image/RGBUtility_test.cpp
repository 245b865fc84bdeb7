// RGB-to-grey conversions and the grey test, on either host generation.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ImageTestSupport.h"
#include "image/ImageUtility.h"

namespace {

using ImageTest::Assertion;
using ImageTest::kNewerHost;
using ImageTest::LockSignature;
using ImageTest::Message;
using ImageTest::RaisedBy;
using StandIn::ElementType;
using Vorna::ImageRef;

// Six RGB pixels (3 × 2) with their expected grey values; byte 3 is noise that must be ignored.
const std::vector<std::uint8_t> kPixels = {
    255, 255, 254, 17,   // 764 / 3 = 254
    0,   0,   0,   255,  // 0
    1,   1,   0,   9,    // 2 / 3 = 0
    2,   2,   2,   0,    // 2
    255, 255, 255, 255,  // 255
    10,  20,  30,  200,  // 20
};
const std::vector<std::uint8_t> kGrey = {254, 0, 0, 2, 255, 20};

class RGBUtilityTest : public ImageTest::ImageHostTest {
  protected:
    ImageRef Colour() { return MakeImage(ElementType::RGB, {3, 2}, kPixels); }
};

TEST_F(RGBUtilityTest, ConvertMakesAnUnsignedByteImageOfTheMeans) {
    ImageRef source = Colour();
    ImageRef grey = Vorna::ConvertRGBToGray(source);
    StandIn::ImageInfo info = Info(grey);
    EXPECT_EQ(ElementType::UInt8, info.type);
    EXPECT_EQ((std::vector<std::uint32_t>{3, 2}), info.sizes);
    EXPECT_EQ("untitled", info.name);
    EXPECT_EQ(kGrey, info.bytes);
    EXPECT_EQ(1, host().moduleReferences(grey.get()));  // the caller's only
    EXPECT_EQ(0, info.activeLocks);
    EXPECT_EQ(0, Info(source).activeLocks);
    // Only an older host hears of a change, because its unlock always reports one.
    EXPECT_EQ(kNewerHost ? 0 : 1, info.dataChangedCount);
    EXPECT_EQ(2, Calls(LockSignature()));
}

TEST_F(RGBUtilityTest, ConvertIntoWritesTheDestinationAndReportsTheChange) {
    ImageRef source = Colour();
    ImageRef destination = MakeImage(ElementType::UInt8, {3, 2});
    Vorna::ConvertRGBToGrayInto(source, destination);
    StandIn::ImageInfo info = Info(destination);
    EXPECT_EQ(kGrey, info.bytes);
    EXPECT_EQ(kNewerHost ? 1 : 2, info.dataChangedCount);
    EXPECT_EQ(0, info.activeLocks);
    EXPECT_EQ(0, Info(source).activeLocks);
}

TEST_F(RGBUtilityTest, DataTooSmallForTheConversionIsRefusedUntouched) {
    const Vorna::ImageRef source = Colour();
    ImageRef small = MakeImage(ElementType::UInt8, {2, 2});
    EXPECT_EQ(Message("The sub-area is too large for this image data."),
              RaisedBy([&] { Vorna::ConvertRGBToGrayInto(source, small); }));
    EXPECT_EQ(std::vector<std::uint8_t>(4, 0), Info(small).bytes);

    ImageRef bytes = MakeImage(ElementType::UInt8, {3, 2});  // one byte per pixel, not four
    EXPECT_EQ(Message("The sub-area is too large for this image data."),
              RaisedBy([&] { Vorna::ConvertRGBToGray(bytes); }));

    EXPECT_EQ(Message("The sub-area is too large for this image data."),
              RaisedBy([&] { Vorna::ConvertRGBToGrayInto(source, ImageRef()); }));
}

TEST_F(RGBUtilityTest, AHostFailureMidwayLeavesNothingLocked) {
    ImageRef source = Colour();
    host().injectFault(LockSignature(), StandIn::Fault::failure("no second lock").onNthCall(2));
    EXPECT_THROW(Vorna::ConvertRGBToGray(source), Vorna::PlugIn::qzplugin_exception);
    EXPECT_EQ(0, Info(source).activeLocks);

    host().injectFault(ImageTest::kCreateInteger2DImage, StandIn::Fault::failure("no memory"));
    EXPECT_THROW(Vorna::ConvertRGBToGray(source), Vorna::PlugIn::qzplugin_exception);
    EXPECT_EQ(0, Info(source).activeLocks);
}

TEST_F(RGBUtilityTest, GreyTestLooksAtTheThreeChannelsOnly) {
    EXPECT_FALSE(Vorna::IsRGBImageGray(Colour()));

    std::vector<std::uint8_t> grey = {7, 7, 7, 1, 200, 200, 200, 2};
    EXPECT_TRUE(Vorna::IsRGBImageGray(MakeImage(ElementType::RGB, {2}, grey)));

    std::vector<std::uint8_t> channel2 = grey;
    channel2[6] = 201;  // second pixel, byte 2 differs from both others
    EXPECT_FALSE(Vorna::IsRGBImageGray(MakeImage(ElementType::RGB, {2}, channel2)));

    std::vector<std::uint8_t> channel1 = grey;
    channel1[5] = 9;  // byte 1 alone differs
    EXPECT_FALSE(Vorna::IsRGBImageGray(MakeImage(ElementType::RGB, {2}, channel1)));

    std::vector<std::uint8_t> channel0 = grey;
    channel0[0] = 9;  // byte 0 alone differs
    EXPECT_FALSE(Vorna::IsRGBImageGray(MakeImage(ElementType::RGB, {2}, channel0)));
}

TEST_F(RGBUtilityTest, GreyTestOfAnImageThatIsNotRGBIsAnAssertion) {
    ImageRef floats = MakeImage(ElementType::Float32, {2, 2});
    EXPECT_EQ(Assertion("ImageUtility", 486, "QZ::IsRGBDataType( image.get(), 4 )"),
              RaisedBy([&] { Vorna::IsRGBImageGray(floats); }));
    EXPECT_EQ(0, Calls(LockSignature()));
    EXPECT_EQ(1, Calls(ImageTest::kIsRGBDataType));
}

}  // namespace
