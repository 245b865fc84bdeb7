// Helpers for the image data tests: signatures, the module's raised texts, images made in the
// stand-in host, and temporary replacements of host functions.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Host.h"
#include "HostState.h"
#include "LinkedHost.h"
#include "errors/Exceptions.h"
#include "hostcall/References.h"

namespace ImageTest {

#ifdef IMAGE_TEST_HOST_VERSION
constexpr std::uint32_t kHostVersion = IMAGE_TEST_HOST_VERSION;
#else
constexpr std::uint32_t kHostVersion = StandIn::kDefaultHostVersion;
#endif
// Whether this executable's host locks through "ImageLockData" and its companions.
constexpr bool kNewerHost = kHostVersion >= Vorna::kFirstVersionWithImageLocking;

inline constexpr char kImageIsValid[] = "Boolean ImageIsValid( ImageRef )";
inline constexpr char kImageLockData[] = "void *ImageLockData( Image *im, uint32 lock_flags )";
inline constexpr char kImageGetLockedData[] =
    "void *ImageGetLockedData( Image *im, void *locked_data, uint32 des_num_dim, "
    "uint32 *act_num_dim, uint32 *data_type, uint32 *pack_style, long *dimension_info... )";
inline constexpr char kImageUnlockData[] =
    "void ImageUnlockData( Image *im, void *locked_data, uint32 unlock_flags )";
inline constexpr char kGetDataPtr[] = "long GetDataPtr( ImageRef )";
inline constexpr char kReleaseDataPtr[] = "void ReleaseDataPtr( ImageRef )";
inline constexpr char kImageDataChanged[] = "void ImageDataChanged( ImageRef )";
inline constexpr char kImageGetNumDimensions[] = "uint32 ImageGetNumDimensions( ImageRef )";
inline constexpr char kImageGetDimensionSize[] = "uint32 ImageGetDimensionSize( ImageRef, uint32 )";
inline constexpr char kIsRGBDataType[] = "Boolean IsRGBDataType( ImageRef, long )";
inline constexpr char kCreateInteger2DImage[] =
    "RealImagePtr CreateInteger2DImage( string, long, Boolean, long, long )";

// The generation's entry that pins data, and the one that gives it back.
inline const char* LockSignature() { return kNewerHost ? kImageLockData : kGetDataPtr; }
inline const char* UnlockSignature() { return kNewerHost ? kImageUnlockData : kReleaseDataPtr; }

// What a vorna_exception carries: its code and the text its datum points to.
struct Raised {
    std::int32_t code = 0;
    std::string text;
};

// Runs `work` and answers the vorna_exception it raised ({0, "<nothing raised>"} if none).
// Any other exception propagates and fails the test.
template <class Work>
Raised RaisedBy(Work&& work) {
    try {
        work();
    } catch (const Vorna::vorna_exception& e) {
        Raised raised;
        Vorna::ErrorDatum datum = 0;
        e.GetError(raised.code, datum);
        raised.text = datum ? reinterpret_cast<const char*>(datum) : "";
        return raised;
    }
    return {0, "<nothing raised>"};
}

// The text of a message raised through ThrowMessage.
inline Raised Message(const char* text) { return {Vorna::kErrorTextCopied, text}; }

// The text of a failed assertion reported with severity 1.
inline Raised Assertion(const char* file, int line, const char* condition) {
    return {Vorna::kErrorText, std::string("File \"") + file + "\", Line " + std::to_string(line) +
                                   ": Assertion \"" + condition + "\" Failed!"};
}

inline bool operator==(const Raised& a, const Raised& b) {
    return a.code == b.code && a.text == b.text;
}
inline std::ostream& operator<<(std::ostream& out, const Raised& r) {
    return out << "code " << r.code << " \"" << r.text << "\"";
}

// Replaces a host function until the end of the scope. The replacement gets the original
// handler, so it can pass calls on and change only what a test needs. The stand-in host offers
// no public way to read a handler back, so this reads its function table (HostState.h).
class ScopedNative {
  public:
    using Replacement = std::function<void(StandIn::NativeCall&, const StandIn::NativeHandler&)>;

    ScopedNative(StandIn::Host& host, const std::string& signature, Replacement replacement)
        : fHost(host),
          fSignature(signature),
          fOriginal(host.state().natives.at(signature).handler),
          fMinVersion(host.state().natives.at(signature).minVersion) {
        StandIn::NativeHandler original = fOriginal;
        host.define(signature, [original, replacement](StandIn::NativeCall& call) {
            replacement(call, original);
        });
    }
    ~ScopedNative() { fHost.define(fSignature, fOriginal, fMinVersion); }
    ScopedNative(const ScopedNative&) = delete;
    ScopedNative& operator=(const ScopedNative&) = delete;

  private:
    StandIn::Host& fHost;
    std::string fSignature;
    StandIn::NativeHandler fOriginal;
    std::uint32_t fMinVersion;
};

// Checks after every test that no image stays locked and that the module gave back every count;
// images made through MakeImage are dropped by the host afterwards.
class ImageHostTest : public TestSupport::LinkedHostTest {
  protected:
    void SetUp() override {
        TestSupport::LinkedHostTest::SetUp();
        fCallsBefore = host().state().callCounts;
        fLocksBefore = host().activeImageLocks();
    }
    void TearDown() override {
        EXPECT_EQ(fLocksBefore, host().activeImageLocks()) << "an image stayed locked";
        TestSupport::LinkedHostTest::TearDown();
        for (Vorna::Handle image : fImages) host().drop(image);
    }

    // A new host image and the module's own reference to it.
    Vorna::ImageRef MakeImage(StandIn::ElementType type, std::vector<std::uint32_t> sizes,
                              const std::vector<std::uint8_t>& bytes = {}) {
        StandIn::ImageSpec spec;
        spec.type = type;
        spec.sizes = std::move(sizes);
        spec.name = "test image";
        Vorna::Handle handle =
            bytes.empty() ? host().createImage(spec) : host().createImage(spec, bytes);
        fImages.push_back(handle);
        return Vorna::ImageRef(handle);
    }

    // Calls of a host function made during this test.
    int Calls(const char* signature) {
        auto before = fCallsBefore.find(signature);
        return host().callCount(signature) - (before == fCallsBefore.end() ? 0 : before->second);
    }
    StandIn::ImageInfo Info(const Vorna::ImageRef& image) { return host().image(image.get()); }

  private:
    std::map<std::string, int> fCallsBefore;
    int fLocksBefore = 0;
    std::vector<Vorna::Handle> fImages;
};

}  // namespace ImageTest
