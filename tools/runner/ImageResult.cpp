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

int deliverImage(StandIn::ImageInfo image, const Options& options, std::ostream& out,
                 std::ostream& err) {
    std::string size;
    std::uint32_t rows = 1;
    for (std::size_t d = 0; d < image.sizes.size(); ++d) {
        size += (d ? " x " : "") + std::to_string(image.sizes[d]);
        if (d > 0) rows *= image.sizes[d];
    }
    out << "image \"" << image.name << "\": " << size << " "
        << StandIn::elementTypeName(image.type);
    Raster raster;
    raster.type = image.type;
    raster.width = image.sizes[0];
    raster.height = rows;
    raster.bytes = std::move(image.bytes);
    if (isRealType(raster.type)) {
        ValueRange range = finiteRange(raster);
        out << ", values " << formatValue(range.min, raster.type) << " to "
            << formatValue(range.max, raster.type);
    }
    out << "\n";
    if (options.tiffOut.empty() && options.pngOut.empty()) return kExitSuccess;
    if (image.sizes.size() > 2) {
        err << "error: cannot write a " << image.sizes.size()
            << "-dimensional image; only 1- and 2-dimensional images are written\n";
        return kExitFailure;
    }
    int status = kExitSuccess;
    auto write = [&](const std::string& path, const char* what,
                     const std::function<void(const std::string&, const Raster&)>& writer) {
        if (path.empty()) return;
        try {
            writer(path, raster);
            out << "wrote " << path << " (" << what << ")\n";
        } catch (const ImageIOError& e) {
            err << "error: " << e.what() << "\n";
            status = kExitFailure;
        }
    };
    write(options.tiffOut, "32-bit float TIFF", writeFloatTiff);
    write(options.pngOut, "8-bit preview PNG",
          [](const std::string& p, const Raster& r) { writePreviewPng(p, r); });
    return status;
}

}  // namespace Tools
