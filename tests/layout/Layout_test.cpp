// The records the host reads, seen as the host sees them: raw bytes at fixed offsets. The offsets
// themselves are pinned at compile time (shell/Layout.h, included here as well); these tests check
// that the framework really hands the host the fields at those offsets.
//
// The lock's three host entries are this test's own (a callbacks provider, which the framework
// asks because the host is older than the callbacks table), so they can note the addresses the
// lock passes and what lies at them.
#include "shell/Layout.h"

#include <gtest/gtest.h>

#include <cstring>

#include "LinkedHost.h"
#include "image/ImageDataLock.h"
#include "shell/PlugInMain.h"

namespace {

using Vorna::Handle;
using Vorna::ImageDataLock;
using Vorna::ImageLockToken;
using Vorna::LayoutCheck;

// A host of the generation before the callbacks table: the framework takes the provider's.
[[maybe_unused]] const bool sVersionChosen =
    (TestSupport::SetHostVersionForProcess(0x03030100u), true);

struct LockTrace {
    Handle image = 0;
    std::uint32_t flags = 0;
    const ImageLockToken* lockToken = nullptr;
    const Vorna::DataView* describedView = nullptr;
    const ImageLockToken* unlockToken = nullptr;
    bool changed = false;
    int locks = 0;
    int unlocks = 0;
};
LockTrace sTrace;
float sPixels[6] = {1, 2, 3, 4, 5, 6};
int sTokenValue = 0;

bool TraceLock(Handle image, std::uint32_t flags, ImageLockToken* token) {
    sTrace.image = image;
    sTrace.flags = flags;
    sTrace.lockToken = token;
    token->fToken = &sTokenValue;
    ++sTrace.locks;
    return true;
}

void TraceDescribe(Handle, ImageLockToken*, Vorna::DataView* view) {
    sTrace.describedView = view;
    view->fData = sPixels;
    view->fDimensionCount = 2;
    view->fDataType = 1;
    view->fDimensions[0] = {3, 4};
    view->fDimensions[1] = {2, 12};
}

void TraceUnlock(Handle, ImageLockToken* token, bool changed) {
    sTrace.unlockToken = token;
    sTrace.changed = changed;
    ++sTrace.unlocks;
}

const Vorna::PlugIn::PlugInCallbacks* TracingCallbacks() {
    static const Vorna::PlugIn::PlugInCallbacks table = {nullptr,    nullptr,        nullptr,
                                                         nullptr,    nullptr,        nullptr,
                                                         &TraceLock, &TraceDescribe, &TraceUnlock};
    return &table;
}

template <class T>
T At(const void* record, std::size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof(T));
    return value;
}

class LayoutTest : public TestSupport::LinkedHostTest {
  protected:
    void SetUp() override {
        LinkedHostTest::SetUp();
        Vorna::SetCallbacksProvider(&TracingCallbacks);
        sTrace = LockTrace{};
    }
};

TEST_F(LayoutTest, TheLockHandsTheHostItsRecordAndViewAtTheirOffsets) {
    const Handle image = host().createImage({StandIn::ElementType::Float32, {3, 2}, "pixels"});
    {
        ImageDataLock lock(Vorna::ImageRef(image), 0x5A0001u);
        const auto* base = reinterpret_cast<const unsigned char*>(&lock);
        ASSERT_EQ(1, sTrace.locks);
        EXPECT_EQ(image, sTrace.image);
        EXPECT_EQ(0x5A0001u, sTrace.flags);
        // The view is the lock's first part; the host's record lies where the layout says.
        EXPECT_EQ(base, reinterpret_cast<const unsigned char*>(sTrace.describedView));
        EXPECT_EQ(base + LayoutCheck::kLockData,
                  reinterpret_cast<const unsigned char*>(sTrace.lockToken));
        // What the host wrote into its record's second word is the token that comes back.
        EXPECT_EQ(static_cast<void*>(&sTokenValue),
                  At<void*>(base, LayoutCheck::kLockData + Vorna::LayoutDetail::kWord));
        // The fields behind the view, read as raw bytes.
        EXPECT_EQ(image, At<Handle>(base, LayoutCheck::kImage));
        EXPECT_EQ(0x5A0001u, At<std::uint32_t>(base, LayoutCheck::kLockFlags));
        EXPECT_EQ(1, At<std::uint8_t>(base, LayoutCheck::kLocked));
        EXPECT_EQ(0, At<std::uint8_t>(base, LayoutCheck::kChanged));
        // The view as the host described it, field by field.
        EXPECT_EQ(static_cast<void*>(sPixels), At<void*>(base, 0));
        EXPECT_EQ(2u, At<std::uint32_t>(base, Vorna::LayoutDetail::kWord));
        EXPECT_EQ(1u, At<std::uint32_t>(base, Vorna::LayoutDetail::kWord + 4));
        EXPECT_EQ(3u, At<std::uint32_t>(base, Vorna::LayoutDetail::kWord + 8));
        EXPECT_EQ(4, At<std::int32_t>(base, Vorna::LayoutDetail::kWord + 12));
        EXPECT_EQ(2u, At<std::uint32_t>(base, Vorna::LayoutDetail::kWord + 16));
        EXPECT_EQ(12, At<std::int32_t>(base, Vorna::LayoutDetail::kWord + 20));
        EXPECT_EQ(2u, lock.Size(1));

        lock.MarkChanged();
        EXPECT_EQ(1, At<std::uint8_t>(base, LayoutCheck::kChanged));
        EXPECT_EQ(1, At<std::uint8_t>(base, LayoutCheck::kLocked));
        lock.Unlock();
        EXPECT_EQ(1, sTrace.unlocks);
        EXPECT_TRUE(sTrace.changed);
        EXPECT_EQ(base + LayoutCheck::kLockData,
                  reinterpret_cast<const unsigned char*>(sTrace.unlockToken));
        EXPECT_EQ(0, At<std::uint8_t>(base, LayoutCheck::kLocked));
        EXPECT_EQ(0u, At<Handle>(base, LayoutCheck::kImage)) << "the image is let go with the lock";
    }
    EXPECT_EQ(1, sTrace.unlocks) << "nothing is unlocked twice";
    host().drop(image);
}

TEST(RecordBytes, ErrorRecordHoldsTheCodeThenTheDatum) {
    Vorna::HostErrorRecord record{};
    static const char text[] = "Not found!";
    record.code = 28803;
    record.datum = reinterpret_cast<Vorna::ErrorDatum>(text);
    EXPECT_EQ(28803, At<std::int32_t>(&record, 0));
    EXPECT_EQ(static_cast<const void*>(text), At<const void*>(&record, Vorna::LayoutDetail::kWord));
#if UINTPTR_MAX == 0xFFFFFFFFu
    EXPECT_EQ(8u, sizeof record);
#endif
}

TEST(RecordBytes, ArgumentRecordsAreSixteenBytesApartWithTheValueFirst) {
    Vorna::ScriptArgRecord records[3] = {};
    const double value = 2.5;
    std::memcpy(records[1].bytes, &value, sizeof value);
    EXPECT_EQ(2.5, At<double>(records, 16));
    EXPECT_EQ(reinterpret_cast<unsigned char*>(records) + 32, records[2].bytes);
}

}  // namespace
