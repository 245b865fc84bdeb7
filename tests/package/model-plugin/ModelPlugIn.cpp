// RegionReport: the region of interest a user drew on an image, as an image of its own.
//
//     RealImagePtr RegionReport(ImageRef *, string)
//
// Takes the first region on the image's first display (a rectangle), asks whether to invert it,
// makes a float image of the region named after the text, calibrated like the source with its
// origin moved to the region's corner, its intensity in "counts", and a tag tree describing the
// region; shows the result in a document of its own and writes a line to the results window.
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>

#include "errors/Exceptions.h"
#include "errors/ResultsStream.h"
#include "hostcall/Stubs.h"
#include "image/ImageDataLock.h"
#include "shell/PlugInMain.h"

namespace {

using namespace Vorna;

const FrameworkUnitUsers sUsers;

constexpr char kRegionReportSignature[] = "RealImagePtr RegionReport(ImageRef *, string)";

// The text of a host string.
std::string TextOf(const qz_string& text) {
    std::string out;
    text.CopyTextToBuffer(kEncodingNarrow, out);
    return out;
}

struct Region {
    std::int32_t left, top, width, height;
};

// The first region of the image's first display, which must be a rectangle within the image.
Region DrawnRegion(const ImageRef& image, std::uint32_t width, std::uint32_t height) {
    ImageDisplay display = image.GetImageDisplay(0);
    if (display.CountROIs() < 1) ThrowMessage("RegionReport needs a region drawn on the image.");
    ROI roi = display.GetROI(0);
    if (!roi.IsRectangle()) ThrowMessage("RegionReport takes a rectangular region.");
    float top = 0, left = 0, bottom = 0, right = 0;
    roi.GetRectangle(&top, &left, &bottom, &right);
    const Region r{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                   static_cast<std::int32_t>(right - left),
                   static_cast<std::int32_t>(bottom - top)};
    if (r.left < 0 || r.top < 0 || r.width < 1 || r.height < 1 ||
        static_cast<std::uint32_t>(r.left + r.width) > width ||
        static_cast<std::uint32_t>(r.top + r.height) > height)
        ThrowMessage("RegionReport takes a region of at least one pixel within the image.");
    return r;
}

void RegionReport(ImageRef& result, Handle* image, const char* title) {
    ImageRef input(image ? *image : 0);
    if (input.GetNumDimensions() != 2 || !input.IsDataTypeReal() ||
        input.GetDataElementByteSize() != 4)
        ThrowMessage("RegionReport takes a two-dimensional image of 4-byte reals.");
    const std::uint32_t width = input.GetDimensionSize(0), height = input.GetDimensionSize(1);
    const Region region = DrawnRegion(input, width, height);

    bool invert = false;
    if (!QZ::GetBoolean("Invert the region?", false, &invert)) invert = false;

    // The region's pixels, inverted when asked.
    result = QZ::RealImage("region", 4, region.width, region.height);
    double sum = 0;
    {
        ImageDataLock source(input, kLockContiguous);
        ImageDataLock target(result, kLockContiguous);
        const float* in = source.Data<float>();
        float* out = target.Data<float>();
        for (std::int32_t y = 0; y < region.height; ++y) {
            for (std::int32_t x = 0; x < region.width; ++x) {
                const float v = in[std::size_t(region.top + y) * width + (region.left + x)];
                out[std::size_t(y) * region.width + x] = invert ? 0.0f - v : v;
                sum += v;
            }
        }
        target.MarkChanged();
        result.DataChanged();
        target.Unlock();
        source.Unlock();
    }

    // Its name, calibration and tags.
    qz_string name(title);
    name.Append(qz_string(" region"));
    result.SetName(name);
    result.CopyCalibrationFrom(input);
    for (std::int32_t d = 0; d < 2; ++d) {
        float origin = 0, scale = 1;
        qz_string unit;
        input.GetDimensionCalibration(d, &origin, &scale, &unit, 0);
        const float corner = d == 0 ? float(region.left) : float(region.top);
        result.SetDimensionCalibration(d, origin - corner, scale, unit, 1);
    }
    result.SetIntensityUnitString(qz_string("counts"));

    TagGroup tags = result.GetTagGroup();
    TagGroup described = tags.CreateNewLabeledGroup("Region");
    described.SetTagAsLong("Left", region.left);
    described.SetTagAsLong("Top", region.top);
    tags.SetTagAsLongPoint("Region:Size", region.width, region.height);
    tags.SetTagAsString("Region:Source", input.GetName());
    TagGroup corners = described.CreateNewLabeledList("Corners");
    corners.InsertTagAsLongPoint(0, region.left, region.top);
    corners.InsertTagAsLongPoint(1, region.left + region.width, region.top + region.height);
    std::int32_t storedLeft = -1;
    if (!tags.GetTagAsLong("Region:Left", &storedLeft) || storedLeft != region.left)
        ThrowMessage("RegionReport could not read back its own tag.");

    // Shown in a document named like the image.
    ImageDocument document = result.GetOrCreateImageDocument();
    document.SetName(result.GetName());
    Window window = document.Show();

    char mean[64];
    std::snprintf(mean, sizeof mean, "%.6g", sum / (double(region.width) * region.height));
    std::ostringstream line;
    line << "RegionReport: " << TextOf(result.GetName()) << ", " << region.width << " x "
         << region.height << " at (" << region.left << ", " << region.top << "), mean " << mean
         << (invert ? ", inverted" : "") << ", " << described.CountTags() << " tags, "
         << corners.CountTags() << " corners, shown as \"" << TextOf(window.GetTitle()) << "\"";
    // Written in one piece once everything is known: a failure on the way leaves no half line in
    // the results window's buffer.
    PlugIn::results << line.str() << std::endl;
    // The stream tells of a refused hand-over by its state alone; a stream left bad would write
    // nothing from then on.
    if (!PlugIn::results) {
        PlugIn::results.clear();
        ThrowMessage("The results window did not take the text.");
    }
}

class ModelPlugIn final : public PlugIn::PlugInMain {
    void Startup() override { AddFunction<&RegionReport>(kRegionReportSignature); }
};
ModelPlugIn sModelPlugIn;

}  // namespace
