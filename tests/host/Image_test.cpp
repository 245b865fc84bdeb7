// Images: creation and read-back, the query functions, and both generations of data locking.
#include <gtest/gtest.h>

#include "HostTestSupport.h"

using namespace StandIn;
using StandInTest::ModuleSide;
using StandInTest::Records;

namespace {

const char* const kLock = "void *ImageLockData( Image *im, uint32 lock_flags )";
const char* const kGetLocked =
    "void *ImageGetLockedData( Image *im, void *locked_data, uint32 des_num_dim, uint32 "
    "*act_num_dim, "
    "uint32 *data_type, uint32 *pack_style, long *dimension_info... )";
const char* const kUnlock =
    "void ImageUnlockData( Image *im, void *locked_data, uint32 unlock_flags )";

class Images : public ::testing::Test {
  protected:
    // Calls a "T f( ImageRef )" query and answers record 0.
    template <typename T>
    T query(const char* signature, Vorna::Handle image, std::int32_t* status = nullptr) {
        Records r(2);
        r.set<Vorna::Handle>(1, image);
        std::int32_t s = module.call(signature, r);
        if (status) *status = s;
        return r.get<T>(0);
    }
    bool boolean(const char* signature, Vorna::Handle image) {
        return query<unsigned char>(signature, image) != 0;
    }

    Vorna::Handle makeImage(ElementType type, std::vector<std::uint32_t> sizes,
                            const char* name = "img") {
        return host.createImage(ImageSpec{type, std::move(sizes), name});
    }

    void* lockData(Vorna::Handle image, std::int32_t* status = nullptr) {
        Records r(3);
        r.set<std::uintptr_t>(1, image).set<std::uint32_t>(2, 1);
        std::int32_t s = module.call(kLock, r);
        if (status) *status = s;
        return r.get<void*>(0);
    }

    struct Locked {
        std::int32_t status = -1;
        void* data = nullptr;
        std::uint32_t actual = 99, type = 99, pack = 99;
        std::int32_t sizeStride[10];
    };
    Locked getLocked(Vorna::Handle image, void* token, std::uint32_t desired) {
        Locked out;
        for (std::int32_t& v : out.sizeStride) v = -7;
        Records r(17);
        r.set<std::uintptr_t>(1, image).set<void*>(2, token).set<std::uint32_t>(3, desired);
        r.set<std::uint32_t*>(4, &out.actual)
            .set<std::uint32_t*>(5, &out.type)
            .set<std::uint32_t*>(6, &out.pack);
        for (int i = 0; i < 10; ++i) r.set<std::int32_t*>(7 + i, &out.sizeStride[i]);
        out.status = module.call(kGetLocked, r);
        out.data = r.get<void*>(0);
        return out;
    }

    std::int32_t unlock(Vorna::Handle image, void* token, std::uint32_t flags) {
        Records r(3);
        r.set<std::uintptr_t>(0, image).set<void*>(1, token).set<std::uint32_t>(2, flags);
        return module.call(kUnlock, r);
    }

    Host host;
    ModuleSide module{host};
    LeakSnapshot base = host.snapshot();
};

TEST_F(Images, CreatedFromBytesAndReadBack) {
    std::vector<float> pixels{1.5f, -2.0f, 3.25f, 4.0f, 5.0f, 6.0f};
    Vorna::Handle h = host.createImage(ImageSpec{ElementType::Float32, {3, 2}, "input"}, pixels);
    ImageInfo info = host.image(h);
    EXPECT_EQ(info.name, "input");
    EXPECT_EQ(info.sizes, (std::vector<std::uint32_t>{3, 2}));
    EXPECT_EQ(info.element<float>(2), 3.25f);
    EXPECT_EQ(host.imagePixels<float>(h), pixels);
    EXPECT_THROW(host.createImage(ImageSpec{ElementType::Float32, {3, 3}, "x"}, pixels),
                 std::invalid_argument);
    EXPECT_THROW(host.createImage(ImageSpec{ElementType::Float32, {}, "x"}), std::invalid_argument);
    EXPECT_THROW(host.createImage(ImageSpec{ElementType::Float32, {1, 1, 1, 1, 1, 1}, "x"}),
                 std::invalid_argument);
    EXPECT_THROW(host.createImage(ImageSpec{ElementType::Float32, {4, 0}, "x"}),
                 std::invalid_argument);
    host.drop(h);
}

TEST_F(Images, QueriesDescribeTheImage) {
    Vorna::Handle h = makeImage(ElementType::Int16, {4, 5, 6});
    EXPECT_TRUE(boolean("Boolean ImageIsValid( ImageRef )", h));
    EXPECT_FALSE(boolean("Boolean ImageIsValid( ImageRef )", 0));
    EXPECT_EQ(query<std::uint32_t>("uint32 ImageGetNumDimensions( ImageRef )", h), 3u);
    EXPECT_EQ(query<std::uint32_t>("uint32 ImageGetDataElementByteSize( ImageRef )", h), 2u);
    EXPECT_EQ(query<std::uint32_t>("uint32 ImageGetDataType( ImageRef )", h),
              static_cast<std::uint32_t>(ElementType::Int16));
    EXPECT_EQ(query<std::int32_t>("long GetDepth( ImageRef )", h), 2);
    EXPECT_TRUE(boolean("Boolean ImageIsDataTypeSignedInteger( ImageRef )", h));
    EXPECT_FALSE(boolean("Boolean ImageIsDataTypeFloat( ImageRef )", h));

    Records size(3);
    size.set<Vorna::Handle>(1, h).set<std::uint32_t>(2, 2);
    EXPECT_EQ(module.call("uint32 ImageGetDimensionSize( ImageRef, uint32 )", size), 0);
    EXPECT_EQ(size.get<std::uint32_t>(0), 6u);
    size.set<std::uint32_t>(2, 3);
    EXPECT_EQ(module.call("uint32 ImageGetDimensionSize( ImageRef, uint32 )", size), 1);
    EXPECT_NE(module.pendingMessage().find("out of range"), std::string::npos);

    std::int32_t w = 0, hh = 0;
    Records getSize(3);
    getSize.set<Vorna::Handle>(0, h).set<std::int32_t*>(1, &w).set<std::int32_t*>(2, &hh);
    EXPECT_EQ(module.call("void GetSize( ImageRef, long *, long * )", getSize), 0);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(hh, 5);
    host.drop(h);
}

TEST_F(Images, TypePredicates) {
    Vorna::Handle rgb = makeImage(ElementType::RGB, {2, 2});
    Vorna::Handle cplx = makeImage(ElementType::Complex64, {2, 2});
    Vorna::Handle f64 = makeImage(ElementType::Float64, {2});
    EXPECT_TRUE(boolean("Boolean ImageIsDataTypeRGB( ImageRef )", rgb));
    EXPECT_TRUE(boolean("Boolean ImageIsDataTypeComplex( ImageRef )", cplx));
    EXPECT_TRUE(boolean("Boolean ImageIsDataTypeFloat( ImageRef )", f64));
    EXPECT_FALSE(boolean("Boolean ImageIsDataTypeFloat( ImageRef )", cplx));
    host.setComplexCountsAsFloat(true);
    EXPECT_TRUE(boolean("Boolean ImageIsDataTypeFloat( ImageRef )", cplx));

    Records isRgb(3);
    isRgb.set<Vorna::Handle>(1, rgb).set<std::int32_t>(2, 4);
    EXPECT_EQ(module.call("Boolean IsRGBDataType( ImageRef, long )", isRgb), 0);
    EXPECT_EQ(isRgb.get<unsigned char>(0), 1);
    isRgb.set<Vorna::Handle>(1, f64);
    module.call("Boolean IsRGBDataType( ImageRef, long )", isRgb);
    EXPECT_EQ(isRgb.get<unsigned char>(0), 0);

    std::int32_t status = 0;
    query<unsigned char>("Boolean ImageIsDataTypeRGB( ImageRef )", 0, &status);
    EXPECT_EQ(status, 1) << "an invalid image fails the call";
    module.pendingMessage();
    for (Vorna::Handle h : {rgb, cplx, f64}) host.drop(h);
}

TEST_F(Images, CreateFloatImageGivesTheCallerOneCount) {
    Records r(4);
    const char* name = "result";
    r.set<const char*>(1, name).set<std::int32_t>(2, 3).set<std::int32_t>(3, 2);
    ASSERT_EQ(module.call("RealImagePtr CreateFloatImage( string, long, long )", r), 0);
    Vorna::Handle h = r.get<Vorna::Handle>(0);
    EXPECT_EQ(host.moduleReferences(h), 1);
    ImageInfo info = host.image(h);
    EXPECT_EQ(info.type, ElementType::Float32);
    EXPECT_EQ(info.name, "result");
    EXPECT_EQ(info.bytes, std::vector<unsigned char>(24, 0));
    EXPECT_EQ(host.leakReport(base).objects.size(), 1u);
    module.drop(ObjectKind::Image, h);

    host.setGarbageFillNewImages(true);
    ASSERT_EQ(module.call("RealImagePtr CreateFloatImage( string, long, long )", r), 0);
    Vorna::Handle garbage = r.get<Vorna::Handle>(0);
    EXPECT_NE(host.image(garbage).bytes, std::vector<unsigned char>(24, 0));
    module.drop(ObjectKind::Image, garbage);

    r.set<std::int32_t>(2, 0);
    EXPECT_EQ(module.call("RealImagePtr CreateFloatImage( string, long, long )", r), 1);
    EXPECT_NE(module.pendingMessage().find("Invalid image size"), std::string::npos);
    EXPECT_TRUE(host.leakReport(base).clean()) << host.leakReport(base).toString();
}

TEST_F(Images, CreateInteger2DImageChoosesTheIntegerType) {
    struct Case {
        std::int32_t bytes;
        bool isSigned;
        ElementType type;
    };
    for (Case c : {Case{1, false, ElementType::UInt8}, Case{2, true, ElementType::Int16},
                   Case{4, false, ElementType::UInt32}}) {
        Records r(6);
        const char* name = "gray";
        r.set<const char*>(1, name)
            .set<std::int32_t>(2, c.bytes)
            .set<unsigned char>(3, c.isSigned ? 1 : 0);
        r.set<std::int32_t>(4, 2).set<std::int32_t>(5, 2);
        ASSERT_EQ(module.call(
                      "RealImagePtr CreateInteger2DImage( string, long, Boolean, long, long )", r),
                  0);
        Vorna::Handle h = r.get<Vorna::Handle>(0);
        EXPECT_EQ(host.image(h).type, c.type);
        module.drop(ObjectKind::Image, h);
    }
}

TEST_F(Images, NewerLockDescribesContiguousDataAndPinsUntilUnlocked) {
    Vorna::Handle h = makeImage(ElementType::Float32, {3, 4, 2});
    void* token = lockData(h);
    ASSERT_NE(token, nullptr);
    EXPECT_EQ(host.image(h).activeLocks, 1);

    Locked l = getLocked(h, token, 5);
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.data, host.imageData(h));
    EXPECT_EQ(l.actual, 3u);
    EXPECT_EQ(l.type, static_cast<std::uint32_t>(ElementType::Float32));
    EXPECT_EQ(l.pack, 0u);
    std::int32_t expected[10] = {3, 4, 4, 12, 2, 48, -7, -7, -7, -7};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(l.sizeStride[i], expected[i]) << i;

    static_cast<float*>(l.data)[5] = 9.5f;
    EXPECT_EQ(host.imagePixels<float>(h)[5], 9.5f);

    EXPECT_FALSE(host.leakReport(base).clean());
    EXPECT_EQ(unlock(h, token, 1), 0);
    EXPECT_EQ(host.image(h).activeLocks, 0);
    EXPECT_EQ(host.image(h).unlocksMarkedChanged, 1);
    EXPECT_TRUE(host.leakReport(base).clean()) << host.leakReport(base).toString();
    host.drop(h);
}

TEST_F(Images, LockedDataWritesOnlyTheDesiredDimensions) {
    Vorna::Handle h = makeImage(ElementType::UInt8, {3, 4, 2});
    void* token = lockData(h);
    Locked l = getLocked(h, token, 2);
    EXPECT_EQ(l.actual, 3u);
    std::int32_t expected[10] = {3, 1, 4, 3, -7, -7, -7, -7, -7, -7};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(l.sizeStride[i], expected[i]) << i;
    EXPECT_EQ(unlock(h, token, 0), 0);
    EXPECT_EQ(host.image(h).unlocksMarkedUnchanged, 1);
    host.drop(h);
}

TEST_F(Images, ReportedDimensionCountCanExceedFive) {
    host.setReportedDimensionCount(7);
    Vorna::Handle h = makeImage(ElementType::Float32, {2, 2});
    void* token = lockData(h);
    Locked l = getLocked(h, token, 5);
    EXPECT_EQ(l.status, 0);
    EXPECT_EQ(l.actual, 7u);
    EXPECT_EQ(l.sizeStride[8], 1) << "pairs never go past the fifth";
    EXPECT_EQ(unlock(h, token, 0), 0);
    host.drop(h);
}

TEST_F(Images, LockTokensBelongToTheirImage) {
    Vorna::Handle a = makeImage(ElementType::Float32, {2});
    Vorna::Handle b = makeImage(ElementType::Float32, {2});
    void* token = lockData(a);
    EXPECT_EQ(getLocked(b, token, 5).status, 1);
    EXPECT_NE(module.pendingMessage().find("belongs to image"), std::string::npos);
    EXPECT_EQ(unlock(b, token, 0), 1);
    module.pendingMessage();
    EXPECT_EQ(unlock(a, token, 0), 0);
    EXPECT_EQ(unlock(a, token, 0), 1) << "a token unlocks once";
    module.pendingMessage();
    host.drop(a);
    host.drop(b);
}

TEST_F(Images, OlderHostsDoNotResolveTheNewerLockFunctions) {
    host.setVersion(0x030403FF);
    EXPECT_EQ(module.resolve(kLock), 0u);
    EXPECT_EQ(module.resolve(kGetLocked), 0u);
    EXPECT_EQ(module.resolve(kUnlock), 0u);
    Vorna::Handle old = module.resolve("long GetDataPtr( ImageRef )");
    EXPECT_NE(old, 0u);
    module.drop(ObjectKind::Function, old);
    host.setVersion(0x03040400);
    Vorna::Handle now = module.resolve(kLock);
    EXPECT_NE(now, 0u);
    module.drop(ObjectKind::Function, now);
}

TEST_F(Images, OlderDataPointerPinsUntilReleased) {
    host.setVersion(0x03030200);
    Vorna::Handle h = makeImage(ElementType::Int32, {2, 3});
    Records r(2);
    r.set<Vorna::Handle>(1, h);
    ASSERT_EQ(module.call("long GetDataPtr( ImageRef )", r), 0);
    EXPECT_EQ(r.get<std::intptr_t>(0), reinterpret_cast<std::intptr_t>(host.imageData(h)))
        << "the address travels pointer-wide";
    EXPECT_EQ(host.activeImageLocks(), 1);
    ASSERT_EQ(host.leakReport(base).lockedImages.size(), 1u);

    Records release(1);
    release.set<Vorna::Handle>(0, h);
    EXPECT_EQ(module.call("void ReleaseDataPtr( ImageRef )", release), 0);
    EXPECT_EQ(host.activeImageLocks(), 0);
    EXPECT_EQ(module.call("void ReleaseDataPtr( ImageRef )", release), 1);
    module.pendingMessage();
    host.drop(h);
}

TEST_F(Images, DataChangedIsCountedPerImage) {
    Vorna::Handle a = makeImage(ElementType::Float32, {1});
    Vorna::Handle b = makeImage(ElementType::Float32, {1});
    Records r(1);
    r.set<Vorna::Handle>(0, a);
    module.call("void ImageDataChanged( ImageRef )", r);
    module.call("void ImageDataChanged( ImageRef )", r);
    EXPECT_EQ(host.image(a).dataChangedCount, 2);
    EXPECT_EQ(host.image(b).dataChangedCount, 0);
    host.drop(a);
    host.drop(b);
}

TEST_F(Images, DataOfAnImageDroppedWhileLockedStaysValid) {
    Vorna::Handle h = makeImage(ElementType::Float32, {4, 4});
    void* token = lockData(h);
    Locked l = getLocked(h, token, 5);
    host.drop(h);
    EXPECT_FALSE(host.isAlive(h));
    static_cast<float*>(l.data)[15] = 1.0f;  // still the host's memory
    LeakReport report = host.leakReport(base);
    ASSERT_EQ(report.lockedImages.size(), 1u);
    EXPECT_EQ(unlock(h, token, 0), 1) << "the image itself is gone";
    module.pendingMessage();
}

}  // namespace
