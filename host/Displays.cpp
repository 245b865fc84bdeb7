// Image displays: the displays of an image, a display's image, type, contrast and survey
// settings, and the ROIs it holds with their selection.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "ViewState.h"

namespace StandIn {
namespace {

template <typename T>
T elementAt(const ImageData& d, std::size_t i) {
    T v;
    std::memcpy(&v, d.bytes.data() + i * sizeof(T), sizeof(T));
    return v;
}

// Element i of an image as one number: complex values by their modulus, RGB by the mean of the
// three channels.
double valueAt(const ImageData& d, std::size_t i) {
    switch (d.type) {
        case ElementType::Float32: return elementAt<float>(d, i);
        case ElementType::Float64: return elementAt<double>(d, i);
        case ElementType::Int8: return elementAt<std::int8_t>(d, i);
        case ElementType::Int16: return elementAt<std::int16_t>(d, i);
        case ElementType::Int32: return elementAt<std::int32_t>(d, i);
        case ElementType::UInt8: return elementAt<std::uint8_t>(d, i);
        case ElementType::UInt16: return elementAt<std::uint16_t>(d, i);
        case ElementType::UInt32: return elementAt<std::uint32_t>(d, i);
        case ElementType::Binary: return elementAt<std::uint8_t>(d, i) != 0 ? 1.0 : 0.0;
        case ElementType::Complex64: {
            float re = elementAt<float>(d, 2 * i), im = elementAt<float>(d, 2 * i + 1);
            return std::hypot(static_cast<double>(re), static_cast<double>(im));
        }
        case ElementType::Complex128: {
            double re = elementAt<double>(d, 2 * i), im = elementAt<double>(d, 2 * i + 1);
            return std::hypot(re, im);
        }
        case ElementType::RGB: {
            const unsigned char* p = d.bytes.data() + 4 * i;
            return (p[0] + p[1] + p[2]) / 3.0;
        }
    }
    return 0.0;
}

DisplayData& display(Host::State& s, NativeCall& c) { return *displayArg(s, c, 0).display; }

std::vector<DisplayRoi>::iterator roiOnDisplay(Host::State& s, NativeCall& c, DisplayData& d,
                                               std::size_t i) {
    HostObject& roi = roiArg(s, c, i);
    auto at = std::find_if(d.rois.begin(), d.rois.end(),
                           [&roi](const DisplayRoi& r) { return r.roi == roi.handle; });
    if (at == d.rois.end())
        throw callError(c, "the ROI " + hexHandle(roi.handle) + " is not on this display.");
    return at;
}

Vorna::Handle findRoi(Host::State& s, const DisplayData& d, const std::u16string* name,
                      std::int32_t id) {
    for (const DisplayRoi& r : d.rois) {
        HostObject* o = s.live(r.roi, ObjectKind::RegionOfInterest);
        if (!o) continue;
        RoiData& roi = roiOf(s, *o);
        if (name ? roi.name == *name : roi.spec.id == id) return r.roi;
    }
    return 0;
}

std::uint32_t layerCount(Host::State& s, const DisplayData& d) {
    HostObject* im = s.live(d.image, ObjectKind::Image);
    return im && im->image->sizes.size() > 2 ? im->image->sizes[2] : 1;
}

void defineImageLinks(Host& host, Host::State& s) {
    host.define("ImageDisplay ImageCreateImageDisplay( ImageRef, long )", [&s](NativeCall& c) {
        HostObject& image = imageArg(s, c, 0);
        std::int32_t type = resolveDisplayType(s, image.handle, c.int32(1));
        displayKind(c, type);
        c.setResultHandle(newDisplay(s, image.handle, type, 1, 0).handle);
    });
    host.define("long ImageCountImageDisplays( ImageRef )", [&s](NativeCall& c) {
        auto n = displaysOfImage(s, imageArg(s, c, 0).handle).size();
        c.setResult(static_cast<std::int32_t>(n));
    });
    host.define("ImageDisplay ImageGetImageDisplay( ImageRef, long )", [&s](NativeCall& c) {
        std::vector<Vorna::Handle> displays = displaysOfImage(s, imageArg(s, c, 0).handle);
        checkIndex(c, c.int32(1), displays.size(), "display", "displays");
        c.setResultHandle(toCaller(*s.find(displays[static_cast<std::size_t>(c.int32(1))])));
    });
    auto inDocument = [&s](NativeCall& c) {
        Vorna::Handle image = imageArg(s, c, 0).handle;
        std::vector<Vorna::Handle> out;
        for (Vorna::Handle h : displaysOfDocument(s, documentArg(s, c, 1)))
            if (s.find(h)->display && s.find(h)->display->image == image) out.push_back(h);
        return out;
    };
    host.define("long ImageCountImageDisplaysInImageDocument( ImageRef, ImageDocument )",
                [inDocument](NativeCall& c) {
                    c.setResult(static_cast<std::int32_t>(inDocument(c).size()));
                });
    host.define(
        "ImageDisplay ImageGetImageDisplayInImageDocument( ImageRef, ImageDocument, long )",
        [&s, inDocument](NativeCall& c) {
            std::vector<Vorna::Handle> displays = inDocument(c);
            checkIndex(c, c.int32(2), displays.size(), "display", "displays");
            c.setResultHandle(toCaller(*s.find(displays[static_cast<std::size_t>(c.int32(2))])));
        });
}

void defineDisplayRois(Host& host, Host::State& s) {
    host.define("void ImageDisplayAddROI( ImageDisplay, ROI )", [&s](NativeCall& c) {
        DisplayData& d = display(s, c);
        HostObject& roi = roiArg(s, c, 1);
        bool there = std::any_of(d.rois.begin(), d.rois.end(),
                                 [&roi](const DisplayRoi& r) { return r.roi == roi.handle; });
        if (there) return;  // an ROI is on a display once
        hold(roi);
        d.rois.push_back(DisplayRoi{roi.handle, false, 0});
    });
    host.define("void ImageDisplayDeleteROI( ImageDisplay, ROI )", [&s](NativeCall& c) {
        DisplayData& d = display(s, c);
        auto at = roiOnDisplay(s, c, d, 1);
        Vorna::Handle roi = at->roi;
        d.rois.erase(at);
        letGo(s, roi);
    });
    host.define("long ImageDisplayCountROIs( ImageDisplay )", [&s](NativeCall& c) {
        c.setResult(static_cast<std::int32_t>(display(s, c).rois.size()));
    });
    host.define("ROI ImageDisplayGetROI( ImageDisplay, long )", [&s](NativeCall& c) {
        DisplayData& d = display(s, c);
        checkIndex(c, c.int32(1), d.rois.size(), "ROI", "ROIs");
        c.setResultHandle(toCaller(*s.find(d.rois[static_cast<std::size_t>(c.int32(1))].roi)));
    });
    host.define("Boolean ImageDisplayDoesROIExist( ImageDisplay, string )", [&s](NativeCall& c) {
        DisplayData& d = display(s, c);
        const char* text = c.text(1);
        std::u16string name = latin1ToUnits(text, std::strlen(text));
        c.setResultBoolean(findRoi(s, d, &name, 0) != 0);
    });
    host.define("ROI ImageDisplayLookupROI( ImageDisplay, string )", [&s](NativeCall& c) {
        DisplayData& d = display(s, c);
        const char* text = c.text(1);
        std::u16string name = latin1ToUnits(text, std::strlen(text));
        Vorna::Handle found = findRoi(s, d, &name, 0);
        c.setResultHandle(found ? toCaller(*s.find(found)) : 0);
    });
    host.define("ROI ImageDisplayLookupROIByID( ImageDisplay, long )", [&s](NativeCall& c) {
        Vorna::Handle found = findRoi(s, display(s, c), nullptr, c.int32(1));
        c.setResultHandle(found ? toCaller(*s.find(found)) : 0);
    });
    host.define("Boolean ImageDisplayIsROISelected( ImageDisplay, ROI )", [&s](NativeCall& c) {
        c.setResultBoolean(roiOnDisplay(s, c, display(s, c), 1)->selected);
    });
    host.define(
        "void ImageDisplaySetROISelected( ImageDisplay, ROI, Boolean )",
        [&s](NativeCall& c) { roiOnDisplay(s, c, display(s, c), 1)->selected = c.boolean(2); });
    host.define("long ImageDisplayGetROISelectionStyle( ImageDisplay, ROI )", [&s](NativeCall& c) {
        c.setResult(roiOnDisplay(s, c, display(s, c), 1)->selectionStyle);
    });
    host.define(
        "void ImageDisplaySetROISelectionStyle( ImageDisplay, ROI, long )",
        [&s](NativeCall& c) { roiOnDisplay(s, c, display(s, c), 1)->selectionStyle = c.int32(2); });
}

void defineDisplaySettings(Host& host, Host::State& s) {
    host.define("Boolean ImageDisplayIsValid( ImageDisplay )",
                [&s](NativeCall& c) { c.setResultBoolean(isLiveArg(s, c, 0, isDisplayKind)); });
    host.define("ImageRef ImageDisplayGetImage( ImageDisplay )", [&s](NativeCall& c) {
        HostObject& o = displayArg(s, c, 0);
        HostObject* image = s.live(o.display->image, ObjectKind::Image);
        if (!image) throw callError(c, "the display " + hexHandle(o.handle) + " shows no image.");
        c.setResultHandle(toCaller(*image));
    });
    host.define("long ImageDisplayGetDisplayType( ImageDisplay )",
                [&s](NativeCall& c) { c.setResult(display(s, c).type); });
    host.define("void ImageDisplayChangeDisplayType( ImageDisplay, long )", [&s](NativeCall& c) {
        HostObject& o = displayArg(s, c, 0);
        std::int32_t type = resolveDisplayType(s, o.display->image, c.int32(1));
        o.kind = displayKind(c, type);
        o.display->type = type;
    });
    host.define("void ImageDisplayGetImageRect( ImageDisplay, float *, float *, float *, float * )",
                [&s](NativeCall& c) {
                    const FloatRect& r = display(s, c).imageRect;
                    const float values[4] = {r.top, r.left, r.bottom, r.right};
                    for (std::size_t k = 0; k < 4; ++k)
                        if (auto* p = c.pointerTo<float>(1 + k)) *p = values[k];
                });
    host.define("void ImageDisplaySetImageRect( ImageDisplay, float, float, float, float )",
                [&s](NativeCall& c) {
                    DisplayData& d = display(s, c);
                    FloatRect r{coordinateArg(c, 1), coordinateArg(c, 2), coordinateArg(c, 3),
                                coordinateArg(c, 4)};
                    checkRect(c, r.top, r.left, r.bottom, r.right);
                    d.imageRect = r;
                });
    host.define("void ImageDisplayGetContrastLimits( ImageDisplay, float *, float * )",
                [&s](NativeCall& c) {
                    std::pair<float, float> limits = contrastLimits(s, display(s, c));
                    if (auto* p = c.pointerTo<float>(1)) *p = limits.first;
                    if (auto* p = c.pointerTo<float>(2)) *p = limits.second;
                });
    host.define(
        "void ImageDisplaySetContrastLimits( ImageDisplay, float, float )",
        [&s](NativeCall& c) { setContrastLimits(display(s, c), c.float32(1), c.float32(2)); });
    host.define("Boolean ImageDisplayGetDoAutoSurvey( ImageDisplay )", [&s](NativeCall& c) {
        DisplayData& d = display(s, c);
        c.setResultBoolean(d.autoSurveyLow && d.autoSurveyHigh);
    });
    host.define("void ImageDisplaySetDoAutoSurvey( ImageDisplay, Boolean )", [&s](NativeCall& c) {
        DisplayData& d = display(s, c);
        d.autoSurveyLow = d.autoSurveyHigh = c.boolean(1);
    });
    host.define("long ImageDisplayGetContrastMode( ImageDisplay )",
                [&s](NativeCall& c) { c.setResult(display(s, c).contrastMode); });
    host.define("void ImageDisplaySetContrastMode( ImageDisplay, long )",
                [&s](NativeCall& c) { display(s, c).contrastMode = c.int32(1); });
    host.define("void ImageDisplayGetContrastParameters( ImageDisplay, float *, float * )",
                [&s](NativeCall& c) {
                    DisplayData& d = display(s, c);
                    if (auto* p = c.pointerTo<float>(1)) *p = d.brightness;
                    if (auto* p = c.pointerTo<float>(2)) *p = d.contrast;
                });
    host.define("void ImageDisplaySetContrastParameters( ImageDisplay, float, float )",
                [&s](NativeCall& c) {
                    DisplayData& d = display(s, c);
                    d.brightness = c.float32(1);
                    d.contrast = c.float32(2);
                });
    host.define("float ImageDisplayGetMinimumContrast( ImageDisplay )",
                [&s](NativeCall& c) { c.setResult(display(s, c).minimumContrast); });
    host.define("void ImageDisplaySetMinimumContrast( ImageDisplay, float )",
                [&s](NativeCall& c) { display(s, c).minimumContrast = c.float32(1); });
    host.define("long ImageDisplayGetSurveyTechnique( ImageDisplay )",
                [&s](NativeCall& c) { c.setResult(display(s, c).surveyTechnique); });
    host.define("void ImageDisplaySetSurveyTechnique( ImageDisplay, long )",
                [&s](NativeCall& c) { display(s, c).surveyTechnique = c.int32(1); });
    host.define("long ImageDisplayGetComplexMode( ImageDisplay )",
                [&s](NativeCall& c) { c.setResult(display(s, c).complexMode); });
    host.define("void ImageDisplaySetComplexMode( ImageDisplay, long )",
                [&s](NativeCall& c) { display(s, c).complexMode = c.int32(1); });
    host.define("float ImageDisplayGetComplexModeRange( ImageDisplay )",
                [&s](NativeCall& c) { c.setResult(display(s, c).complexModeRange); });
    host.define("void ImageDisplaySetComplexModeRange( ImageDisplay, float )",
                [&s](NativeCall& c) { display(s, c).complexModeRange = c.float32(1); });
    host.define("Boolean ImageDisplayIsCaptionOn( ImageDisplay )",
                [&s](NativeCall& c) { c.setResultBoolean(display(s, c).captionOn); });
    host.define("void ImageDisplaySetCaptionOn( ImageDisplay, Boolean )",
                [&s](NativeCall& c) { display(s, c).captionOn = c.boolean(1); });
    host.define("void ImageDisplayGetDisplayedLayers( ImageDisplay, long *, long * )",
                [&s](NativeCall& c) {
                    DisplayData& d = display(s, c);
                    if (auto* p = c.pointerTo<std::int32_t>(1)) *p = d.firstLayer;
                    if (auto* p = c.pointerTo<std::int32_t>(2)) *p = d.lastLayer;
                });
    host.define("void ImageDisplaySetDisplayedLayers( ImageDisplay, long, long )",
                [&s](NativeCall& c) {
                    DisplayData& d = display(s, c);
                    std::int32_t first = c.int32(1), last = c.int32(2);
                    std::uint32_t layers = layerCount(s, d);
                    if (first < 0 || last < first || static_cast<std::uint32_t>(last) >= layers) {
                        throw callError(c, "layers " + std::to_string(first) + " to " +
                                               std::to_string(last) + " are not within 0 to " +
                                               std::to_string(layers - 1) + ".");
                    }
                    d.firstLayer = first;
                    d.lastLayer = last;
                });
}

}  // namespace

void setContrastLimits(DisplayData& d, float low, float high) {
    d.low = low;
    d.high = high;
    d.autoSurveyLow = d.autoSurveyHigh = false;
}

std::pair<float, float> contrastLimits(Host::State& s, DisplayData& d) {
    HostObject* image = s.live(d.image, ObjectKind::Image);
    if (!image || (!d.autoSurveyLow && !d.autoSurveyHigh)) return {d.low, d.high};
    const ImageData& data = *image->image;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (std::size_t i = 0, n = data.elementCount(); i < n; ++i) {
        double v = valueAt(data, i);
        if (std::isnan(v)) continue;
        low = std::min(low, v);
        high = std::max(high, v);
    }
    if (low > high) low = high = 0.0;  // no value is a number
    return {d.autoSurveyLow ? static_cast<float>(low) : d.low,
            d.autoSurveyHigh ? static_cast<float>(high) : d.high};
}

void defineDisplayFunctions(Host& host) {
    Host::State& s = host.state();
    defineImageLinks(host, s);
    defineDisplayRois(host, s);
    defineDisplaySettings(host, s);
}

}  // namespace StandIn
