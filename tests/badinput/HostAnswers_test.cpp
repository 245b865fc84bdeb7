// Bad answers of the host and arguments that are no image, for the module's two script functions
// through the stand-in host: sizes answered as zero or beyond the locked data, an image called
// invalid at locking, element sizes the lock contradicts, results larger than the host takes, and
// arguments that are no image at all. Each gives exactly one clear error and leaves nothing behind.
#include "HostSweep.h"

namespace BadInput {
namespace {

// ---- Sizes the host answers
// ----------------------------------------------------------------------

TEST_F(HostSweep, SizesTheHostAnswersAsZeroAreRefused) {
    // The stand-in host cannot make an empty image, so it is told to answer 0 for a size.
    const StandIn::NativeHandler real = host->handlerOf(kDimensionSize);
    for (unsigned zeroDimensions : {1u, 2u, 3u}) {  // bit d: dimension d answers 0
        SCOPED_TRACE(zeroDimensions);
        host->define(kDimensionSize, [real, zeroDimensions](StandIn::NativeCall& c) {
            const std::uint32_t d = c.uint32(1);
            if (d < 2 && (zeroDimensions >> d & 1u)) return c.setResult<std::uint32_t>(0);
            real(c);
        });
        const Pixels pixels = MakePixels(ElementType::Float32, 9, zeroDimensions);
        ExpectError(Hough("zero sizes", NewImage(ElementType::Float32, {3, 3}, pixels)),
                    std::string("HoughTransform") + kEmpty);
        ExpectError(Shift("zero sizes", NewImage(ElementType::Float32, {3, 3}, pixels), 1, 1),
                    std::string("shiftImage") + kEmpty);
    }
    host->define(kDimensionSize, real);
}

TEST_F(HostSweep, SizesBeyondTheLockedDataAreRefused) {
    // A host whose size answers promise more than the data it then lends: the module must not
    // read past the data (the lock describes the data as it really is).
    const StandIn::NativeHandler real = host->handlerOf(kDimensionSize);
    for (Size2 answer : {Size2{3, 2}, Size2{2, 3}, Size2{64, 64}, Size2{1, 2}}) {
        SCOPED_TRACE(std::to_string(answer.w) + " x " + std::to_string(answer.h) +
                     " answered for 2 x 2");
        host->define(kDimensionSize, [answer](StandIn::NativeCall& c) {
            c.setResult<std::uint32_t>(c.uint32(1) == 0 ? answer.w : answer.h);
        });
        const Pixels pixels = MakePixels(ElementType::Float32, 4, answer.w);
        const std::string why =
            " got image data that does not match the image's sizes and element type.";
        ExpectErrorWithResult(
            Hough("sizes beyond the data", NewImage(ElementType::Float32, {2, 2}, pixels)),
            "HoughTransform" + why);
        ExpectErrorWithResult(
            Shift("sizes beyond the data", NewImage(ElementType::Float32, {2, 2}, pixels), 1, 1),
            "shiftImage" + why);
    }
    host->define(kDimensionSize, real);
}

TEST_F(HostSweep, AnImageTheHostCallsInvalidAtLockingIsRefused) {
    // The lock of an image the host does not call valid stays unlocked, without data.
    host->define("Boolean ImageIsValid( ImageRef )",
                 [](StandIn::NativeCall& c) { c.setResultBoolean(false); });
    const Pixels pixels = MakePixels(ElementType::Float32, 4, 8);
    const std::string why =
        " got image data that does not match the image's sizes and element type.";
    ExpectErrorWithResult(
        Hough("invalid at locking", NewImage(ElementType::Float32, {2, 2}, pixels)),
        "HoughTransform" + why);
    ExpectErrorWithResult(
        Shift("invalid at locking", NewImage(ElementType::Float32, {2, 2}, pixels), 1, 1),
        "shiftImage" + why);
}

TEST_F(HostSweep, ElementSizesTheLockContradictsAreRefused) {
    // The element kind comes from the host's type queries, the layout from the lock: a host whose
    // answers disagree would have the module read past the data (or misread it).
    struct Answer {
        ElementType real;
        std::uint32_t bytes;
        bool isFloat;
    };
    for (Answer a : {Answer{ElementType::UInt8, 8, true}, Answer{ElementType::UInt8, 4, false},
                     Answer{ElementType::Float32, 1, false}, Answer{ElementType::Int16, 4, true}}) {
        SCOPED_TRACE(std::string(StandIn::elementTypeName(a.real)) + " answered as " +
                     std::to_string(a.bytes) + " bytes");
        host->define("uint32 ImageGetDataElementByteSize( ImageRef )",
                     [a](StandIn::NativeCall& c) { c.setResult<std::uint32_t>(a.bytes); });
        host->define("Boolean ImageIsDataTypeFloat( ImageRef )",
                     [a](StandIn::NativeCall& c) { c.setResultBoolean(a.isFloat); });
        const Pixels pixels = MakePixels(a.real, 9, a.bytes);
        const std::string why =
            " got image data that does not match the image's sizes and element type.";
        ExpectErrorWithResult(Hough("element sizes", NewImage(a.real, {3, 3}, pixels)),
                              "HoughTransform" + why);
        ExpectErrorWithResult(Shift("element sizes", NewImage(a.real, {3, 3}, pixels), 1, 1),
                              "shiftImage" + why);
    }
}

TEST_F(HostSweep, ResultsLargerThanTheHostTakesAreItsError) {
    // The transform of a very wide or tall image is its square, which can be more than the host
    // makes (the stand-in host's limit is 1 GiB); the shift of the same image is small.
    for (Size2 s : {Size2{16385, 1}, Size2{1, 16385}, Size2{65536, 3}}) {
        SCOPED_TRACE(std::to_string(s.w) + " x " + std::to_string(s.h));
        const Pixels pixels = MakePixels(ElementType::UInt8, std::size_t{s.w} * s.h, s.w);
        ExpectError(Hough("result too large", NewImage(ElementType::UInt8, {s.w, s.h}, pixels)),
                    "image too large for the stand-in host");
        ExpectImage(
            Shift("result too large", NewImage(ElementType::UInt8, {s.w, s.h}, pixels), 1, 1),
            "shiftImage", {s.w, s.h}, ReferenceShift(pixels.values, s.w, s.h, 1, 1));
    }
}

// ---- Arguments that are no image
// -----------------------------------------------------------------

TEST_F(HostSweep, ArgumentsThatAreNoImageAreRefused) {
    // What the host's script engine never passes, but a module must survive: the host's image
    // functions refuse the handle, and that refusal is the caller's error.
    StandIn::Host other;
    Handle dead = host->createImage({ElementType::Float32, {2, 2}, "gone"});
    host->drop(dead);
    struct Argument {
        const char* name;
        Handle handle;
        bool owned;
    };
    const Argument arguments[] = {
        {"handle 0", 0, false},
        {"a dead image", dead, false},
        {"a string", host->makeString("not an image"), true},
        {"a throwable", host->makeThrowable("not an image either"), true},
        {"an image display", host->makeObject(StandIn::ObjectKind::ImageDisplay), true},
        {"a number that was never a handle", 0x7fff1234u, false},
        {"an image of another host", other.createImage({ElementType::Float32, {2, 2}, "elsewhere"}),
         false},
    };
    argumentNotAnImage = true;
    for (const Argument& a : arguments) {
        SCOPED_TRACE(a.name);
        std::ostringstream message;
        message << "The image 0x" << std::hex << a.handle << " is not valid.";
        Handle h = a.handle;
        ExpectError(Call("no image", [this](Handle* p) { return hough(p); }, &h, {}),
                    message.str());
        ExpectError(Call("no image", [this](Handle* p) { return shift(p, 1, 1); }, &h, {}),
                    message.str());
        EXPECT_EQ(a.handle, h) << "the caller's handle is left as it was";
        if (a.owned) host->drop(a.handle);
    }
    argumentNotAnImage = false;
    // No argument at all: the host passed a null address, which reads as no image.
    ExpectError(Call("no image", [this](Handle* p) { return hough(p); }, nullptr, {}),
                "The image 0x0 is not valid.");
    ExpectError(Call("no image", [this](Handle* p) { return shift(p, 1, 1); }, nullptr, {}),
                "The image 0x0 is not valid.");
}

}  // namespace
}  // namespace BadInput
