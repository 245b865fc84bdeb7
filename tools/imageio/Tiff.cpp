// TIFF through libtiff: single-sample images of any real element type in, any real type out.
#include <tiffio.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "ImageIO.h"

namespace Tools {
namespace {

// libtiff reports through process-wide handlers; the last error text is kept for the exception.
// The tools are single-threaded, so one buffer does.
std::string& lastTiffError() {
    static std::string text;
    return text;
}

void onTiffError(const char* module, const char* format, va_list args) {
    char buffer[512];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    lastTiffError() = module && *module ? std::string(module) + ": " + buffer : buffer;
}

void onTiffWarning(const char*, const char*, va_list) {}

void installHandlers() {
    TIFFSetErrorHandler(onTiffError);
    TIFFSetWarningHandler(onTiffWarning);
    lastTiffError().clear();
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffFile = std::unique_ptr<TIFF, TiffCloser>;

struct TiffBuffer {
    void operator()(void* p) const { _TIFFfree(p); }
};

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw ImageIOError(path + ": " + what);
}

std::string libraryReason(const char* fallback) {
    return lastTiffError().empty() ? fallback : lastTiffError();
}

TiffFile open(const std::string& path, const char* mode) {
    installHandlers();
    TiffFile tif(TIFFOpen(path.c_str(), mode));
    if (!tif) fail(path, libraryReason(mode[0] == 'r' ? "cannot read as TIFF" : "cannot create"));
    return tif;
}

// The element type of the file's samples.
ElementType elementTypeOf(const std::string& path, std::uint16_t format, std::uint16_t bits) {
    switch (format) {
        case SAMPLEFORMAT_UINT:
        case SAMPLEFORMAT_VOID:
            if (bits == 8) return ElementType::UInt8;
            if (bits == 16) return ElementType::UInt16;
            if (bits == 32) return ElementType::UInt32;
            break;
        case SAMPLEFORMAT_INT:
            if (bits == 8) return ElementType::Int8;
            if (bits == 16) return ElementType::Int16;
            if (bits == 32) return ElementType::Int32;
            break;
        case SAMPLEFORMAT_IEEEFP:
            if (bits == 32) return ElementType::Float32;
            if (bits == 64) return ElementType::Float64;
            break;
        case SAMPLEFORMAT_COMPLEXINT:
        case SAMPLEFORMAT_COMPLEXIEEEFP:
            fail(path, "holds complex samples; only real samples can be read");
        default: fail(path, "has sample format " + std::to_string(format) + ", which is not known");
    }
    const char* kind = format == SAMPLEFORMAT_IEEEFP ? "floating-point"
                       : format == SAMPLEFORMAT_INT  ? "signed integer"
                                                     : "unsigned integer";
    fail(path, "has " + std::to_string(bits) + "-bit " + kind +
                   " samples; readable are 8-, 16- and 32-bit integers and 32- and 64-bit floats");
}

// Tiles are meant to be small; a file whose tiles are larger than this is refused rather than
// have a single tile's buffer take the memory of a whole image.
constexpr std::uint64_t kMaxTileBytes = std::uint64_t{64} << 20;

// The raster grows with the data actually decoded (its full size is only reserved), so that a
// header declaring far more than the file holds fails at its first missing row or tile without the
// declared size ever being filled.

// Row by row, whatever the strips' layout and compression.
void readStrips(const std::string& path, TIFF* tif, Raster& r) {
    const std::size_t rowBytes = std::size_t{r.width} * StandIn::elementSize(r.type);
    if (static_cast<std::uint64_t>(TIFFScanlineSize64(tif)) != rowBytes) {
        fail(path, "has rows of " + std::to_string(TIFFScanlineSize64(tif)) + " bytes, not " +
                       std::to_string(rowBytes));
    }
    for (std::uint32_t row = 0; row < r.height; ++row) {
        r.bytes.resize(r.bytes.size() + rowBytes);
        if (TIFFReadScanline(tif, r.bytes.data() + std::size_t{row} * rowBytes, row, 0) < 0)
            fail(path, libraryReason("truncated or damaged image data"));
    }
}

// One band of tiles at a time.
void readTiles(const std::string& path, TIFF* tif, Raster& r) {
    std::uint32_t tileWidth = 0, tileHeight = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight);
    if (tileWidth == 0 || tileHeight == 0) fail(path, "has tiles of size zero");
    const std::size_t elem = StandIn::elementSize(r.type);
    const std::uint64_t tileBytes = std::uint64_t{tileWidth} * tileHeight * elem;
    if (tileBytes > kMaxTileBytes) {
        fail(path, "has tiles of " + std::to_string(tileWidth) + " x " +
                       std::to_string(tileHeight) + " elements, more than 64 MiB each");
    }
    if (static_cast<std::uint64_t>(TIFFTileSize64(tif)) != tileBytes)
        fail(path, "has tiles of an unexpected size");
    std::unique_ptr<void, TiffBuffer> tile(_TIFFmalloc(static_cast<tmsize_t>(tileBytes)));
    if (!tile) fail(path, "out of memory for a tile");
    const auto* src = static_cast<const unsigned char*>(tile.get());
    const std::size_t rowBytes = std::size_t{r.width} * elem;
    for (std::uint32_t y = 0; y < r.height; y += tileHeight) {
        const std::uint32_t h = std::min(tileHeight, r.height - y);
        r.bytes.resize(r.bytes.size() + h * rowBytes);
        for (std::uint32_t x = 0; x < r.width; x += tileWidth) {
            if (TIFFReadTile(tif, tile.get(), x, y, 0, 0) < 0) {
                fail(path, libraryReason("damaged tile"));
            }
            const std::uint32_t w = std::min(tileWidth, r.width - x);
            for (std::uint32_t row = 0; row < h; ++row) {
                std::memcpy(
                    r.bytes.data() + ((y + row) * static_cast<std::size_t>(r.width) + x) * elem,
                    src + row * std::size_t{tileWidth} * elem, w * elem);
            }
        }
    }
}

void setFormat(TIFF* tif, ElementType type) {
    std::uint16_t format = SAMPLEFORMAT_UINT;
    if (StandIn::isFloatType(type))
        format = SAMPLEFORMAT_IEEEFP;
    else if (StandIn::isSignedIntegerType(type))
        format = SAMPLEFORMAT_INT;
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, format);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE,
                 static_cast<std::uint16_t>(8 * StandIn::elementSize(type)));
}

}  // namespace

Raster readTiff(const std::string& path) {
    TiffFile tif = open(path, "r");
    std::uint32_t width = 0, height = 0;
    std::uint16_t samples = 1, bits = 1, format = SAMPLEFORMAT_UINT;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height)) {
        fail(path, "has no image size");
    }
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &format);
    if (samples != 1) {
        fail(path, "has " + std::to_string(samples) +
                       " samples per pixel (colour or alpha); only single-sample (greyscale) "
                       "images can be read");
    }
    const ElementType type = elementTypeOf(path, format, bits);
    // Data that cannot be decoded, and uncompressed data larger than the file, are refused before
    // the sizes a damaged header declares are allocated.
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
    if (!TIFFIsCODECConfigured(compression)) {
        fail(path, "is compressed with scheme " + std::to_string(compression) +
                       ", which cannot be decoded here");
    }
    std::error_code sizeError;
    const std::uintmax_t fileBytes = std::filesystem::file_size(path, sizeError);
    const std::uint64_t dataBytes =
        static_cast<std::uint64_t>(width) * height * StandIn::elementSize(type);
    if (compression == COMPRESSION_NONE && !sizeError && dataBytes > fileBytes) {
        fail(path, "is truncated: its " + std::to_string(width) + " x " + std::to_string(height) +
                       " image needs " + std::to_string(dataBytes) + " bytes, the file has " +
                       std::to_string(fileBytes));
    }
    try {
        checkRasterSize(type, width, height);
    } catch (const ImageIOError& e) {
        fail(path, e.what());
    }
    Raster r;
    r.type = type;
    r.width = width;
    r.height = height;
    r.bytes.reserve(r.elementCount() * StandIn::elementSize(type));
    if (TIFFIsTiled(tif.get()))
        readTiles(path, tif.get(), r);
    else
        readStrips(path, tif.get(), r);
    return r;
}

void writeTiff(const std::string& path, const Raster& raster) {
    if (!isRealType(raster.type)) {
        fail(path,
             std::string("cannot write ") + StandIn::elementTypeName(raster.type) + " elements");
    }
    if (raster.elementCount() == 0 ||
        raster.bytes.size() != raster.elementCount() * StandIn::elementSize(raster.type)) {
        fail(path, "the image to write is empty or inconsistent");
    }
    // Binary elements are written as 8-bit unsigned.
    const ElementType type = raster.type == ElementType::Binary ? ElementType::UInt8 : raster.type;
    TiffFile tif = open(path, "w");
    TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, raster.width);
    TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, raster.height);
    TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(1));
    setFormat(tif.get(), type);
    TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif.get(), 0));
    const std::size_t rowBytes = raster.bytes.size() / raster.height;
    std::vector<unsigned char> row(rowBytes);
    for (std::uint32_t y = 0; y < raster.height; ++y) {
        // libtiff may encode in place, so each row goes through a copy.
        std::memcpy(row.data(), raster.bytes.data() + y * rowBytes, rowBytes);
        if (TIFFWriteScanline(tif.get(), row.data(), y, 0) < 0) {
            fail(path, libraryReason("cannot write image data"));
        }
    }
    if (!TIFFWriteDirectory(tif.get())) fail(path, libraryReason("cannot write the directory"));
    TIFF* raw = tif.release();
    TIFFClose(raw);
    if (!lastTiffError().empty()) fail(path, lastTiffError());
}

void writeFloatTiff(const std::string& path, const Raster& raster) {
    if (!isRealType(raster.type)) {
        fail(path, std::string("cannot write ") + StandIn::elementTypeName(raster.type) +
                       " elements as 32-bit float");
    }
    writeTiff(path, raster.type == ElementType::Float32 ? raster : toFloatRaster(raster));
}

Raster readImage(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         std::fclose);
    if (!file) fail(path, std::strerror(errno));
    unsigned char magic[8] = {};
    std::size_t n = std::fread(magic, 1, sizeof magic, file.get());
    // A directory opens, but reading it fails: say why rather than calling it empty.
    if (n == 0 && std::ferror(file.get())) fail(path, std::strerror(errno));
    file.reset();
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (n == 8 && std::memcmp(magic, kPng, 8) == 0) return readPng(path);
    if (n >= 4 && ((magic[0] == 'I' && magic[1] == 'I' && (magic[2] == 42 || magic[2] == 43) &&
                    magic[3] == 0) ||
                   (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 &&
                    (magic[3] == 42 || magic[3] == 43)))) {
        return readTiff(path);
    }
    fail(path, n == 0 ? "is empty" : "is neither a TIFF nor a PNG file");
}

}  // namespace Tools
