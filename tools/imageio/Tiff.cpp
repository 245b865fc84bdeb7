// TIFF through libtiff: single-sample images of any real element type or of single bits in, one
// page or several; any real type out, a page per plane. The metadata rides in the description
// (TiffDescription.cpp).
#include <tiffio.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

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

// Where a message is about: the file's first page needs no name, later ones do.
std::string pageName(std::uint32_t page) {
    return page > 1 ? "page " + std::to_string(page) + " " : "";
}

// The element type of the page's samples; 1-bit unsigned samples are bilevel.
ElementType elementTypeOf(const std::string& path, std::uint32_t page, std::uint16_t format,
                          std::uint16_t bits, bool& bilevel) {
    bilevel = false;
    switch (format) {
        case SAMPLEFORMAT_UINT:
        case SAMPLEFORMAT_VOID:
            if (bits == 1) {
                bilevel = true;
                return ElementType::UInt8;
            }
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
            fail(path, pageName(page) + "holds complex samples; only real samples can be read");
        default:
            fail(path, pageName(page) + "has sample format " + std::to_string(format) +
                           ", which is not known");
    }
    const char* kind = format == SAMPLEFORMAT_IEEEFP ? "floating-point"
                       : format == SAMPLEFORMAT_INT  ? "signed integer"
                                                     : "unsigned integer";
    fail(path, pageName(page) + "has " + std::to_string(bits) + "-bit " + kind +
                   " samples; readable are 1-bit unsigned (bilevel), 8-, 16- and 32-bit integers "
                   "and 32- and 64-bit floats");
}

// What a page holds, read from its directory and checked: enough to read it, and to tell whether
// it can be a plane beside the first page.
struct PageFormat {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    ElementType type = ElementType::UInt8;
    bool bilevel = false;  // 1-bit samples, 8 to a byte, read as 0 and 1
    std::uint16_t compression = COMPRESSION_NONE;

    // The bytes of one row as the file holds it, and as the raster does.
    std::size_t fileRowBytes() const {
        return bilevel ? (std::size_t{width} + 7) / 8 : width * StandIn::elementSize(type);
    }
    std::size_t rowBytes() const { return std::size_t{width} * StandIn::elementSize(type); }
    bool samePlaneAs(const PageFormat& o) const {
        return width == o.width && height == o.height && type == o.type && bilevel == o.bilevel;
    }
    std::string describe() const {
        return std::to_string(width) + " x " + std::to_string(height) + " " +
               (bilevel ? "1-bit" : StandIn::elementTypeName(type));
    }
};

PageFormat readPageFormat(const std::string& path, TIFF* tif, std::uint32_t page) {
    PageFormat f;
    std::uint16_t samples = 1, bits = 1, format = SAMPLEFORMAT_UINT;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &f.width) ||
        !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &f.height)) {
        fail(path, pageName(page) + "has no image size");
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    if (samples != 1) {
        fail(path, pageName(page) + "has " + std::to_string(samples) +
                       " samples per pixel (colour or alpha); only single-sample (greyscale) "
                       "images can be read");
    }
    f.type = elementTypeOf(path, page, format, bits, f.bilevel);
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    if (f.bilevel && TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) &&
        photometric != PHOTOMETRIC_MINISBLACK && photometric != PHOTOMETRIC_MINISWHITE) {
        fail(path, pageName(page) + "has 1-bit samples of photometric interpretation " +
                       std::to_string(photometric) +
                       "; bilevel images are read when black or white is zero");
    }
    // Data that cannot be decoded is refused before the sizes a damaged header declares are
    // allocated.
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &f.compression);
    if (!TIFFIsCODECConfigured(f.compression)) {
        fail(path, pageName(page) + "is compressed with scheme " + std::to_string(f.compression) +
                       ", which cannot be decoded here");
    }
    return f;
}

// One row of the file's bits as 0 and 1 bytes; libtiff has already put the first pixel in the
// most significant bit whatever the file's fill order.
void unpackBits(const unsigned char* bits, std::uint32_t count, unsigned char* out) {
    for (std::uint32_t x = 0; x < count; ++x) out[x] = (bits[x / 8] >> (7 - x % 8)) & 1;
}

// Tiles are meant to be small; a file whose tiles are larger than this is refused rather than
// have a single tile's buffer take the memory of a whole image.
constexpr std::uint64_t kMaxTileBytes = std::uint64_t{64} << 20;

// The raster grows with the data actually decoded (its full size is only reserved), so that a
// header declaring far more than the file holds fails at its first missing row or tile without the
// declared size ever being filled. Each page is appended after the planes before it.

// Row by row, whatever the strips' layout and compression.
void readStrips(const std::string& path, std::uint32_t page, TIFF* tif, const PageFormat& f,
                Raster& r) {
    const std::size_t fileRow = f.fileRowBytes(), rowBytes = f.rowBytes();
    if (static_cast<std::uint64_t>(TIFFScanlineSize64(tif)) != fileRow) {
        fail(path, pageName(page) + "has rows of " + std::to_string(TIFFScanlineSize64(tif)) +
                       " bytes, not " + std::to_string(fileRow));
    }
    std::vector<unsigned char> packed(f.bilevel ? fileRow : 0);
    for (std::uint32_t row = 0; row < f.height; ++row) {
        r.bytes.resize(r.bytes.size() + rowBytes);
        unsigned char* out = r.bytes.data() + r.bytes.size() - rowBytes;
        if (TIFFReadScanline(tif, f.bilevel ? packed.data() : out, row, 0) < 0)
            fail(path, pageName(page) + libraryReason("truncated or damaged image data"));
        if (f.bilevel) unpackBits(packed.data(), f.width, out);
    }
}

// One band of tiles at a time.
void readTiles(const std::string& path, std::uint32_t page, TIFF* tif, const PageFormat& f,
               Raster& r) {
    std::uint32_t tileWidth = 0, tileHeight = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight);
    if (tileWidth == 0 || tileHeight == 0) fail(path, pageName(page) + "has tiles of size zero");
    const std::size_t elem = StandIn::elementSize(f.type);
    const std::uint64_t tileRowBytes =
        f.bilevel ? (std::uint64_t{tileWidth} + 7) / 8 : std::uint64_t{tileWidth} * elem;
    const std::uint64_t tileBytes = tileRowBytes * tileHeight;
    if (std::uint64_t{tileWidth} * tileHeight * elem > kMaxTileBytes) {
        fail(path, pageName(page) + "has tiles of " + std::to_string(tileWidth) + " x " +
                       std::to_string(tileHeight) + " elements, more than 64 MiB each");
    }
    if (static_cast<std::uint64_t>(TIFFTileSize64(tif)) != tileBytes)
        fail(path, pageName(page) + "has tiles of an unexpected size");
    std::unique_ptr<void, TiffBuffer> tile(_TIFFmalloc(static_cast<tmsize_t>(tileBytes)));
    if (!tile) fail(path, "out of memory for a tile");
    const auto* src = static_cast<const unsigned char*>(tile.get());
    const std::size_t rowBytes = f.rowBytes();
    const std::size_t planeStart = r.bytes.size();
    for (std::uint32_t y = 0; y < f.height; y += tileHeight) {
        const std::uint32_t h = std::min(tileHeight, f.height - y);
        r.bytes.resize(r.bytes.size() + h * rowBytes);
        for (std::uint32_t x = 0; x < f.width; x += tileWidth) {
            if (TIFFReadTile(tif, tile.get(), x, y, 0, 0) < 0) {
                fail(path, pageName(page) + libraryReason("damaged tile"));
            }
            const std::uint32_t w = std::min(tileWidth, f.width - x);
            for (std::uint32_t row = 0; row < h; ++row) {
                unsigned char* out = r.bytes.data() + planeStart + (y + row) * rowBytes + x * elem;
                const unsigned char* in = src + row * tileRowBytes;
                if (f.bilevel)
                    unpackBits(in, w, out);
                else
                    std::memcpy(out, in, w * elem);
            }
        }
    }
}

// Moves to the next page: the next directory that is neither a reduced-resolution copy nor a
// transparency mask. Answers false after the last one.
bool nextPage(const std::string& path, TIFF* tif, std::uint32_t page) {
    for (;;) {
        if (TIFFLastDirectory(tif)) return false;
        lastTiffError().clear();
        if (!TIFFReadDirectory(tif)) {
            fail(path, "cannot read the directory after page " + std::to_string(page) + ": " +
                           libraryReason("damaged directory"));
        }
        std::uint32_t subfile = 0;
        TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &subfile);
        if ((subfile & (FILETYPE_REDUCEDIMAGE | FILETYPE_MASK)) == 0) return true;
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
    std::error_code sizeError;
    const std::uintmax_t fileBytes = std::filesystem::file_size(path, sizeError);
    const PageFormat first = readPageFormat(path, tif.get(), 1);
    std::optional<std::string> description;
    if (char* text = nullptr; TIFFGetField(tif.get(), TIFFTAG_IMAGEDESCRIPTION, &text) && text)
        description = text;
    Raster r;
    r.type = first.type;
    r.width = first.width;
    r.height = first.height;
    r.planes = 0;
    std::uint64_t uncompressedBytes = 0;
    std::uint32_t page = 1;
    do {
        const PageFormat f = page == 1 ? first : readPageFormat(path, tif.get(), page);
        if (!f.samePlaneAs(first)) {
            fail(path, "has pages that differ: page 1 is " + first.describe() + ", page " +
                           std::to_string(page) + " is " + f.describe() +
                           "; only pages of one size and kind can be read, as the planes of a "
                           "3-D image");
        }
        // Uncompressed data larger than the file, and an image beyond the limit, are refused
        // before anything of this page is allocated.
        if (f.compression == COMPRESSION_NONE) uncompressedBytes += f.fileRowBytes() * f.height;
        if (!sizeError && uncompressedBytes > fileBytes) {
            fail(path,
                 "is truncated: its " + (page == 1 ? "" : std::to_string(page) + " pages of ") +
                     std::to_string(f.width) + " x " + std::to_string(f.height) +
                     (page == 1 ? " image needs " : " need ") + std::to_string(uncompressedBytes) +
                     " bytes, the file has " + std::to_string(fileBytes));
        }
        try {
            checkRasterSize(r.type, r.width, r.height, page);
        } catch (const ImageIOError& e) {
            fail(path, e.what());
        }
        if (page == 1) r.bytes.reserve(r.elementCount() * StandIn::elementSize(r.type));
        if (TIFFIsTiled(tif.get()))
            readTiles(path, page, tif.get(), f, r);
        else
            readStrips(path, page, tif.get(), f, r);
        r.planes = page;
    } while (nextPage(path, tif.get(), page++));
    if (description) {
        try {
            if (std::optional<ImageMetadata> m = parseDescription(*description, r.height, r.planes))
                r.metadata = *m;
        } catch (const ImageIOError& e) {
            fail(path, e.what());
        }
    }
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
    const std::string description =
        raster.metadata.known ? formatDescription(raster.metadata, raster.planes) : "";
    TiffFile tif = open(path, "w");
    const std::size_t rowBytes = std::size_t{raster.width} * StandIn::elementSize(type);
    std::vector<unsigned char> row(rowBytes);
    for (std::uint32_t plane = 0; plane < raster.planes; ++plane) {
        TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, raster.width);
        TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, raster.height);
        TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(1));
        setFormat(tif.get(), type);
        TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, COMPRESSION_NONE);
        TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif.get(), 0));
        if (plane == 0 && !description.empty())
            TIFFSetField(tif.get(), TIFFTAG_IMAGEDESCRIPTION, description.c_str());
        if (raster.planes > 1)
            TIFFSetField(tif.get(), TIFFTAG_SUBFILETYPE, std::uint32_t{FILETYPE_PAGE});
        if (raster.planes > 1 && raster.planes <= 0xFFFF) {
            TIFFSetField(tif.get(), TIFFTAG_PAGENUMBER, static_cast<std::uint16_t>(plane),
                         static_cast<std::uint16_t>(raster.planes));
        }
        const unsigned char* data =
            raster.bytes.data() + std::size_t{plane} * raster.height * rowBytes;
        for (std::uint32_t y = 0; y < raster.height; ++y) {
            // libtiff may encode in place, so each row goes through a copy.
            std::memcpy(row.data(), data + y * rowBytes, rowBytes);
            if (TIFFWriteScanline(tif.get(), row.data(), y, 0) < 0) {
                fail(path, libraryReason("cannot write image data"));
            }
        }
        if (!TIFFWriteDirectory(tif.get())) fail(path, libraryReason("cannot write the directory"));
    }
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

}  // namespace Tools
