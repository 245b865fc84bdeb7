// The module as the host sees it: loaded by path, linked, started, its two script functions
// called on real images, every failure reported, nothing left behind.
#include "Module.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Host.h"
#include "LoadedModule.h"

namespace {

using StandIn::ElementType;
using Vorna::Handle;

// ---- An oracle written from the algorithm, independent of the module's own code -------------

// The transform of a W x H image: placed in the middle of a max(W, H) square of zeros, then the
// straightforward loop, angles outermost, rows innermost.
std::vector<float> OracleHough(const std::vector<float>& in, std::uint32_t w, std::uint32_t h) {
    const std::uint32_t n = std::max(w, h);
    std::vector<float> square(std::size_t{n} * n, 0.0f);
    for (std::uint32_t r = 0; r < h; ++r)
        for (std::uint32_t c = 0; c < w; ++c)
            square[std::size_t{r + (n - h) / 2} * n + c + (n - w) / 2] = in[std::size_t{r} * w + c];
    std::vector<float> out(std::size_t{n} * n, 0.0f);
    if (n == 1) {
        out[0] = out[0] + square[0];
        return out;
    }
    const std::uint32_t cx = n / 2, cy = n / 2;
    const double K = 1.570796326794895;
    const double f = static_cast<double>(n) / (std::sqrt(2.0) * static_cast<double>(n));
    for (std::uint32_t i = 0; i < n; ++i) {
        const double theta = (i * K) / cx;
        const double u = std::cos(theta), v = std::sin(theta);
        for (std::uint32_t j = 0; j < n; ++j)
            for (std::uint32_t k = 0; k < n; ++k) {
                const double rho = ((static_cast<double>(static_cast<std::int64_t>(j) - cx) * u +
                                     static_cast<double>(static_cast<std::int64_t>(k) - cy) * v) *
                                    f) +
                                   cy;
                const auto r = static_cast<std::int32_t>(static_cast<std::int64_t>(rho));
                const auto idx = static_cast<std::int32_t>(static_cast<std::uint32_t>(r) * n + i);
                if (idx >= 0 && static_cast<std::uint64_t>(idx) < std::uint64_t{n} * n)
                    out[static_cast<std::size_t>(idx)] =
                        out[static_cast<std::size_t>(idx)] + square[std::size_t{k} * n + j];
            }
    }
    return out;
}

std::vector<float> RandomPixels(std::size_t count, unsigned seed, double zeroShare = 0.3) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-4.0f, 10.0f);
    std::bernoulli_distribution zero(zeroShare);
    std::vector<float> pixels(count);
    for (float& p : pixels) p = zero(random) ? 0.0f : value(random);
    return pixels;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// ---- Fixture -----------------------------------------------------------------------------

class ModuleTest : public ::testing::Test, protected TestSupport::LoadedModule {
  protected:
    void Start(std::uint32_t version = StandIn::kDefaultHostVersion) {
        LoadedModule::Start(MODULE_PATH, version);
    }
    void SetUp() override { Start(); }
    void TearDown() override {
        if (!module) return;
        for (Handle h : kept) host->drop(h);
        EXPECT_TRUE(module->unload()) << "the module must really unload";
        StandIn::LeakReport report = host->leakReport();
        EXPECT_TRUE(report.clean()) << report.toString();
        EXPECT_EQ(0, host->activeImageLocks());
    }

    Handle Image(const std::vector<float>& pixels, std::uint32_t w, std::uint32_t h) {
        return Keep(host->createImage({ElementType::Float32, {w, h}, "input"}, pixels));
    }
    template <class T>
    Handle Image(ElementType type, const std::vector<T>& values, std::uint32_t w, std::uint32_t h) {
        return Keep(host->createImage({type, {w, h}, "input"}, values));
    }
    // A handle the host received from the module now belongs to the host.
    Handle Received(Handle h) {
        if (h) host->keep(h);
        return Keep(h);
    }
    Handle Keep(Handle h) {
        if (h) kept.push_back(h);
        return h;
    }
    std::vector<float> Pixels(Handle h) { return host->imagePixels<float>(h); }
    std::vector<float> Hough(Handle image) {
        Handle result = Received(hough(&image));
        EXPECT_NE(0u, result) << (host->raisedErrors().empty() ? "" : host->raisedErrors()[0]);
        return result ? Pixels(result) : std::vector<float>{};
    }

    std::vector<Handle> kept;
};

// ---- Registration ----------------------------------------------------------------------

TEST_F(ModuleTest, RegistersShiftFirstAndWithdrawsHoughFirst) {
    ASSERT_EQ(2u, host->registrations().size());
    EXPECT_EQ("RealImagePtr shiftImage(ImageRef *,float,float)",
              host->registrations()[0].signature);
    EXPECT_EQ("RealImagePtr HoughTransform(ImageRef *)", host->registrations()[1].signature);
    module->run();
    module->cleanup();
    module->shutdown();
    EXPECT_TRUE(host->withdrawals().empty()) << "registrations stay until unload";
    EXPECT_TRUE(module->unload());
    EXPECT_EQ((std::vector<std::string>{"HoughTransform", "shiftImage"}), host->withdrawals());
    EXPECT_TRUE(host->leakReport().clean()) << host->leakReport().toString();
    module.reset();
}

// ---- HoughTransform --------------------------------------------------------------------

TEST_F(ModuleTest, HoughMatchesTheOracleBitForBitOnSquareImages) {
    for (std::uint32_t n = 1; n <= 64; ++n) {
        const auto pixels = RandomPixels(std::size_t{n} * n, n);
        EXPECT_TRUE(SameBits(OracleHough(pixels, n, n), Hough(Image(pixels, n, n)))) << "n = " << n;
    }
    for (std::uint32_t n : {99u, 100u}) {
        const auto pixels = RandomPixels(std::size_t{n} * n, n, 0.9);
        EXPECT_TRUE(SameBits(OracleHough(pixels, n, n), Hough(Image(pixels, n, n)))) << "n = " << n;
    }
}

TEST_F(ModuleTest, HoughResultIsNamedAndSquare) {
    Handle result = Received(hough(nullptr));
    EXPECT_EQ(0u, result) << "no image, no result";
    EXPECT_EQ(1u, host->raisedErrors().size());
    Handle image = Image(RandomPixels(5 * 3, 1), 5, 3);
    result = Received(hough(&image));
    StandIn::ImageInfo info = host->image(result);
    EXPECT_EQ("Hough Transform", info.name);
    EXPECT_EQ((std::vector<std::uint32_t>{5, 5}), info.sizes);
    EXPECT_EQ(1, info.dataChangedCount);
}

TEST_F(ModuleTest, TheCentrePixelVotesIntoTheCentreRowOfEveryColumn) {
    for (std::uint32_t n : {6u, 7u}) {
        std::vector<float> pixels(std::size_t{n} * n, 0.0f);
        pixels[(n / 2) * n + n / 2] = 2.5f;
        const auto out = Hough(Image(pixels, n, n));
        for (std::uint32_t r = 0; r < n; ++r)
            for (std::uint32_t i = 0; i < n; ++i)
                EXPECT_EQ(r == n / 2 ? 2.5f : 0.0f, out[r * n + i]) << n << ": " << r << "," << i;
    }
}

TEST_F(ModuleTest, NonSquareImagesAreTransformedAsTheirPaddedSquare) {
    for (auto [w, h] : {std::pair{7u, 4u}, {3u, 9u}, {1u, 5u}, {16u, 1u}}) {
        const auto pixels = RandomPixels(std::size_t{w} * h, w * 31 + h, 0.2);
        EXPECT_TRUE(SameBits(OracleHough(pixels, w, h), Hough(Image(pixels, w, h))))
            << w << " x " << h;
    }
}

TEST_F(ModuleTest, HoughDoesNotRelyOnTheNewImagesContent) {
    host->setGarbageFillNewImages(true);
    const auto pixels = RandomPixels(9 * 9, 9);
    EXPECT_TRUE(SameBits(OracleHough(pixels, 9, 9), Hough(Image(pixels, 9, 9))));
}

TEST_F(ModuleTest, OtherRealElementKindsAreConvertedToFloat) {
    const std::uint32_t w = 6, h = 5;
    std::vector<float> expected(w * h);
    std::vector<std::uint8_t> bytes(w * h);
    std::vector<std::int16_t> shorts(w * h);
    std::vector<std::int32_t> longs(w * h);
    std::vector<double> doubles(w * h);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 % 256);
        shorts[i] = static_cast<std::int16_t>(static_cast<int>(i) * 1000 - 9000);
        longs[i] = static_cast<std::int32_t>(i) * 123457 - 1000000;
        doubles[i] = 0.1 * static_cast<double>(i) - 1.3;
    }
    auto asFloat = [](const auto& values) {
        return std::vector<float>(values.begin(), values.end());
    };
    EXPECT_TRUE(
        SameBits(OracleHough(asFloat(bytes), w, h), Hough(Image(ElementType::UInt8, bytes, w, h))));
    EXPECT_TRUE(SameBits(OracleHough(asFloat(bytes), w, h),
                         Hough(Image(ElementType::Binary, bytes, w, h))));
    EXPECT_TRUE(SameBits(OracleHough(asFloat(shorts), w, h),
                         Hough(Image(ElementType::Int16, shorts, w, h))));
    EXPECT_TRUE(
        SameBits(OracleHough(asFloat(longs), w, h), Hough(Image(ElementType::Int32, longs, w, h))));
    EXPECT_TRUE(SameBits(OracleHough(asFloat(doubles), w, h),
                         Hough(Image(ElementType::Float64, doubles, w, h))));
}

TEST_F(ModuleTest, ComplexAndRGBImagesAreRefusedWithoutAResult) {
    host->setComplexCountsAsFloat(true);  // complex must be asked about before float
    const std::vector<std::uint32_t> raw(4 * 4 * 4, 1);
    for (ElementType type : {ElementType::Complex64, ElementType::Complex128, ElementType::RGB}) {
        Handle image = Keep(host->createImage({type, {4, 4}, "input"}));
        host->clearRaisedErrors();
        EXPECT_EQ(0u, hough(&image));
        EXPECT_EQ(0u, shift(&image, 1, 1));
        EXPECT_EQ(
            (std::vector<std::string>{
                "HoughTransform takes a real-valued image; complex and RGB images are not "
                "supported.",
                "shiftImage takes a real-valued image; complex and RGB images are not supported."}),
            host->raisedErrors())
            << StandIn::elementTypeName(type);
    }
}

TEST_F(ModuleTest, EmptyImagesAreRefused) {
    host->define("uint32 ImageGetDimensionSize( ImageRef, uint32 )", [](StandIn::NativeCall& c) {
        c.setResult<std::uint32_t>(c.uint32(1) == 0 ? 0 : 3);
    });
    Handle image = Image(std::vector<float>(9), 3, 3);
    EXPECT_EQ(0u, hough(&image));
    EXPECT_EQ(0u, shift(&image, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"HoughTransform needs an image of at least one pixel.",
                                        "shiftImage needs an image of at least one pixel."}),
              host->raisedErrors());
}

// ---- shiftImage ------------------------------------------------------------------------

class ShiftTest : public ModuleTest {
  protected:
    static constexpr std::uint32_t W = 10, H = 7;
    void SetUp() override {
        ModuleTest::SetUp();
        input = RandomPixels(W * H, 77, 0.0);
        image = Image(input, W, H);
    }
    std::vector<float> Shift(float dx, float dy) {
        Handle result = Received(shift(&image, dx, dy));
        EXPECT_NE(0u, result);
        return result ? Pixels(result) : std::vector<float>{};
    }
    std::vector<float> Expected(long long tx, long long ty) {
        std::vector<float> out(W * H);
        for (long long i = 0; i < W; ++i)
            for (long long j = 0; j < H; ++j)
                out[static_cast<std::size_t>(((i + tx) % W + W) % W + ((j + ty) % H + H) % H * W)] =
                    input[static_cast<std::size_t>(i + j * W)];
        return out;
    }
    std::vector<float> input;
    Handle image = 0;
};

TEST_F(ShiftTest, ShiftsByWholePixelsWithWrapAround) {
    EXPECT_TRUE(SameBits(input, Shift(0, 0)));
    EXPECT_TRUE(SameBits(input, Shift(0.9f, -0.9f))) << "truncated toward zero";
    EXPECT_TRUE(SameBits(input, Shift(W, 3 * H)));
    EXPECT_TRUE(SameBits(Expected(1, 0), Shift(W + 1, 0)));
    EXPECT_TRUE(SameBits(Expected(-1, 0), Shift(-1, 0)));
    EXPECT_TRUE(SameBits(Expected(2, -2), Shift(2.9f, -2.9f)));
    EXPECT_TRUE(SameBits(Expected(3, 5), Shift(3, 5)));
}

TEST_F(ShiftTest, HugeOffsetsAreReducedExactly) {
    for (float offset : {1e12f, -1099511627776.0f, 2147483648.0f, -3e9f}) {
        const auto t = static_cast<long long>(offset);  // these floats hold integers exactly
        EXPECT_TRUE(SameBits(Expected(t % W, t % H), Shift(offset, offset))) << offset;
    }
}

TEST_F(ShiftTest, NonFiniteOffsetsAreRefusedBeforeAnyResult) {
    for (float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
          -std::numeric_limits<float>::infinity()}) {
        host->clearRaisedErrors();
        EXPECT_EQ(0u, shift(&image, bad, 0));
        EXPECT_EQ(0u, shift(&image, 0, bad));
        EXPECT_EQ(2u, host->raisedErrors().size());
        EXPECT_EQ("shiftImage needs finite offsets.", host->raisedErrors()[0]);
    }
}

TEST_F(ShiftTest, ResultIsNamedAndKeepsTheSizes) {
    Handle result = Received(shift(&image, 1, 1));
    StandIn::ImageInfo info = host->image(result);
    EXPECT_EQ("shiftImage", info.name);
    EXPECT_EQ((std::vector<std::uint32_t>{W, H}), info.sizes);
    EXPECT_EQ(ElementType::Float32, info.type);
}

TEST_F(ShiftTest, FourByteIntegersAreConvertedByValue) {
    std::vector<std::int32_t> values(W * H);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<std::int32_t>(i) * 3 - 50;
    Handle ints = Image(ElementType::Int32, values, W, H);
    Handle result = Received(shift(&ints, 0, 0));
    EXPECT_EQ(std::vector<float>(values.begin(), values.end()), Pixels(result));
}

// ---- Host faults -------------------------------------------------------------------------

TEST_F(ModuleTest, EveryFailingHostCallReachesTheHostAndNothingIsLeft) {
    const auto pixels = RandomPixels(8 * 8, 3);
    Handle image = Image(pixels, 8, 8);
    const int before = host->hostCallCount();
    Received(hough(&image));
    const int callsPerTransform = host->hostCallCount() - before;
    ASSERT_GT(callsPerTransform, 5);
    for (int k = 1; k <= callsPerTransform; ++k) {
        host->clearRaisedErrors();
        host->failHostCallAt(static_cast<unsigned>(k), "fault " + std::to_string(k));
        Received(hough(&image));
        ASSERT_EQ(1u, host->raisedErrors().size()) << "call " << k;
        EXPECT_EQ("fault " + std::to_string(k), host->raisedErrors()[0]);
        EXPECT_EQ(0, host->activeImageLocks()) << "call " << k;
    }
    host->failHostCallAt(0);
}

TEST_F(ModuleTest, StaleHandlesAreRetriedTransparently) {
    const auto pixels = RandomPixels(12 * 12, 5);
    Handle image = Image(pixels, 12, 12);
    const auto first = Hough(image);
    for (const char* signature : {"uint32 ImageGetDimensionSize( ImageRef, uint32 )",
                                  "RealImagePtr CreateFloatImage( string, long, long )",
                                  "void *ImageLockData( Image *im, uint32 lock_flags )",
                                  "void ImageDataChanged( ImageRef )"})
        host->invalidateFunctionHandles(signature);
    EXPECT_TRUE(SameBits(first, Hough(image)));
    EXPECT_TRUE(host->raisedErrors().empty());
}

// Why the address-space test below cannot run here, or null when it can.
const char* WhyNoAddressSpaceLimit() {
#if defined(__SANITIZE_ADDRESS__)
    return "AddressSanitizer reserves its shadow memory in the address space";
#else
    if (sizeof(void*) != 8) return "a 32-bit process has too little address space to share";
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload && std::strstr(preload, "vgpreload")) return "valgrind manages the address space";
    return nullptr;
#endif
}

// The process's mapped address space, in bytes.
std::uint64_t AddressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

TEST_F(ModuleTest, AnImageTooLargeForTheWorkingCopyReachesTheHostAsOutOfMemory) {
    if (const char* why = WhyNoAddressSpaceLimit()) GTEST_SKIP() << why;
    const std::uint32_t n = 6144;  // a 36 MiB input; the result and the working copy 144 MiB each
    Handle image =
        Image(ElementType::UInt8, std::vector<std::uint8_t>(std::size_t{n} * n, 1), n, n);

    // In a child process: room for the result image and a little more, so that the working copy
    // cannot be had; exits 0 when the host got the out-of-memory error, the result, and nothing
    // else.
    auto transformWithoutRoom = [&] {
        auto fail = [](const std::string& why) {
            std::fprintf(stderr, "%s\n", why.c_str());
            std::_Exit(1);
        };
        const std::uint64_t resultBytes = std::uint64_t{n} * n * sizeof(float);
        const rlim_t limit = AddressSpaceInUse() + resultBytes + (24u << 20);
        const rlimit room{limit, limit};
        if (setrlimit(RLIMIT_AS, &room) != 0) fail("setrlimit refused");

        Handle result = Received(hough(&image));
        if (host->raisedErrorRecords().size() != 1) fail("expected exactly one raised error");
        const StandIn::RaisedError& error = host->raisedErrorRecords()[0];
        if (error.code != Vorna::kErrorOutOfMemory ||
            error.message != "Error 28810 (14) has occurred.")
            fail("raised " + std::to_string(error.code) + ": " + error.message);
        if (!result) fail("the result made before the failure was not returned");
        if (host->activeImageLocks() != 0) fail("an image was left locked");
        for (Handle h : kept) host->drop(h);
        kept.clear();
        if (!module->unload()) fail("the module did not unload");
        if (!host->leakReport().clean()) fail(host->leakReport().toString());
        std::_Exit(0);
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(transformWithoutRoom(), testing::ExitedWithCode(0), "");
}

TEST_F(ModuleTest, ACallUnderTheStandByEnvironmentFailsQuietly) {
    Handle image = Image(RandomPixels(4, 1), 2, 2);
    module->link(nullptr);
    module->startup();  // no environment linked: the stand-by one is current
    EXPECT_EQ(0u, hough(&image));
    EXPECT_EQ(0u, shift(&image, 1, 1));
    EXPECT_TRUE(host->raisedErrors().empty());
    module->link(*host);
    module->startup();
}

class OlderHostTest : public ModuleTest {
  protected:
    void SetUp() override { Start(0x030403FF); }
};

TEST_F(OlderHostTest, BothOperationsWorkThroughTheOlderDataPointer) {
    const auto pixels = RandomPixels(11 * 11, 11);
    Handle image = Image(pixels, 11, 11);
    EXPECT_TRUE(SameBits(OracleHough(pixels, 11, 11), Hough(image)));
    Handle shifted = Received(shift(&image, 0, 0));
    EXPECT_TRUE(SameBits(pixels, Pixels(shifted)));
    EXPECT_EQ(0, host->callCount("void *ImageLockData( Image *im, uint32 lock_flags )"));
    EXPECT_GT(host->callCount("long GetDataPtr( ImageRef )"), 0);
}

}  // namespace

namespace {

class HostVersionTest : public ModuleTest {
  protected:
    void SetUp() override {}
};

TEST_F(HostVersionTest, TheCallbacksTableNeedsAHostOf3_3_2) {
    Start(0x030301FF);
    Handle image = Image(RandomPixels(9, 2), 3, 3);
    EXPECT_NE(0u, Received(hough(&image))) << "the result made before the failure is returned";
    ASSERT_EQ(1u, host->raisedErrors().size());
    EXPECT_EQ("File \"Utility\", Line 294: Assertion \"sCallbacks != NULL\" Failed!",
              host->raisedErrors()[0]);
    EXPECT_EQ(0, host->activeImageLocks());
}

TEST_F(HostVersionTest, AHostOf3_3_2GetsTheOlderLocking) {
    Start(0x03030200);
    const auto pixels = RandomPixels(6 * 6, 4);
    EXPECT_TRUE(SameBits(OracleHough(pixels, 6, 6), Hough(Image(pixels, 6, 6))));
    EXPECT_GT(host->callCount("long GetDataPtr( ImageRef )"), 0);
}

}  // namespace
