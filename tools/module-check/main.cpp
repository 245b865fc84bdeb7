// photarion-module-check: loads a built module through the stand-in host's loader, exactly as the
// host application would (by path, with the platform's own loader), runs HoughTransform and
// shiftImage on the golden cases, and checks that
//   - every result has the golden checksum (the same bits on every target),
//   - the module registered its two functions, raised no error, and
//   - after shutdown and unload nothing is left behind: the library has left the process and the
//     host's leak report is clean.
//
// usage: photarion-module-check MODULE [RESULTS]   RESULTS receives every result's raw floats
//        photarion-module-check --print-golden MODULE   prints the checksum table (Golden.inc)
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "GoldenCases.h"
#include "Host.h"
#include "Module.h"

namespace {

using Vorna::Handle;
using HoughEntry = Handle (*)(Handle*);
using ShiftEntry = Handle (*)(Handle*, float, float);

StandIn::ElementType HostType(ModuleCheck::Element element) {
    using ModuleCheck::Element;
    using StandIn::ElementType;
    switch (element) {
        case Element::Float32: return ElementType::Float32;
        case Element::Float64: return ElementType::Float64;
        case Element::Int8: return ElementType::Int8;
        case Element::UInt8: return ElementType::UInt8;
        case Element::Int16: return ElementType::Int16;
        case Element::UInt16: return ElementType::UInt16;
        case Element::Int32: return ElementType::Int32;
        case Element::UInt32: return ElementType::UInt32;
    }
    return ElementType::Float32;
}

// The platform's own spelling of a path given with forward slashes.
std::string NativePath(std::string path) {
#ifdef _WIN32
    for (char& c : path)
        if (c == '/') c = '\\';
#endif
    return path;
}

struct Outcome {
    int passed = 0;
    int failed = 0;
    void Check(bool ok, const std::string& what) {
        if (ok) {
            ++passed;
        } else {
            ++failed;
            std::printf("FAILED: %s\n", what.c_str());
        }
    }
};

int Run(const std::string& modulePath, const char* resultsPath, bool printGolden) {
    Outcome outcome;
    StandIn::Host host;
    std::FILE* results = nullptr;
    if (resultsPath) {
        results = std::fopen(resultsPath, "wb");
        if (!results) {
            std::fprintf(stderr, "cannot write %s\n", resultsPath);
            return 2;
        }
    }
    {
        StandIn::Module module = StandIn::Module::load(NativePath(modulePath));
        outcome.Check(module.version() == Vorna::kLinkVersion, "QZPlugIn_GetVersion answers 2");
        module.link(host);
        module.startup();
        const auto& registrations = host.registrations();
        outcome.Check(registrations.size() == 2 && registrations[0].name == "shiftImage" &&
                          registrations[1].name == "HoughTransform",
                      "PlugInStartup registers shiftImage, then HoughTransform");
        const auto hough = host.entry<HoughEntry>("HoughTransform");
        const auto shift = host.entry<ShiftEntry>("shiftImage");
        if (!hough || !shift) {
            std::printf("FAILED: the module's functions are not registered\n");
            return 1;
        }

        const auto& cases = ModuleCheck::Cases();
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const ModuleCheck::Case& c = cases[i];
            const std::string name = ModuleCheck::Name(c);
            const std::vector<unsigned char> bytes = ModuleCheck::InputBytes(c);
            Handle input = host.createImage({HostType(c.element), {c.width, c.height}, "input"},
                                            bytes.data(), bytes.size());
            const Handle result = c.operation == ModuleCheck::Operation::Hough
                                      ? hough(&input)
                                      : shift(&input, c.dx, c.dy);
            if (result) host.keep(result);  // the returned count now belongs to the host
            const std::vector<std::string> errors = host.raisedErrors();
            host.clearRaisedErrors();
            if (!result || !errors.empty()) {
                outcome.Check(false,
                              name + ": no result" + (errors.empty() ? "" : ": " + errors[0]));
                host.drop(input);
                continue;
            }
            const StandIn::ImageInfo info = host.image(result);
            const std::vector<float> pixels = host.imagePixels<float>(result);
            const bool shaped =
                info.type == StandIn::ElementType::Float32 &&
                info.sizes == std::vector<std::uint32_t>{ModuleCheck::ResultWidth(c),
                                                         ModuleCheck::ResultHeight(c)};
            const std::uint64_t checksum = ModuleCheck::Checksum(pixels.data(), pixels.size());
            if (printGolden) {
                std::printf("    0x%016" PRIx64 "u,  // %s\n", checksum, name.c_str());
            } else {
                const bool same = shaped && checksum == ModuleCheck::Golden(i);
                std::printf("%-40s %016" PRIx64 " %s\n", name.c_str(), checksum,
                            same ? "ok" : "DIFFERS");
                outcome.Check(
                    same, name + ": expected checksum " + [&] {
                        char text[32];
                        std::snprintf(text, sizeof text, "%016" PRIx64, ModuleCheck::Golden(i));
                        return std::string(text);
                    }());
            }
            if (results) std::fwrite(pixels.data(), sizeof(float), pixels.size(), results);
            host.drop(result);
            host.drop(input);
        }

        module.run();
        module.cleanup();
        module.shutdown();
        outcome.Check(module.unload(), "the library leaves the process when unloaded");
    }
    if (results) std::fclose(results);
    const StandIn::LeakReport report = host.leakReport();
    outcome.Check(report.clean(), "leak report after unload: " + report.toString());
    outcome.Check(host.activeImageLocks() == 0, "no image left locked");
    if (printGolden) return outcome.failed == 0 ? 0 : 1;
    std::printf("leak report: %s\n", report.toString().c_str());
    std::printf("module check: %d passed, %d failed\n", outcome.passed, outcome.failed);
    return outcome.failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 3 && std::strcmp(argv[1], "--print-golden") == 0)
            return Run(argv[2], nullptr, true);
        if (argc == 2 || argc == 3) return Run(argv[1], argc == 3 ? argv[2] : nullptr, false);
        std::fprintf(stderr,
                     "usage: photarion-module-check MODULE [RESULTS]\n"
                     "       photarion-module-check --print-golden MODULE\n");
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "photarion-module-check: %s\n", e.what());
        return 1;
    }
}
