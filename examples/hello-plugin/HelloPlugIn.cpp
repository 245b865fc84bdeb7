// HelloPlugIn: the smallest useful plug-in, built against the installed Photarion plug-in SDK.
//
// It adds one script function to the host's language,
//
//     RealImagePtr Invert(ImageRef *)   a new float image holding the negated values of a
//                                       two-dimensional image of 4-byte reals
//
// which also writes one line to the results window, and a menu "Hello" with two commands that
// write to the results window as well. Copy this folder to start a plug-in of your own.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>

#include "errors/Exceptions.h"
#include "errors/ResultsStream.h"
#include "hostcall/Stubs.h"
#include "image/ImageDataLock.h"
#include "menus/PlugInMenu.h"
#include "shell/PlugInMain.h"

namespace Hello {
namespace {

using namespace Vorna;

// This unit talks to the host: its users keep the environment and the class interfaces of every
// kind of host object in place from before the main object below is built until after it is gone.
const FrameworkUnitUsers sUsers;

constexpr char kInvertSignature[] = "RealImagePtr Invert(ImageRef *)";

// The results stream reports a refused hand-over through its state alone, and a stream left bad
// would write nothing from then on: make it good again for the next call and tell the host.
void CheckResults() {
    if (PlugIn::results) return;
    PlugIn::results.clear();
    ThrowMessage("The results window did not take the text.");
}

// The host calls this, through the entry that AddFunction<&Invert> makes, with the address of
// the caller's image handle. Whatever `result` holds when it returns or fails goes to the host
// (one reference for the host); nothing, when no image was made.
void Invert(ImageRef& result, Handle* image) {
    // Our own reference to the argument: counted while we use it, dropped at the end.
    ImageRef input(image ? *image : 0);
    if (QZ::ImageGetNumDimensions(input) != 2)
        ThrowMessage("Invert takes a two-dimensional image.");
    if (QZ::ImageIsDataTypeComplex(input) || !QZ::ImageIsDataTypeFloat(input) ||
        QZ::ImageGetDataElementByteSize(input) != 4)
        ThrowMessage("Invert takes an image of 4-byte reals.");
    const std::uint32_t width = QZ::ImageGetDimensionSize(input, 0);
    const std::uint32_t height = QZ::ImageGetDimensionSize(input, 1);

    // Host results come back carrying one reference, which `result` now owns.
    result = QZ::CreateFloatImage("Inverted", static_cast<std::int32_t>(width),
                                  static_cast<std::int32_t>(height));

    // Contiguous data: element (x, y) at x + y * width, on either host generation.
    ImageDataLock source(input, kLockContiguous);
    ImageDataLock target(result, kLockContiguous);
    const float* in = source.Data<float>();
    float* out = target.Data<float>();
    const std::size_t count = std::size_t{width} * height;
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = -in[i];
        sum += in[i];
    }
    QZ::ImageDataChanged(result);
    target.Unlock();
    source.Unlock();

    PlugIn::results << "Invert: " << width << " x " << height << " pixels, mean "
                    << (count ? sum / static_cast<double>(count) : 0.0) << std::endl;
    CheckResults();
}

constexpr PlugIn::CommandID kSayHello{1, 0};
constexpr PlugIn::CommandID kAbout{1, 1};

// The menu "Hello" with its two commands. The host asks the menu for its entries and hands it
// every command the user chooses.
class HelloMenu final : public PlugIn::StandardPlugInMenu {
  public:
    HelloMenu() : StandardPlugInMenu(qz_string("Hello")) {
        AppendCommand(kSayHello);
        SetCommandName(kSayHello, qz_string("Say hello"));
        AppendCommand(kAbout);
        SetCommandName(kAbout, qz_string("About HelloPlugIn"));
    }
    ~HelloMenu() = default;

    bool DoItem(std::int32_t id1, std::int32_t id2) override {
        const PlugIn::CommandID chosen{id1, id2};
        if (chosen == kSayHello) {
            PlugIn::results << "Hello from HelloPlugIn." << std::endl;
            return true;
        }
        if (chosen == kAbout) {
            PlugIn::results << "HelloPlugIn 1.0: Invert(image) negates an image of 4-byte reals."
                            << std::endl;
            return true;
        }
        return false;
    }
};

}  // namespace

// The module's main object: registers the script function and installs the menu when the host
// starts the module, takes the menu away when the host shuts the module down. The function stays
// registered until the module unloads, when the base class withdraws it.
class HelloPlugIn final : public Vorna::PlugIn::PlugInMain {
  public:
    void Startup() override {
        AddFunction<&Invert>(kInvertSignature);
        // A menu needs the linked host: it cannot be a static object of its own.
        if (!fMenu) fMenu.emplace();
    }
    // Menus must be gone before the module unloads: the framework's menu list is torn down first.
    void Shutdown() override { fMenu.reset(); }

  private:
    std::optional<HelloMenu> fMenu;
};

namespace {
// The one main object, built at load and destroyed at unload.
HelloPlugIn sHelloPlugIn;
}  // namespace

}  // namespace Hello
