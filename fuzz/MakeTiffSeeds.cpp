// Writes the seed files of the TIFF reader's fuzz target into a directory: small files of every
// layout the reader handles (each element type, strips and tiles, compression, both byte orders,
// bilevel in both photometric interpretations, several pages, a metadata description, PNG), three
// it refuses (three samples per pixel, complex samples, pages that differ) and three whose
// directories declare images far larger than the file.
//     make_tiff_seeds fuzz/corpus/tiff
#include <tiffio.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ImageIO.h"

namespace {

using Tools::ElementType;

void WithTiff(const std::string& path, const char* mode, const std::function<void(TIFF*)>& fill) {
    TIFF* tif = TIFFOpen(path.c_str(), mode);
    if (!tif) throw Tools::ImageIOError(path + ": cannot create");
    fill(tif);
    TIFFClose(tif);
}

void Common(TIFF* tif, std::uint32_t w, std::uint32_t h, std::uint16_t samples, std::uint16_t bits,
            std::uint16_t format) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, format);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
}

// A little-endian TIFF whose directory declares a w x h image of one strip of `data`, whatever
// the data's size: the header alone must not make the reader allocate the declared image.
void WriteDeclaring(const std::string& path, std::uint32_t w, std::uint32_t h, std::uint16_t bits,
                    std::uint16_t format, std::uint16_t compression) {
    const std::vector<unsigned char> data(16, 0);
    const std::uint32_t count = 10, dataOffset = 8 + 2 + 12 * count + 4;
    const std::uint32_t entries[count][3] = {
        {256, 4, w},          {257, 4, h}, {258, 3, bits}, {259, 3, compression}, {262, 3, 1},
        {273, 4, dataOffset}, {277, 3, 1}, {278, 4, h},    {279, 4, 16},          {339, 3, format},
    };
    std::vector<unsigned char> out = {'I', 'I', 42, 0, 8, 0, 0, 0, count, 0};
    auto put = [&out](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    for (const auto& e : entries) {
        put(e[0], 2);
        put(e[1], 2);
        put(1, 4);
        put(e[2], 4);
    }
    put(0, 4);
    out.insert(out.end(), data.begin(), data.end());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw Tools::ImageIOError(path + ": cannot create");
    std::fwrite(out.data(), 1, out.size(), f);
    std::fclose(f);
}

std::vector<unsigned char> Pattern(std::size_t n) {
    std::vector<unsigned char> bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(i * 37 + 11);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    for (ElementType type :
         {ElementType::UInt8, ElementType::Int8, ElementType::UInt16, ElementType::Int16,
          ElementType::UInt32, ElementType::Int32, ElementType::Float32, ElementType::Float64}) {
        Tools::Raster r = Tools::makeRaster(type, 3, 2);
        r.bytes = Pattern(r.bytes.size());
        Tools::writeTiff(dir + "/plain-" + StandIn::elementTypeName(type) + ".tif", r);
    }
    WithTiff(dir + "/tiled-float32.tif", "w", [](TIFF* tif) {
        Common(tif, 20, 3, 1, 32, SAMPLEFORMAT_IEEEFP);
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16u);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16u);
        std::vector<unsigned char> tile = Pattern(16 * 16 * 4);
        TIFFWriteTile(tif, tile.data(), 0, 0, 0, 0);
        TIFFWriteTile(tif, tile.data(), 16, 0, 0, 0);
    });
    WithTiff(dir + "/lzw-strips-uint8.tif", "w", [](TIFF* tif) {
        Common(tif, 5, 5, 1, 8, SAMPLEFORMAT_UINT);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2u);
        std::vector<unsigned char> row = Pattern(5);
        for (std::uint32_t y = 0; y < 5; ++y) TIFFWriteScanline(tif, row.data(), y, 0);
    });
    WithTiff(dir + "/big-endian-int16.tif", "wb", [](TIFF* tif) {
        Common(tif, 2, 2, 1, 16, SAMPLEFORMAT_INT);
        std::vector<unsigned char> row = Pattern(4);
        for (std::uint32_t y = 0; y < 2; ++y) TIFFWriteScanline(tif, row.data(), y, 0);
    });
    WithTiff(dir + "/rgb-uint8.tif", "w", [](TIFF* tif) {
        Common(tif, 2, 2, 3, 8, SAMPLEFORMAT_UINT);
        std::vector<unsigned char> row = Pattern(6);
        for (std::uint32_t y = 0; y < 2; ++y) TIFFWriteScanline(tif, row.data(), y, 0);
    });
    WithTiff(dir + "/complex64.tif", "w", [](TIFF* tif) {
        Common(tif, 2, 1, 1, 64, SAMPLEFORMAT_COMPLEXIEEEFP);
        std::vector<unsigned char> row = Pattern(16);
        TIFFWriteScanline(tif, row.data(), 0, 0);
    });
    for (std::uint16_t photometric : {PHOTOMETRIC_MINISBLACK, PHOTOMETRIC_MINISWHITE}) {
        WithTiff(dir + "/bilevel-" + std::to_string(photometric) + ".tif", "w", [&](TIFF* tif) {
            Common(tif, 11, 3, 1, 1, SAMPLEFORMAT_UINT);
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
            std::vector<unsigned char> row = Pattern(2);
            for (std::uint32_t y = 0; y < 3; ++y) TIFFWriteScanline(tif, row.data(), y, 0);
        });
    }
    Tools::Raster volume = Tools::makeRaster(ElementType::Int16, 3, 2, 3);
    volume.bytes = Pattern(volume.bytes.size());
    volume.metadata.known = true;
    volume.metadata.name = "volume";
    volume.metadata.label = "three\npages \xB5";
    volume.metadata.dimensionCalibrations.resize(3);
    volume.metadata.dimensionCalibrations[2] = {1, 0.5f, "s", false};
    Tools::writeTiff(dir + "/pages-int16-described.tif", volume);
    WithTiff(dir + "/pages-that-differ.tif", "w", [](TIFF* tif) {
        for (std::uint32_t width : {4u, 3u}) {
            Common(tif, width, 2, 1, 8, SAMPLEFORMAT_UINT);
            std::vector<unsigned char> row = Pattern(width);
            for (std::uint32_t y = 0; y < 2; ++y) TIFFWriteScanline(tif, row.data(), y, 0);
            TIFFWriteDirectory(tif);
        }
    });
    WriteDeclaring(dir + "/declares-32000x32000-uint8.tif", 32000, 32000, 8, SAMPLEFORMAT_UINT,
                   COMPRESSION_NONE);
    WriteDeclaring(dir + "/declares-32000x32000-uint8-unknown-compression.tif", 32000, 32000, 8,
                   SAMPLEFORMAT_UINT, 257);
    WriteDeclaring(dir + "/declares-40000x40000-float64-lzw.tif", 40000, 40000, 64,
                   SAMPLEFORMAT_IEEEFP, COMPRESSION_LZW);
    Tools::Raster grey8 = Tools::makeRaster(ElementType::UInt8, 3, 2);
    grey8.bytes = Pattern(grey8.bytes.size());
    Tools::writePng(dir + "/grey8.png", grey8);
    Tools::Raster grey16 = Tools::makeRaster(ElementType::UInt16, 2, 2);
    grey16.bytes = Pattern(grey16.bytes.size());
    Tools::writePng(dir + "/grey16.png", grey16);
    return 0;
}
