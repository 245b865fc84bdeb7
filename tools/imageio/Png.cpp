// Greyscale PNG through libpng: 1- to 16-bit grey in, 8- and 16-bit grey out.
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include "ImageIO.h"

namespace Tools {
namespace {

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw ImageIOError(path + ": " + what);
}

// What the decoding step reports back. Plain data only: libpng leaves a failed read by longjmp,
// which must not cross anything with a destructor.
struct PngHeader {
    std::uint32_t width;
    std::uint32_t height;
    int bitDepth;
    int colourType;
    char message[256];
};

void onPngError(png_structp png, png_const_charp text) {
    auto* header = static_cast<PngHeader*>(png_get_error_ptr(png));
    std::snprintf(header->message, sizeof header->message, "%s", text ? text : "damaged PNG data");
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// Decodes the file in two calls: with `pixels` null it reads the header only; then with a buffer of
// width × height × (bit depth / 8) bytes it reads the image, grey samples widened to 8 bits when
// narrower and 16-bit samples left big-endian. Answers false with header.message set on failure.
bool decodePng(std::FILE* file, PngHeader& header, unsigned char* pixels) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &header, onPngError, onPngWarning);
    if (!png) {
        std::snprintf(header.message, sizeof header.message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        if (!info) std::snprintf(header.message, sizeof header.message, "out of memory");
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
    header.width = width;
    header.height = height;
    header.bitDepth = bitDepth;
    header.colourType = colourType;
    if (!pixels || colourType != PNG_COLOR_TYPE_GRAY) {
        png_destroy_read_struct(&png, &info, nullptr);
        return true;
    }
    if (bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, pixels + y * rowBytes, nullptr);
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File openForReading(const std::string& path) {
    File file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) fail(path, std::strerror(errno));
    return file;
}

}  // namespace

Raster readPng(const std::string& path) {
    PngHeader header{};
    {
        File file = openForReading(path);
        if (!decodePng(file.get(), header, nullptr)) fail(path, header.message);
    }
    if (header.colourType != PNG_COLOR_TYPE_GRAY) {
        const char* what = header.colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? "grey with alpha"
                           : header.colourType == PNG_COLOR_TYPE_PALETTE  ? "palette colour"
                                                                          : "colour";
        fail(path,
             std::string("is a ") + what + " PNG; only greyscale PNG without alpha can be read");
    }
    const bool wide = header.bitDepth == 16;
    Raster r;
    try {
        r = makeRaster(wide ? ElementType::UInt16 : ElementType::UInt8, header.width,
                       header.height);
    } catch (const ImageIOError& e) {
        fail(path, e.what());
    }
    File file = openForReading(path);
    if (!decodePng(file.get(), header, r.bytes.data())) fail(path, header.message);
    if (wide) {
        // Big-endian samples to host order.
        for (std::size_t i = 0; i + 1 < r.bytes.size(); i += 2) {
            std::uint16_t v = static_cast<std::uint16_t>(r.bytes[i] << 8 | r.bytes[i + 1]);
            std::memcpy(&r.bytes[i], &v, 2);
        }
    }
    return r;
}

void writePng(const std::string& path, const Raster& raster) {
    if (raster.type != ElementType::UInt8 && raster.type != ElementType::UInt16) {
        fail(path, std::string("PNG holds 8- or 16-bit unsigned grey, not ") +
                       StandIn::elementTypeName(raster.type));
    }
    if (raster.elementCount() == 0 ||
        raster.bytes.size() != raster.elementCount() * StandIn::elementSize(raster.type)) {
        fail(path, "the image to write is empty or inconsistent");
    }
    if (std::uint64_t{raster.height} * raster.planes > PNG_UINT_31_MAX) {
        fail(path, "is too tall for a PNG: " + std::to_string(raster.planes) + " planes of " +
                       std::to_string(raster.height) + " rows");
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = raster.width;
    image.height = raster.height * raster.planes;
    image.format = raster.type == ElementType::UInt8 ? PNG_FORMAT_GRAY : PNG_FORMAT_LINEAR_Y;
    if (!png_image_write_to_file(&image, path.c_str(), 0, raster.bytes.data(), 0, nullptr)) {
        std::string why = image.message[0] ? image.message : std::strerror(errno);
        png_image_free(&image);
        fail(path, why);
    }
}

ValueRange writePreviewPng(const std::string& path, const Raster& raster,
                           const PreviewMapping& mapping) {
    if (!isRealType(raster.type)) {
        fail(path,
             std::string("no preview of ") + StandIn::elementTypeName(raster.type) + " elements");
    }
    ValueRange range;
    const std::vector<std::uint8_t> levels = previewBytes(raster, mapping, &range);
    Raster grey;
    grey.type = ElementType::UInt8;
    grey.width = raster.width;
    grey.height = raster.height;
    grey.planes = raster.planes;
    grey.bytes.assign(levels.begin(), levels.end());
    writePng(path, grey);
    return range;
}

}  // namespace Tools
