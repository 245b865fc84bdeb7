// The three special displays: line plots (slices, channels, styles and colours), rasters
// (threshold) and surface plots (cube axes, shading). Each function takes a display of its own
// kind only.
#include "ViewState.h"

namespace StandIn {
namespace {

constexpr std::size_t kSliceColourComponents = 2;  // 0: the line, 1: the fill
constexpr std::int32_t kDefaultSliceStyle = 1;

DisplayData& linePlot(Host::State& s, NativeCall& c) {
    return *kindArg(s, c, 0, ObjectKind::LinePlotImageDisplay).display;
}
DisplayData& raster(Host::State& s, NativeCall& c) {
    return *kindArg(s, c, 0, ObjectKind::RasterImageDisplay).display;
}
DisplayData& surfacePlot(Host::State& s, NativeCall& c) {
    return *kindArg(s, c, 0, ObjectKind::SurfacePlotImageDisplay).display;
}

// A line plot draws one slice per row of its image.
std::size_t sliceCount(Host::State& s, const DisplayData& d) {
    HostObject* image = s.live(d.image, ObjectKind::Image);
    if (!image || image->image->sizes.size() < 2) return 1;
    return image->image->sizes[1];
}

std::int32_t sliceArg(Host::State& s, NativeCall& c, const DisplayData& d, std::size_t i) {
    checkIndex(c, c.int32(i), sliceCount(s, d), "slice", "slices");
    return c.int32(i);
}

template <typename T>
void writeTwo(NativeCall& c, std::size_t first, T a, T b) {
    if (auto* p = c.pointerTo<T>(first)) *p = a;
    if (auto* p = c.pointerTo<T>(first + 1)) *p = b;
}

// Booleans go through one-byte temporaries.
void writeTwoBooleans(NativeCall& c, std::size_t first, bool a, bool b) {
    writeTwo<unsigned char>(c, first, a ? 1 : 0, b ? 1 : 0);
}

void defineLinePlotSlices(Host& host, Host::State& s) {
    host.define("long LinePlotImageDisplayCountSlices( LinePlotImageDisplay )",
                [&s](NativeCall& c) {
                    c.setResult(static_cast<std::int32_t>(sliceCount(s, linePlot(s, c))));
                });
    host.define("long LinePlotImageDisplayGetSlice( LinePlotImageDisplay )",
                [&s](NativeCall& c) { c.setResult(linePlot(s, c).slice); });
    host.define("void LinePlotImageDisplaySetSlice( LinePlotImageDisplay, long )",
                [&s](NativeCall& c) {
                    DisplayData& d = linePlot(s, c);
                    d.slice = sliceArg(s, c, d, 1);
                });
    host.define("long LinePlotImageDisplayGetSliceDrawingStyle( LinePlotImageDisplay, long )",
                [&s](NativeCall& c) {
                    DisplayData& d = linePlot(s, c);
                    auto style = d.sliceStyles.find(sliceArg(s, c, d, 1));
                    c.setResult(style == d.sliceStyles.end() ? kDefaultSliceStyle : style->second);
                });
    host.define("void LinePlotImageDisplaySetSliceDrawingStyle( LinePlotImageDisplay, long, long )",
                [&s](NativeCall& c) {
                    DisplayData& d = linePlot(s, c);
                    d.sliceStyles[sliceArg(s, c, d, 1)] = c.int32(2);
                });
    host.define(
        "void LinePlotImageDisplayGetSliceComponentColor( LinePlotImageDisplay, long, long, double "
        "*, double *, double * )",
        [&s](NativeCall& c) {
            DisplayData& d = linePlot(s, c);
            std::int32_t slice = sliceArg(s, c, d, 1);
            checkIndex(c, c.int32(2), kSliceColourComponents, "colour component",
                       "colour components");
            std::array<double, 3> colour{{0.0, 0.0, 0.0}};  // black lines and fills
            auto known = d.sliceColours.find({slice, c.int32(2)});
            if (known != d.sliceColours.end()) colour = known->second;
            for (std::size_t k = 0; k < 3; ++k)
                if (auto* p = c.pointerTo<double>(3 + k)) *p = colour[k];
        });
    host.define(
        "void LinePlotImageDisplaySetSliceComponentColor( LinePlotImageDisplay, long, long, "
        "double, "
        "double, double )",
        [&s](NativeCall& c) {
            DisplayData& d = linePlot(s, c);
            std::int32_t slice = sliceArg(s, c, d, 1);
            checkIndex(c, c.int32(2), kSliceColourComponents, "colour component",
                       "colour components");
            d.sliceColours[{slice, c.int32(2)}] = {{c.float64(3), c.float64(4), c.float64(5)}};
        });
}

void defineLinePlotAxes(Host& host, Host::State& s) {
    host.define("double LinePlotImageDisplayGetBaseIntensity( LinePlotImageDisplay )",
                [&s](NativeCall& c) { c.setResult(linePlot(s, c).baseIntensity); });
    host.define("void LinePlotImageDisplaySetBaseIntensity( LinePlotImageDisplay, double )",
                [&s](NativeCall& c) { linePlot(s, c).baseIntensity = c.float64(1); });
    host.define(
        "void LinePlotImageDisplayGetContrastLimits( LinePlotImageDisplay, float *, float * )",
        [&s](NativeCall& c) {
            std::pair<float, float> limits = contrastLimits(s, linePlot(s, c));
            writeTwo(c, 1, limits.first, limits.second);
        });
    host.define(
        "void LinePlotImageDisplaySetContrastLimits( LinePlotImageDisplay, float, float )",
        [&s](NativeCall& c) { setContrastLimits(linePlot(s, c), c.float32(1), c.float32(2)); });
    host.define(
        "void LinePlotImageDisplayGetDoAutoSurvey( LinePlotImageDisplay, Boolean *, Boolean * )",
        [&s](NativeCall& c) {
            DisplayData& d = linePlot(s, c);
            writeTwoBooleans(c, 1, d.autoSurveyLow, d.autoSurveyHigh);
        });
    host.define(
        "void LinePlotImageDisplaySetDoAutoSurvey( LinePlotImageDisplay, Boolean, Boolean )",
        [&s](NativeCall& c) {
            DisplayData& d = linePlot(s, c);
            d.autoSurveyLow = c.boolean(1);
            d.autoSurveyHigh = c.boolean(2);
        });
    host.define(
        "void LinePlotImageDisplayGetDisplayedChannels( LinePlotImageDisplay, float *, float * )",
        [&s](NativeCall& c) {
            DisplayData& d = linePlot(s, c);
            writeTwo(c, 1, d.firstChannel, d.lastChannel);
        });
    host.define(
        "void LinePlotImageDisplaySetDisplayedChannels( LinePlotImageDisplay, float, float )",
        [&s](NativeCall& c) {
            DisplayData& d = linePlot(s, c);
            float first = coordinateArg(c, 1), last = coordinateArg(c, 2);
            if (last < first) throw callError(c, "the last channel lies before the first.");
            d.firstChannel = first;
            d.lastChannel = last;
        });
    host.define(
        "void LinePlotImageDisplayGetTrackingStyle( LinePlotImageDisplay, uint16 *, uint16 * )",
        [&s](NativeCall& c) {
            DisplayData& d = linePlot(s, c);
            writeTwo(c, 1, d.trackingX, d.trackingY);
        });
    host.define("void LinePlotImageDisplaySetTrackingStyle( LinePlotImageDisplay, uint16, uint16 )",
                [&s](NativeCall& c) {
                    DisplayData& d = linePlot(s, c);
                    d.trackingX = c.uint16(1);
                    d.trackingY = c.uint16(2);
                });
}

void defineLinePlotFlags(Host& host, Host::State& s) {
    struct Flag {
        const char* get;
        const char* set;
        bool DisplayData::*field;
    };
    const Flag flags[] = {
        {"Boolean LinePlotImageDisplayIsBackgroundOn( LinePlotImageDisplay )",
         "void LinePlotImageDisplaySetBackgroundOn( LinePlotImageDisplay, Boolean )",
         &DisplayData::backgroundOn},
        {"Boolean LinePlotImageDisplayIsFilled( LinePlotImageDisplay )",
         "void LinePlotImageDisplaySetFilled( LinePlotImageDisplay, Boolean )",
         &DisplayData::filled},
        {"Boolean LinePlotImageDisplayIsFrameOn( LinePlotImageDisplay )",
         "void LinePlotImageDisplaySetFrameOn( LinePlotImageDisplay, Boolean )",
         &DisplayData::frameOn},
        {"Boolean LinePlotImageDisplayIsGridOn( LinePlotImageDisplay )",
         "void LinePlotImageDisplaySetGridOn( LinePlotImageDisplay, Boolean )",
         &DisplayData::gridOn},
    };
    for (const Flag& f : flags) {
        bool DisplayData::*field = f.field;
        host.define(f.get,
                    [&s, field](NativeCall& c) { c.setResultBoolean(linePlot(s, c).*field); });
        host.define(f.set, [&s, field](NativeCall& c) { linePlot(s, c).*field = c.boolean(1); });
    }
}

void defineRaster(Host& host, Host::State& s) {
    host.define("Boolean RasterImageDisplayIsThresholdOn( RasterImageDisplay )",
                [&s](NativeCall& c) { c.setResultBoolean(raster(s, c).thresholdOn); });
    host.define("void RasterImageDisplaySetThresholdOn( RasterImageDisplay, Boolean )",
                [&s](NativeCall& c) { raster(s, c).thresholdOn = c.boolean(1); });
    host.define("void RasterImageDisplayGetThresholdLimits( RasterImageDisplay, float *, float * )",
                [&s](NativeCall& c) {
                    DisplayData& d = raster(s, c);
                    writeTwo(c, 1, d.thresholdLow, d.thresholdHigh);
                });
    host.define("void RasterImageDisplaySetThresholdLimits( RasterImageDisplay, float, float )",
                [&s](NativeCall& c) {
                    DisplayData& d = raster(s, c);
                    d.thresholdLow = c.float32(1);
                    d.thresholdHigh = c.float32(2);
                });
}

void defineSurfacePlot(Host& host, Host::State& s) {
    host.define("Boolean SurfacePlotImageDisplayIsShadingOn( SurfacePlotImageDisplay )",
                [&s](NativeCall& c) { c.setResultBoolean(surfacePlot(s, c).shadingOn); });
    host.define("void SurfacePlotImageDisplaySetShadingOn( SurfacePlotImageDisplay, Boolean )",
                [&s](NativeCall& c) { surfacePlot(s, c).shadingOn = c.boolean(1); });
    host.define(
        "void SurfacePlotImageDisplayGetCubeAxes( SurfacePlotImageDisplay, float *, float *, float "
        "*, float *, float * )",
        [&s](NativeCall& c) {
            DisplayData& d = surfacePlot(s, c);
            for (std::size_t k = 0; k < d.cubeAxes.size(); ++k)
                if (auto* p = c.pointerTo<float>(1 + k)) *p = d.cubeAxes[k];
        });
    host.define(
        "void SurfacePlotImageDisplaySetCubeAxes( SurfacePlotImageDisplay, float, float, float, "
        "float, float )",
        [&s](NativeCall& c) {
            DisplayData& d = surfacePlot(s, c);
            std::array<float, 5> axes;
            for (std::size_t k = 0; k < axes.size(); ++k) axes[k] = coordinateArg(c, 1 + k);
            d.cubeAxes = axes;
        });
}

}  // namespace

void definePlotDisplayFunctions(Host& host) {
    Host::State& s = host.state();
    defineLinePlotSlices(host, s);
    defineLinePlotAxes(host, s);
    defineLinePlotFlags(host, s);
    defineRaster(host, s);
    defineSurfacePlot(host, s);
}

}  // namespace StandIn
