// Locking on an older host, which only lends a pointer to contiguous data (before 0x03040400).
#include <gtest/gtest.h>

#include <cstdint>

#include "ImageTestSupport.h"
#include "image/ImageDataLock.h"

namespace {

using ImageTest::kGetDataPtr;
using ImageTest::kImageDataChanged;
using ImageTest::kImageGetDimensionSize;
using ImageTest::kImageGetNumDimensions;
using ImageTest::kReleaseDataPtr;
using ImageTest::Message;
using ImageTest::RaisedBy;
using ImageTest::ScopedNative;
using StandIn::ElementType;
using Vorna::ImageDataLock;
using Vorna::ImageRef;

static_assert(!ImageTest::kNewerHost, "this file runs against the older host generation");

class OlderHostLockTest : public ImageTest::ImageHostTest {};

TEST_F(OlderHostLockTest, OnlyContiguousDataCanBeLocked) {
    ImageRef image = MakeImage(ElementType::UInt8, {3});
    for (std::uint32_t flags : {0u, 2u, 3u}) {
        ImageDataLock lock(ImageRef(), flags);
        EXPECT_EQ(Message("Only contiguous data supported for QZ343 and earlier."),
                  RaisedBy([&] { lock.Lock(image); }))
            << "flags " << flags;
        EXPECT_FALSE(lock.IsLocked());
        EXPECT_TRUE(lock.Image().empty());
    }
    EXPECT_EQ(0, Calls(kGetDataPtr));
    EXPECT_EQ(1, host().moduleReferences(image.get()));
}

TEST_F(OlderHostLockTest, TheHostIsAlwaysToldTheDataChanged) {
    ImageRef image = MakeImage(ElementType::Int16, {3, 5, 2});
    {
        ImageDataLock lock(image);
        EXPECT_EQ(2, lock.Stride(0));
        EXPECT_EQ(6, lock.Stride(1));
        EXPECT_EQ(30, lock.Stride(2));
    }
    StandIn::ImageInfo info = Info(image);
    EXPECT_EQ(1, info.dataChangedCount);
    EXPECT_EQ(1, Calls(kReleaseDataPtr));
    EXPECT_EQ(0, Calls(ImageTest::kImageLockData));
}

TEST_F(OlderHostLockTest, MoreThanFiveDimensionsAreRefusedBeforeTheViewIsWritten) {
    ImageRef image = MakeImage(ElementType::UInt8, {2, 2});
    ImageDataLock lock(ImageRef(), Vorna::kLockContiguous);
    {
        ScopedNative six(host(), kImageGetNumDimensions, [](StandIn::NativeCall& call, auto&) {
            call.setResult<std::uint32_t>(6);
        });
        EXPECT_EQ(Message("Too many dimensions."), RaisedBy([&] { lock.Lock(image); }));
    }
    EXPECT_EQ(0, Calls(kImageGetDimensionSize));
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_EQ(nullptr, lock.Data());
    EXPECT_EQ(0u, lock.DimensionCount());
    EXPECT_EQ(0, Info(image).activeLocks);  // the data pointer went back
    EXPECT_EQ(1, Calls(kReleaseDataPtr));
    EXPECT_EQ(1, Calls(kImageDataChanged));
}

}  // namespace
