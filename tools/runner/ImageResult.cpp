// The summary and the files of an image result.
#include "ImageResult.h"

#include <functional>
#include <string>

#include "ArgumentValues.h"
#include "ImageIO.h"
#include "Runner.h"

namespace Tools {
namespace {

std::string formatValue(double v, StandIn::ElementType type) {
    return type == StandIn::ElementType::Float32 ? formatFloat(static_cast<float>(v))
                                                 : formatDouble(v);
}

}  // namespace

Raster rasterOf(StandIn::ImageInfo image) {
    Raster raster;
    raster.type = image.type;
    raster.width = image.sizes.empty() ? 0 : image.sizes[0];
    raster.height = image.sizes.size() > 1 ? image.sizes[1] : 1;
    raster.planes = 1;
    for (std::size_t d = 2; d < image.sizes.size(); ++d) raster.planes *= image.sizes[d];
    raster.bytes = std::move(image.bytes);
    ImageMetadata& m = raster.metadata;
    m.known = true;
    m.name = std::move(image.name);
    m.label = std::move(image.label);
    m.dimensions = image.sizes.size();
    m.dimensionCalibrations = std::move(image.dimensionCalibrations);
    m.intensityCalibration = std::move(image.intensityCalibration);
    return raster;
}

StandIn::ImageSpec imageSpecOf(const Raster& raster, const std::string& fallbackName) {
    StandIn::ImageSpec spec;
    spec.type = raster.type;
    spec.sizes = raster.sizes();
    const ImageMetadata& m = raster.metadata;
    spec.name = m.known && !m.name.empty() ? m.name : fallbackName;
    spec.label = m.label;
    spec.dimensionCalibrations = m.dimensionCalibrations;
    spec.intensityCalibration = m.intensityCalibration;
    return spec;
}

int deliverImage(StandIn::ImageInfo image, const Options& options, std::ostream& out,
                 std::ostream& err) {
    std::string size;
    for (std::size_t d = 0; d < image.sizes.size(); ++d)
        size += (d ? " x " : "") + std::to_string(image.sizes[d]);
    out << "image \"" << image.name << "\": " << size << " "
        << StandIn::elementTypeName(image.type);
    const std::size_t dimensions = image.sizes.size();
    const Raster raster = rasterOf(std::move(image));
    if (isRealType(raster.type)) {
        ValueRange range = finiteRange(raster);
        out << ", values " << formatValue(range.min, raster.type) << " to "
            << formatValue(range.max, raster.type);
    }
    out << "\n";
    if (options.tiffOut.empty() && options.pngOut.empty()) return kExitSuccess;
    if (dimensions > 3) {
        err << "error: cannot write a " << dimensions
            << "-dimensional image; only 1- to 3-dimensional images are written\n";
        return kExitFailure;
    }
    int status = kExitSuccess;
    auto write = [&](const std::string& path, const std::function<std::string()>& writer) {
        if (path.empty()) return;
        try {
            const std::string what = writer();
            out << "wrote " << path << " (" << what << ")\n";
        } catch (const ImageIOError& e) {
            err << "error: " << e.what() << "\n";
            status = kExitFailure;
        }
    };
    write(options.tiffOut, [&] {
        writeFloatTiff(options.tiffOut, raster);
        return std::string(raster.planes > 1
                               ? "32-bit float TIFF, " + std::to_string(raster.planes) + " pages"
                               : "32-bit float TIFF");
    });
    write(options.pngOut, [&] {
        const ValueRange range = writePreviewPng(options.pngOut, raster, options.preview);
        return "8-bit preview PNG, " + describe(options.preview) + ": black at " +
               formatValue(range.min, raster.type) + ", white at " +
               formatValue(range.max, raster.type);
    });
    return status;
}

}  // namespace Tools
