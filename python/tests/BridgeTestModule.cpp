// A module for the Python bridge's tests, built against the framework like a real one:
//   RealImagePtr Same(ImageRef *)  answers its input image itself, with a count for the host, so
//                                  that every element type, name and calibration comes back as
//                                  the host holds it
//   long KeepsLoan(qz_string)      answers the string's length and never returns the loan of its
//                                  text
// a menu "Bridge" whose command 3,1 writes to the results window and whose command 3,2 fails,
// and a static object that, when the library unloads, appends a line to the file named by
// PHOTARION_BRIDGE_TEST_MARKER (when set): the proof that the module's static destructors ran.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <ostream>

#include "errors/Exceptions.h"
#include "errors/ResultsStream.h"
#include "menus/PlugInMenu.h"
#include "shell/Environment.h"
#include "shell/PlugInMain.h"

namespace {

using namespace Vorna;

const FrameworkUnitUsers sUsers;

void Same(ImageRef& result, Handle* image) { result = ImageRef(image ? *image : 0); }

std::int32_t KeepsLoan(Handle text) {
    std::uint32_t length = 0;
    PlugIn::RunGuarded([&] {
        HostEnvironment* environment = CurrentEnvironment();
        HostCallContext* context = environment->table->newCallContext(environment);
        std::uint32_t token = 0;
        context->table->lockString(context, text, kEncodingNarrow, &length, &token);
        context->table->release(context);  // the fault: unlockString is never called
    });
    return static_cast<std::int32_t>(length);
}

constexpr PlugIn::CommandID kSay{3, 1};
constexpr PlugIn::CommandID kRefuse{3, 2};

class BridgeMenu final : public PlugIn::StandardPlugInMenu {
  public:
    BridgeMenu() : StandardPlugInMenu(qz_string("Bridge")) {
        AppendCommand(kSay);
        SetCommandName(kSay, qz_string("Say"));
        AppendCommand(kRefuse);
        SetCommandName(kRefuse, qz_string("Refuse"));
    }
    ~BridgeMenu() = default;

    bool DoItem(std::int32_t id1, std::int32_t id2) override {
        const PlugIn::CommandID chosen{id1, id2};
        if (chosen == kSay) {
            PlugIn::results << "chosen 3,1" << std::endl;
            return true;
        }
        if (chosen == kRefuse) ThrowMessage("The bridge menu refuses.");
        return false;
    }
};

class BridgeTestPlugIn final : public PlugIn::PlugInMain {
  public:
    void Startup() override {
        AddFunction<&Same>("RealImagePtr Same(ImageRef *)");
        AddFunction("long KeepsLoan(qz_string)", reinterpret_cast<void*>(&KeepsLoan));
        if (!fMenu) fMenu.emplace();
    }
    void Shutdown() override { fMenu.reset(); }

  private:
    std::optional<BridgeMenu> fMenu;
};

BridgeTestPlugIn sPlugIn;

struct UnloadMarker {
    ~UnloadMarker() {
        const char* path = std::getenv("PHOTARION_BRIDGE_TEST_MARKER");
        if (!path) return;
        if (std::FILE* file = std::fopen(path, "a")) {
            std::fputs("static destructors ran\n", file);
            std::fclose(file);
        }
    }
} sMarker;

}  // namespace
