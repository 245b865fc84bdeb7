// A module with deliberate faults, built against the framework like a real one, for the fault
// sweep and the validator to catch. Every function takes an image and answers a float image of
// its size; each gets one thing wrong:
//   LeakyCopy        keeps a count on its input on every call
//   ForgetsUnlock    locks its input by hand and leaves it locked when a later host call fails
//   Crashes          writes through a null pointer for a one-pixel input
//   SwallowsFailure  catches a failing host call and tells the host nothing
//   NoRetry          calls a host function directly, so a stale handle becomes an error
//   ReturnsBorrowed  answers its input's handle without a count for the host
// and its Run hook leaks a string when the host refuses the text it sends.
#include <cstdint>
#include <cstring>
#include <vector>

#include "hostcall/Stubs.h"
#include "image/ImageDataLock.h"
#include "shell/PlugInMain.h"

namespace {

using namespace Vorna;

const FrameworkUnitUsers sUsers;

struct Sizes {
    std::uint32_t width;
    std::uint32_t height;
};

Sizes ReadSizes(const ImageRef& image) {
    return {QZ::ImageGetDimensionSize(image, 0), QZ::ImageGetDimensionSize(image, 1)};
}

ImageRef NewImage(const char* name, Sizes sizes) {
    return QZ::CreateFloatImage(name, static_cast<std::int32_t>(sizes.width),
                                static_cast<std::int32_t>(sizes.height));
}

Handle LeakyCopy(Handle* image) {
    ImageRef result;
    PlugIn::RunGuarded([&] {
        ImageRef input(*image);
        ImageRef extra(*image);
        extra.release();  // the fault: this count is never given back
        result = NewImage("LeakyCopy", ReadSizes(input));
        QZ::ImageDataChanged(result);
    });
    return result.release();
}

Handle ForgetsUnlock(Handle* image) {
    ImageRef result;
    PlugIn::RunGuarded([&] {
        ImageRef input(*image);
        const PlugIn::PlugInCallbacks& callbacks = PlugIn::PlugInMain::GetCallbacks();
        ImageLockToken token;
        if (!callbacks.lock_image_data(input.get(), kLockContiguous, &token)) return;
        // The fault: any of these host calls failing skips the unlock below.
        result = NewImage("ForgetsUnlock", ReadSizes(input));
        QZ::ImageDataChanged(result);
        callbacks.unlock_image_data(input.get(), &token, false);
    });
    return result.release();
}

Handle Crashes(Handle* image) {
    ImageRef result;
    PlugIn::RunGuarded([&] {
        ImageRef input(*image);
        const Sizes sizes = ReadSizes(input);
        result = NewImage("Crashes", sizes);
        ImageDataLock lock(result);
        // The fault: the scratch row is one short, and empty (null) for a single pixel.
        std::vector<float> scratch(std::size_t{sizes.width} * sizes.height - 1);
        float* first = scratch.empty() ? nullptr : scratch.data();
        *first = 1.0f;
        lock.Data<float>()[0] = scratch[0];
        QZ::ImageDataChanged(result);
        lock.Unlock();
    });
    return result.release();
}

Handle SwallowsFailure(Handle* image) {
    ImageRef result;
    PlugIn::RunGuarded([&] {
        ImageRef input(*image);
        try {
            result = NewImage("SwallowsFailure", ReadSizes(input));
            QZ::ImageDataChanged(result);
        } catch (const std::exception&) {
            // The fault: the host never learns why the result is missing or incomplete.
        }
    });
    return result.release();
}

Handle NoRetry(Handle* image) {
    ImageRef result;
    PlugIn::RunGuarded([&] {
        ImageRef input(*image);
        result = NewImage("NoRetry", ReadSizes(input));
        // The fault: a freshly resolved handle called directly has no second attempt when the
        // host answers that it is stale.
        HostEnvironment* environment = CurrentEnvironment();
        Function changed(environment->table->findScriptFunction(
                             environment, 0, "void ImageDataChanged( ImageRef )"),
                         kAdopt);
        ScriptArgRecord record{};
        const Handle handle = result.get();
        std::memcpy(record.bytes, &handle, sizeof handle);
        changed.Call(1, &record);
    });
    return result.release();
}

Handle ReturnsBorrowed(Handle* image) {
    Handle answer = 0;
    PlugIn::RunGuarded([&] {
        ImageRef input(*image);
        ReadSizes(input);
        answer = input.get();  // the fault: the host receives a handle with no count for it
    });
    return answer;
}

class FaultyPlugIn : public PlugIn::PlugInMain {
  public:
    void Startup() override {
        AddFunction("RealImagePtr LeakyCopy(ImageRef *)", reinterpret_cast<void*>(&LeakyCopy));
        AddFunction("RealImagePtr ForgetsUnlock(ImageRef *)",
                    reinterpret_cast<void*>(&ForgetsUnlock));
        AddFunction("RealImagePtr Crashes(ImageRef *)", reinterpret_cast<void*>(&Crashes));
        AddFunction("RealImagePtr SwallowsFailure(ImageRef *)",
                    reinterpret_cast<void*>(&SwallowsFailure));
        AddFunction("RealImagePtr NoRetry(ImageRef *)", reinterpret_cast<void*>(&NoRetry));
        AddFunction("RealImagePtr ReturnsBorrowed(ImageRef *)",
                    reinterpret_cast<void*>(&ReturnsBorrowed));
    }
    void Run() override {
        // The fault: the string's count is given back by hand, which a failing Result skips.
        const Handle text = qz_string("Faulty module running.").release();
        QZ::Result(qz_string(text));
        ReleaseObjectReference(ObjectKind::String, text);
    }
};

FaultyPlugIn sPlugIn;

}  // namespace
