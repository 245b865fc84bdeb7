// Locking on a host that locks through "ImageLockData" and its companions (0x03040400 on).
#include <gtest/gtest.h>

#include <cstdint>

#include "ImageTestSupport.h"
#include "image/ImageDataLock.h"

namespace {

using ImageTest::kImageGetLockedData;
using ImageTest::kImageLockData;
using ImageTest::kImageUnlockData;
using ImageTest::Message;
using ImageTest::RaisedBy;
using ImageTest::ScopedNative;
using StandIn::ElementType;
using Vorna::ImageDataLock;
using Vorna::ImageRef;

static_assert(ImageTest::kNewerHost, "this file runs against the newer host generation");

class NewerHostLockTest : public ImageTest::ImageHostTest {};

TEST_F(NewerHostLockTest, TheHostLearnsWhetherTheDataChanged) {
    ImageRef image = MakeImage(ElementType::Float32, {3, 3});
    {
        ImageDataLock lock(image);
        lock.MarkChanged();
        EXPECT_TRUE(lock.IsChanged());
    }
    { ImageDataLock untouched(image); }
    StandIn::ImageInfo info = Info(image);
    EXPECT_EQ(1, info.unlocksMarkedChanged);
    EXPECT_EQ(1, info.unlocksMarkedUnchanged);
    EXPECT_EQ(0, info.dataChangedCount);
    EXPECT_EQ(0, Calls(ImageTest::kGetDataPtr));
}

TEST_F(NewerHostLockTest, TheLockFlagsAndTheDescriptionRequestReachTheHost) {
    ImageRef image = MakeImage(ElementType::UInt16, {4, 2});
    std::uint32_t flags = 0;
    ScopedNative lockWatch(
        host(), kImageLockData,
        [&flags](StandIn::NativeCall& call, const StandIn::NativeHandler& original) {
            flags = call.uint32(1);
            original(call);
        });
    std::uint32_t asked[4] = {};
    ScopedNative describeWatch(
        host(), kImageGetLockedData,
        [&asked](StandIn::NativeCall& call, const StandIn::NativeHandler& original) {
            asked[0] = call.uint32(2);
            asked[1] = *call.pointerTo<std::uint32_t>(3);
            asked[2] = *call.pointerTo<std::uint32_t>(4);
            asked[3] = *call.pointerTo<std::uint32_t>(5);
            original(call);
        });
    ImageDataLock lock(image, 2);
    EXPECT_EQ(2u, flags);
    EXPECT_EQ(2u, lock.LockFlags());
    EXPECT_EQ(5u, asked[0]);  // dimensions wanted
    EXPECT_EQ(5u, asked[1]);  // preset count
    EXPECT_EQ(0u, asked[2]);  // preset type
    EXPECT_EQ(0u, asked[3]);  // preset pack style
    EXPECT_EQ(static_cast<std::uint32_t>(ElementType::UInt16), lock.DataType());
    EXPECT_EQ(2, lock.Stride(0));
    EXPECT_EQ(8, lock.Stride(1));
}

TEST_F(NewerHostLockTest, TooManyDimensionsGivesTheHostLockBack) {
    ImageRef image = MakeImage(ElementType::UInt8, {2, 2});
    struct ReportedCount {
        StandIn::Host& host;
        ~ReportedCount() { host.setReportedDimensionCount(0); }
    } restore{host()};
    host().setReportedDimensionCount(6);

    ImageDataLock lock(ImageRef(), Vorna::kLockContiguous);
    EXPECT_EQ(Message("Too many dimensions."), RaisedBy([&] { lock.Lock(image); }));
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_TRUE(lock.Image().empty());
    EXPECT_EQ(nullptr, lock.Data());
    EXPECT_EQ(0u, lock.DimensionCount());
    EXPECT_EQ(0, Info(image).activeLocks);
    EXPECT_EQ(1, Calls(kImageUnlockData));
    EXPECT_EQ(1, Info(image).unlocksMarkedUnchanged);

    host().setReportedDimensionCount(5);  // at the capacity: accepted
    lock.Lock(image);
    EXPECT_EQ(5u, lock.DimensionCount());
    EXPECT_EQ(2u, lock.Size(1));
    EXPECT_EQ(1u, lock.Size(4));
}

}  // namespace
