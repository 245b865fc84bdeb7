// A module for the tests of the stand-in host's limits, built against the framework as a plug-in
// author's is. It calls a host function the stand-in host does not provide, opening a file, among
// functions it does provide, and registers its functions with the spacing a person writes:
//   SettingsFlag     opens its settings file through the host; the call fails and the error
//                    reaches the host
//   WidthOrSettings  answers the image's width, then tries its settings file and carries on
//                    without it
// Its Run hook stops every acquisition, which the stand-in host does not provide either.
#include <cstdint>

#include "errors/Exceptions.h"
#include "hostcall/Stubs.h"
#include "shell/PlugInMain.h"

namespace {

using namespace Vorna;

const FrameworkUnitUsers sUsers;

void SettingsFlag(std::int32_t& result, const char* path) {
    QZ::OpenFileForReading(path);
    result = 1;
}

void WidthOrSettings(std::int32_t& result, Handle* image, const char* path) {
    const ImageRef input(*image);
    result = static_cast<std::int32_t>(QZ::ImageGetDimensionSize(input, 0));
    try {
        QZ::OpenFileForReading(path);
        result = -result;
    } catch (const PlugIn::qzplugin_exception&) {
        // No settings: the width alone.
    }
}

class HostLimitsPlugIn : public PlugIn::PlugInMain {
  public:
    void Startup() override {
        AddFunction<&SettingsFlag>("long SettingsFlag( string)");
        AddFunction<&WidthOrSettings>("long  WidthOrSettings(ImageRef*, string )");
    }
    void Run() override { QZ::AbortAllAcquisitionDaemons(); }
};

HostLimitsPlugIn sPlugIn;

}  // namespace
