// The image data lock against the stand-in host. This file runs in one executable per host
// generation; the expectations hold for both.
#include "image/ImageDataLock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "ImageTestSupport.h"
#include "hostcall/Stubs.h"
#include "shell/PlugInMain.h"

namespace {

using ImageTest::Assertion;
using ImageTest::kNewerHost;
using ImageTest::LockSignature;
using ImageTest::Message;
using ImageTest::RaisedBy;
using ImageTest::ScopedNative;
using ImageTest::UnlockSignature;
using StandIn::ElementType;
using Vorna::ImageDataLock;
using Vorna::ImageRef;
using Vorna::SubArea;

const char* const kLockAssertion =
    "(*PlugInMain::GetCallbacks().lock_image_data)( image.get(), fLockFlags, fLockData )";

class ImageDataLockTest : public ImageTest::ImageHostTest {
  protected:
    // A 5 × 4 image of bytes.
    ImageRef Bytes5x4() { return MakeImage(ElementType::UInt8, {5, 4}); }

    void ExpectWholeImage(const ImageDataLock& lock, const ImageRef& image) {
        StandIn::ImageInfo info = Info(image);
        EXPECT_TRUE(lock.IsLocked());
        EXPECT_EQ(image, lock.Image());
        EXPECT_EQ(host().imageData(image.get()), lock.Data());
        ASSERT_EQ(info.sizes.size(), lock.DimensionCount());
        std::int32_t stride = static_cast<std::int32_t>(StandIn::elementSize(info.type));
        for (std::uint32_t d = 0; d < lock.DimensionCount(); ++d) {
            EXPECT_EQ(info.sizes[d], lock.Size(d)) << "dimension " << d;
            EXPECT_EQ(stride, lock.Stride(d)) << "dimension " << d;
            stride *= static_cast<std::int32_t>(info.sizes[d]);
        }
    }
};

TEST_F(ImageDataLockTest, TheTableMatchesTheHostGeneration) {
    const Vorna::PlugIn::PlugInCallbacks& table = Vorna::PlugIn::PlugInMain::GetCallbacks();
    EXPECT_EQ(ImageTest::kHostVersion, host().version());
    if (kNewerHost) {
        EXPECT_EQ(&Vorna::PlugIn::LockImageData, table.lock_image_data);
        EXPECT_EQ(&Vorna::PlugIn::GetLockedImageData, table.get_locked_image_data);
        EXPECT_EQ(&Vorna::PlugIn::UnlockImageData, table.unlock_image_data);
    } else {
        EXPECT_EQ(&Vorna::PlugIn::LockImageDataOlder, table.lock_image_data);
        EXPECT_EQ(&Vorna::PlugIn::GetLockedImageDataOlder, table.get_locked_image_data);
        EXPECT_EQ(&Vorna::PlugIn::UnlockImageDataOlder, table.unlock_image_data);
    }
}

TEST_F(ImageDataLockTest, LocksAThreeDimensionalImageWithItsStrides) {
    std::vector<float> values(10 * 20 * 30, 0.5f);
    StandIn::ImageSpec spec{ElementType::Float32, {10, 20, 30}, "volume", false};
    Vorna::Handle handle = host().createImage(spec, values);
    ImageRef image(handle);
    {
        ImageDataLock lock(image);
        EXPECT_EQ(1, Info(image).activeLocks);
        EXPECT_EQ(3u, lock.DimensionCount());
        EXPECT_EQ(static_cast<std::uint32_t>(ElementType::Float32), lock.DataType());
        EXPECT_EQ(10u, lock.Size(0));
        EXPECT_EQ(20u, lock.Size(1));
        EXPECT_EQ(30u, lock.Size(2));
        EXPECT_EQ(4, lock.Stride(0));
        EXPECT_EQ(40, lock.Stride(1));
        EXPECT_EQ(800, lock.Stride(2));
        EXPECT_EQ(0.5f, lock.Data<float>()[10 * 20 * 30 - 1]);
        EXPECT_EQ(1, Calls(LockSignature()));
    }
    EXPECT_EQ(0, Info(image).activeLocks);
    EXPECT_EQ(1, Calls(UnlockSignature()));
    host().drop(handle);
}

TEST_F(ImageDataLockTest, AnInvalidImageIsNeitherLockedNorUnlocked) {
    ImageRef image = Bytes5x4();
    {
        ImageDataLock lock{ImageRef()};
        EXPECT_FALSE(lock.IsLocked());
        EXPECT_EQ(nullptr, lock.Data());
        EXPECT_EQ(0u, lock.DimensionCount());
        lock.LockSlice(ImageRef(), 0, 7);  // stops quietly
        EXPECT_EQ(0u, lock.DimensionCount());
        EXPECT_EQ(0, Calls(LockSignature()));

        lock.Lock(image);
        lock.Lock(ImageRef());  // gives the image back, keeps the view's last values
        EXPECT_FALSE(lock.IsLocked());
        EXPECT_TRUE(lock.Image().empty());
        EXPECT_EQ(host().imageData(image.get()), lock.Data());
        EXPECT_EQ(5u, lock.Size(0));
    }
    EXPECT_EQ(1, Calls(LockSignature()));
    EXPECT_EQ(1, Calls(UnlockSignature()));
}

TEST_F(ImageDataLockTest, HoldingMovingAndReturningALock) {
    ImageRef first = Bytes5x4();
    ImageRef second = MakeImage(ElementType::Int16, {7});
    ImageDataLock lock(first);
    const int before = host().hostCallCount();
    lock.Lock(first);
    lock.Lock(ImageRef(first.get()));  // another reference to the held image
    EXPECT_EQ(before, host().hostCallCount());

    lock.MarkChanged();
    lock.Lock(second);
    EXPECT_EQ(0, Info(first).activeLocks);
    EXPECT_EQ(1, Info(second).activeLocks);
    ExpectWholeImage(lock, second);
    EXPECT_FALSE(lock.IsChanged());                       // a new lock starts unchanged
    EXPECT_EQ(2, host().moduleReferences(second.get()));  // the test's and the lock's
    EXPECT_EQ(1, host().moduleReferences(first.get()));

    lock.Unlock();
    lock.Unlock();
    EXPECT_EQ(2, Calls(UnlockSignature()));
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_TRUE(lock.Image().empty());
    EXPECT_EQ(1, host().moduleReferences(second.get()));
    EXPECT_EQ(host().imageData(second.get()), lock.Data());  // the view keeps its last values
}

// ---- Slices and sub-areas --------------------------------------------------------------------

TEST_F(ImageDataLockTest, SlicesRemoveTheirDimension) {
    ImageRef image = Bytes5x4();
    auto* base = static_cast<std::uint8_t*>(host().imageData(image.get()));
    ImageDataLock row(ImageRef(), Vorna::kLockContiguous);
    row.LockSlice(image, 1, 3);
    EXPECT_EQ(1u, row.DimensionCount());
    EXPECT_EQ(base + 15, row.Data());
    EXPECT_EQ(5u, row.Size(0));

    ImageDataLock column(ImageRef(), Vorna::kLockContiguous);
    column.LockSlice(image, 0, 4);
    EXPECT_EQ(1u, column.DimensionCount());
    EXPECT_EQ(base + 4, column.Data());
    EXPECT_EQ(4u, column.Size(0));  // dimension 1 moved down
    EXPECT_EQ(5, column.Stride(0));

    ImageRef volume = MakeImage(ElementType::UInt8, {2, 3, 4});
    auto* volumeBase = static_cast<std::uint8_t*>(host().imageData(volume.get()));
    ImageDataLock lock(volume);
    lock.LockSlice(volume, 2, 3);  // plane 3: 2 × 3
    lock.LockSlice(volume, 1, 2);  // a second slice of the held image: row 2 of that plane
    EXPECT_EQ(1u, lock.DimensionCount());
    EXPECT_EQ(volumeBase + 3 * 6 + 2 * 2, lock.Data());
    EXPECT_EQ(1, Info(volume).activeLocks);
}

TEST_F(ImageDataLockTest, SliceBeyondTheDimensionsAndItsFailures) {
    ImageRef image = Bytes5x4();
    ImageDataLock lock(image);
    lock.LockSlice(image, 2, 0);  // dimension 2 has the one index 0: nothing changes
    ExpectWholeImage(lock, image);
    for (auto [dimension, index] : {std::pair{2u, 1u}, {1u, 4u}, {0u, 0xFFFFFFFFu}}) {
        EXPECT_EQ(Message("Not enough dimensions."),
                  RaisedBy([&] { lock.LockSlice(image, dimension, index); }));
        ExpectWholeImage(lock, image);
    }
}

TEST_F(ImageDataLockTest, SubAreas) {
    ImageRef image = Bytes5x4();
    auto* base = static_cast<std::uint8_t*>(host().imageData(image.get()));
    ImageDataLock lock(image);
    const SubArea area{1, 2, 3, 5};  // rows 1-2, columns 2-4
    lock.LockSubArea(image, &area);
    EXPECT_EQ(base + 1 * 5 + 2, lock.Data());
    EXPECT_EQ(3u, lock.Size(0));
    EXPECT_EQ(2u, lock.Size(1));
    EXPECT_EQ(5, lock.Stride(1));

    ImageDataLock whole(ImageRef(), Vorna::kLockContiguous);
    whole.LockSubArea(image, nullptr);
    ExpectWholeImage(whole, image);
    const SubArea all{0, 0, 4, 5};
    whole.LockSubArea(image, &all);
    ExpectWholeImage(whole, image);

    ImageRef line = MakeImage(ElementType::Int32, {6});
    ImageDataLock wholeLine(line);
    const SubArea allOfLine{0, 0, 1, 6};
    wholeLine.LockSubArea(line, &allOfLine);
    ExpectWholeImage(wholeLine, line);
    ImageDataLock part(ImageRef(), Vorna::kLockContiguous);
    const SubArea middle{0, 2, 1, 5};
    part.LockSubArea(line, &middle);
    EXPECT_EQ(static_cast<std::uint8_t*>(host().imageData(line.get())) + 2 * 4, part.Data());
    EXPECT_EQ(3u, part.Size(0));
}

TEST_F(ImageDataLockTest, SubAreaFailuresLeaveTheWholeImageLocked) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const char* const kEmpty = "The sub area must be non-empty.";
    const char* const kTooLarge = "The sub-area is too large for this image data.";
    struct Case {
        std::vector<std::uint32_t> sizes;
        SubArea area;
        const char* message;
    };
    const Case cases[] = {
        {{6}, {0, 0, 2, 6}, kTooLarge},     // a line is one row high
        {{6}, {0, 0, 1, 7}, kTooLarge},     // past the end
        {{6}, {0, -1, 1, 3}, kTooLarge},    // before the start
        {{6}, {0, 3, 1, 3}, kEmpty},        // no columns
        {{5, 4}, {2, 0, 2, 5}, kEmpty},     // no rows
        {{5, 4}, {3, 0, 1, 5}, kEmpty},     // upside down
        {{5, 4}, {0, 0, 5, 5}, kTooLarge},  // one row too many
        {{5, 4}, {-1, 0, 2, 5}, kTooLarge},
        {{5, 4}, {0, 0, 4, 6}, kTooLarge},
        {{5, 4}, {0, kMin, 1, kMax}, kTooLarge},  // width beyond 32 bits
        {{5, 4}, {kMax, 0, kMin, 1}, kEmpty},     // height wraps negative in 32 bits
        {{5, 4}, {kMin, 0, kMax, 1}, kTooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.area.top << " " << c.area.left << " "
                                          << c.area.bottom << " " << c.area.right);
        ImageRef image = MakeImage(ElementType::UInt8, c.sizes);
        ImageDataLock lock(ImageRef(), Vorna::kLockContiguous);
        EXPECT_EQ(Message(c.message), RaisedBy([&] { lock.LockSubArea(image, &c.area); }));
        ExpectWholeImage(lock, image);
    }
}

// ---- Failures while locking and unlocking -------------------------------------------------

TEST_F(ImageDataLockTest, ARefusedLockIsAnAssertionAndLeavesTheLockEmpty) {
    ImageRef held = Bytes5x4();
    ImageRef refused = Bytes5x4();
    ImageDataLock lock(held);
    {
        ScopedNative refuse(host(), LockSignature(), [](StandIn::NativeCall& call, auto&) {
            if (kNewerHost) {
                call.setResultPointer(nullptr);
            } else {
                call.setResult<std::intptr_t>(0);
            }
        });
        EXPECT_EQ(Assertion("ImageUtility", 325, kLockAssertion),
                  RaisedBy([&] { lock.Lock(refused); }));
        // The host's text for it is the same.
        EXPECT_THROW_MESSAGE(ImageDataLock failed(refused), Vorna::vorna_exception,
                             Assertion("ImageUtility", 325, kLockAssertion).text);
    }
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_TRUE(lock.Image().empty());
    EXPECT_EQ(0, Info(held).activeLocks);  // unlocked before the attempt
    EXPECT_EQ(1, host().moduleReferences(refused.get()));
    EXPECT_EQ(1, host().moduleReferences(held.get()));
}

TEST_F(ImageDataLockTest, AFailedDescriptionGivesTheHostLockBack) {
    ImageRef image = MakeImage(ElementType::UInt8, {5, 4, 3});
    const char* describe =
        kNewerHost ? ImageTest::kImageGetLockedData : ImageTest::kImageGetDimensionSize;
    host().injectFault(describe,
                       StandIn::Fault::failure("cannot describe").onNthCall(kNewerHost ? 1 : 3));
    ImageDataLock lock(ImageRef(), Vorna::kLockContiguous);
    EXPECT_THROW(lock.Lock(image), Vorna::PlugIn::qzplugin_exception);
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_EQ(0, Info(image).activeLocks);
    EXPECT_EQ(nullptr, lock.Data());  // the view was not half written
    EXPECT_EQ(0u, lock.DimensionCount());
    EXPECT_EQ(1, host().moduleReferences(image.get()));
}

TEST_F(ImageDataLockTest, AFailedUnlockKeepsTheLockForAnotherTry) {
    ImageRef image = Bytes5x4();
    ImageDataLock lock(image);
    host().injectFault(UnlockSignature(), StandIn::Fault::failure("not now"));
    EXPECT_THROW(lock.Unlock(), Vorna::PlugIn::qzplugin_exception);
    EXPECT_TRUE(lock.IsLocked());
    EXPECT_EQ(1, Info(image).activeLocks);
    lock.Unlock();
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_EQ(0, Info(image).activeLocks);
}

TEST_F(ImageDataLockTest, ARefusedUnlockWhileMovingKeepsTheOldLock) {
    ImageRef first = Bytes5x4();
    ImageRef second = Bytes5x4();
    ImageDataLock lock(first);
    host().injectFault(UnlockSignature(), StandIn::Fault::failure("not now"));
    EXPECT_THROW(lock.Lock(second), Vorna::PlugIn::qzplugin_exception);
    EXPECT_EQ(first, lock.Image());
    EXPECT_EQ(0, Info(second).activeLocks);
    lock.Lock(second);
    EXPECT_EQ(0, Info(first).activeLocks);
    EXPECT_EQ(1, Info(second).activeLocks);
}

TEST_F(ImageDataLockTest, DestructionSwallowsAFailedUnlock) {
    ImageRef image = Bytes5x4();
    void* token = nullptr;  // the newer host's token, to give the lock back by hand below
    ScopedNative watch(host(), ImageTest::kImageGetLockedData,
                       [&token](StandIn::NativeCall& call, const StandIn::NativeHandler& original) {
                           token = call.pointer(1);
                           original(call);
                       });
    auto lock = std::make_unique<ImageDataLock>(image);
    host().injectFault(UnlockSignature(), StandIn::Fault::failure("not now"));
    EXPECT_NO_THROW(lock.reset());
    EXPECT_EQ(1, host().moduleReferences(image.get()));  // the lock's count went all the same

    ASSERT_EQ(1, Info(image).activeLocks);
    if (kNewerHost)
        Vorna::QZ::ImageUnlockData(image.get(), token, 0);
    else
        Vorna::QZ::ReleaseDataPtr(image);
}

}  // namespace
