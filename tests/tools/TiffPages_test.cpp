// TIFF files of several pages (the planes of a 3-D image, or refused when they differ) and of
// single bits (bilevel masks, read as 0 and 1), written by libtiff directly as other programs
// write them.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <functional>

#include "ExpectThrow.h"
#include "ImageIO.h"
#include "ToolsTestSupport.h"

using namespace Tools;
using StandIn::ElementType;

namespace {

struct Page {
    std::uint32_t width, height;
    std::uint16_t bits, format;
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    std::vector<unsigned char> bytes;  // rows as the file holds them
    std::function<void(TIFF*)> extra = nullptr;
};

// Rows of bytes that differ from page to page and row to row.
std::vector<unsigned char> pattern(std::size_t n, unsigned seed) {
    std::vector<unsigned char> bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(i * 29 + seed * 71);
    return bytes;
}

Page plain(std::uint32_t w, std::uint32_t h, std::uint16_t bits, std::uint16_t format,
           unsigned seed) {
    return {
        w, h, bits, format, PHOTOMETRIC_MINISBLACK, pattern(std::size_t{w} * h * bits / 8, seed)};
}

void writePages(const std::string& path, const std::vector<Page>& pages) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    for (const Page& p : pages) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, p.width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, p.height);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, std::uint16_t{1});
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, p.bits);
        TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, p.format);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, p.photometric);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        if (p.extra) p.extra(tif);
        if (TIFFIsTiled(tif)) {
            std::uint32_t tw = 0, th = 0;
            TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
            TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
            const std::size_t fileRow = (std::size_t{p.width} * p.bits + 7) / 8;
            const std::size_t tileRow = (std::size_t{tw} * p.bits + 7) / 8;
            std::vector<unsigned char> tile(tileRow * th);
            for (std::uint32_t ty = 0; ty < p.height; ty += th) {
                for (std::uint32_t tx = 0; tx < p.width; tx += tw) {
                    std::fill(tile.begin(), tile.end(), 0xA5);
                    const std::size_t from = std::size_t{tx} * p.bits / 8;
                    for (std::uint32_t y = 0; y < th && ty + y < p.height; ++y) {
                        const std::size_t n = std::min(tileRow, fileRow - from);
                        std::memcpy(&tile[y * tileRow], &p.bytes[(ty + y) * fileRow + from], n);
                    }
                    ASSERT_GE(TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0), 0);
                }
            }
        } else {
            const std::size_t row = p.bytes.size() / p.height;
            std::vector<unsigned char> copy(row);
            for (std::uint32_t y = 0; y < p.height; ++y) {
                std::memcpy(copy.data(), &p.bytes[y * row], row);
                ASSERT_GE(TIFFWriteScanline(tif, copy.data(), y, 0), 0);
            }
        }
        ASSERT_TRUE(TIFFWriteDirectory(tif));
    }
    TIFFClose(tif);
}

std::vector<unsigned char> concat(const std::vector<Page>& pages) {
    std::vector<unsigned char> all;
    for (const Page& p : pages) all.insert(all.end(), p.bytes.begin(), p.bytes.end());
    return all;
}

// ---- Several pages ------------------------------------------------------------------------------

TEST(TiffPages, PagesOfOneSizeAndKindAreThePlanesOfA3DImage) {
    ToolsTest::ScratchDirectory dir;
    // The pages may be stored differently: plain, compressed, tiled.
    std::vector<Page> pages = {plain(5, 3, 16, SAMPLEFORMAT_UINT, 1),
                               plain(5, 3, 16, SAMPLEFORMAT_UINT, 2),
                               plain(5, 3, 16, SAMPLEFORMAT_UINT, 3)};
    pages[1].extra = [](TIFF* tif) { TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW); };
    pages[2].extra = [](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16u);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16u);
    };
    writePages(dir.file("three.tif"), pages);
    Raster r = readImage(dir.file("three.tif"));
    EXPECT_EQ(r.type, ElementType::UInt16);
    EXPECT_EQ(r.sizes(), (std::vector<std::uint32_t>{5, 3, 3}));
    EXPECT_EQ(r.bytes, concat(pages));
    EXPECT_FALSE(r.metadata.known);
}

TEST(TiffPages, ReducedResolutionCopiesAndMasksAreNoPages) {
    ToolsTest::ScratchDirectory dir;
    std::vector<Page> pages = {plain(8, 8, 8, SAMPLEFORMAT_UINT, 1),
                               plain(2, 2, 8, SAMPLEFORMAT_UINT, 2),
                               plain(8, 8, 8, SAMPLEFORMAT_UINT, 3),
                               {8, 8, 1, SAMPLEFORMAT_UINT, PHOTOMETRIC_MASK, pattern(8, 4)}};
    pages[1].extra = [](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, std::uint32_t{FILETYPE_REDUCEDIMAGE});
    };
    pages[3].extra = [](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, std::uint32_t{FILETYPE_MASK});
    };
    writePages(dir.file("thumb.tif"), pages);
    Raster r = readTiff(dir.file("thumb.tif"));
    EXPECT_EQ(r.sizes(), (std::vector<std::uint32_t>{8, 8, 2}));
    EXPECT_EQ(r.bytes, concat({pages[0], pages[2]}));
}

TEST(TiffPages, PagesThatDifferAreRefusedNamingTheFirstThatDiffers) {
    ToolsTest::ScratchDirectory dir;
    const std::string tail =
        "; only pages of one size and kind can be read, as the planes of a 3-D image";
    writePages(dir.file("size.tif"),
               {plain(4, 4, 32, SAMPLEFORMAT_IEEEFP, 1), plain(4, 4, 32, SAMPLEFORMAT_IEEEFP, 2),
                plain(4, 3, 32, SAMPLEFORMAT_IEEEFP, 3)});
    EXPECT_THROW_MESSAGE(readTiff(dir.file("size.tif")), ImageIOError,
                         dir.file("size.tif") +
                             ": has pages that differ: page 1 is 4 x 4 float32, page 3 is 4 x 3 "
                             "float32" +
                             tail);
    writePages(dir.file("kind.tif"),
               {plain(4, 4, 8, SAMPLEFORMAT_UINT, 1), plain(4, 4, 8, SAMPLEFORMAT_INT, 2)});
    EXPECT_THROW_MESSAGE(
        readTiff(dir.file("kind.tif")), ImageIOError,
        dir.file("kind.tif") +
            ": has pages that differ: page 1 is 4 x 4 uint8, page 2 is 4 x 4 int8" + tail);
    writePages(dir.file("bits.tif"),
               {plain(8, 2, 8, SAMPLEFORMAT_UINT, 1), plain(8, 2, 1, SAMPLEFORMAT_UINT, 2)});
    EXPECT_THROW_MESSAGE(
        readTiff(dir.file("bits.tif")), ImageIOError,
        dir.file("bits.tif") +
            ": has pages that differ: page 1 is 8 x 2 uint8, page 2 is 8 x 2 1-bit" + tail);
    // A later page that cannot be read at all says which it is.
    writePages(dir.file("complex.tif"), {plain(2, 2, 32, SAMPLEFORMAT_IEEEFP, 1),
                                         plain(2, 2, 64, SAMPLEFORMAT_COMPLEXIEEEFP, 2)});
    EXPECT_THROW_MESSAGE(
        readTiff(dir.file("complex.tif")), ImageIOError,
        dir.file("complex.tif") + ": page 2 holds complex samples; only real samples can be read");
}

TEST(TiffPages, PlanesAreWrittenAsPagesAndReadBack) {
    ToolsTest::ScratchDirectory dir;
    Raster volume = makeRaster(ElementType::Int32, 3, 2, 4);
    volume.bytes = pattern(volume.bytes.size(), 9);
    writeTiff(dir.file("volume.tif"), volume);
    Raster back = readTiff(dir.file("volume.tif"));
    EXPECT_EQ(back.sizes(), (std::vector<std::uint32_t>{3, 2, 4}));
    EXPECT_EQ(back.bytes, volume.bytes);
    // Marked as the pages of one document, for other programs.
    TIFF* tif = TIFFOpen(dir.file("volume.tif").c_str(), "r");
    ASSERT_NE(tif, nullptr);
    EXPECT_EQ(TIFFNumberOfDirectories(tif), 4u);
    ASSERT_TRUE(TIFFSetDirectory(tif, 2));
    std::uint32_t subfile = 0;
    std::uint16_t number = 0, total = 0;
    EXPECT_TRUE(TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &subfile));
    EXPECT_EQ(subfile, std::uint32_t{FILETYPE_PAGE});
    EXPECT_TRUE(TIFFGetField(tif, TIFFTAG_PAGENUMBER, &number, &total));
    EXPECT_EQ(number, 2);
    EXPECT_EQ(total, 4);
    TIFFClose(tif);
    // A single plane stays one plain page.
    writeFloatTiff(dir.file("flat.tif"), makeRaster(ElementType::UInt8, 3, 2));
    tif = TIFFOpen(dir.file("flat.tif").c_str(), "r");
    ASSERT_NE(tif, nullptr);
    EXPECT_EQ(TIFFNumberOfDirectories(tif), 1u);
    EXPECT_FALSE(TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &subfile) && subfile != 0);
    TIFFClose(tif);
}

TEST(TiffPages, TheSizeLimitCountsEveryPlane) {
    EXPECT_NO_THROW(checkRasterSize(ElementType::Float64, 8192, 8192, 2));
    EXPECT_THROW_MESSAGE(checkRasterSize(ElementType::Float64, 8192, 8192, 3), ImageIOError,
                         "an image of 8192 x 8192 x 3 float64 elements is too large (more than "
                         "1 GiB)");
    EXPECT_THROW_MESSAGE(checkRasterSize(ElementType::UInt8, 2, 2, 0), ImageIOError,
                         "an image needs at least one row and one column in at least one plane, "
                         "not 2 x 2 x 0");
}

// ---- Single bits --------------------------------------------------------------------------------

// 11 x 3 bits, odd width: row y has the pixels x with (x * (y + 1)) % 3 == 0 set.
constexpr std::uint32_t kBitsWide = 11, kBitsHigh = 3;

std::vector<unsigned char> packedMask() {
    std::vector<unsigned char> rows(2 * kBitsHigh, 0);
    for (std::uint32_t y = 0; y < kBitsHigh; ++y) {
        for (std::uint32_t x = 0; x < kBitsWide; ++x) {
            if ((x * (y + 1)) % 3 == 0)
                rows[y * 2 + x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
        }
    }
    // Bits past the width are padding, which readers must ignore.
    for (std::uint32_t y = 0; y < kBitsHigh; ++y) rows[y * 2 + 1] |= 0x1F;
    return rows;
}

std::vector<unsigned char> expectedMask() {
    std::vector<unsigned char> values;
    for (std::uint32_t y = 0; y < kBitsHigh; ++y) {
        for (std::uint32_t x = 0; x < kBitsWide; ++x) values.push_back((x * (y + 1)) % 3 == 0);
    }
    return values;
}

Page maskPage(std::uint16_t photometric, std::function<void(TIFF*)> extra = nullptr) {
    return {kBitsWide, kBitsHigh, 1, SAMPLEFORMAT_UINT, photometric, packedMask(), extra};
}

TEST(TiffBilevel, EachBitIsZeroOrOneInEitherPhotometricInterpretation) {
    ToolsTest::ScratchDirectory dir;
    // The set bits are what a mask marks: white on black, or black ink on white paper.
    for (std::uint16_t photometric : {PHOTOMETRIC_MINISBLACK, PHOTOMETRIC_MINISWHITE}) {
        SCOPED_TRACE(photometric);
        writePages(dir.file("mask.tif"), {maskPage(photometric)});
        Raster r = readImage(dir.file("mask.tif"));
        EXPECT_EQ(r.type, ElementType::UInt8);
        EXPECT_EQ(r.sizes(), (std::vector<std::uint32_t>{kBitsWide, kBitsHigh}));
        EXPECT_EQ(r.bytes, expectedMask());
    }
}

TEST(TiffBilevel, FillOrderFaxCompressionTilesAndPagesAreAllUndone) {
    ToolsTest::ScratchDirectory dir;
    const auto lsbFirst = [](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
    };
    const auto tiles = [](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16u);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16u);
    };
    const auto fax = [](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    };
    const auto packbits = [](TIFF* tif) {
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
    };
    std::vector<std::function<void(TIFF*)>> layouts = {lsbFirst, tiles, packbits};
    if (TIFFIsCODECConfigured(COMPRESSION_CCITTFAX4)) layouts.push_back(fax);
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        SCOPED_TRACE(i);
        writePages(dir.file("mask.tif"), {maskPage(PHOTOMETRIC_MINISWHITE, layouts[i])});
        EXPECT_EQ(readTiff(dir.file("mask.tif")).bytes, expectedMask());
    }
    writePages(dir.file("masks.tif"),
               {maskPage(PHOTOMETRIC_MINISWHITE), maskPage(PHOTOMETRIC_MINISWHITE, tiles)});
    Raster both = readTiff(dir.file("masks.tif"));
    EXPECT_EQ(both.planes, 2u);
    std::vector<unsigned char> twice = expectedMask();
    twice.insert(twice.end(), twice.begin(), twice.end());
    EXPECT_EQ(both.bytes, twice);
}

TEST(TiffBilevel, SignedBitsAndOtherInterpretationsAreRefused) {
    ToolsTest::ScratchDirectory dir;
    Page signedBits = maskPage(PHOTOMETRIC_MINISBLACK);
    signedBits.format = SAMPLEFORMAT_INT;
    writePages(dir.file("signed.tif"), {signedBits});
    EXPECT_THROW_MESSAGE(readTiff(dir.file("signed.tif")), ImageIOError,
                         dir.file("signed.tif") +
                             ": has 1-bit signed integer samples; readable are 1-bit unsigned "
                             "(bilevel), 8-, 16- and 32-bit integers and 32- and 64-bit floats");
    writePages(dir.file("mask-kind.tif"), {maskPage(PHOTOMETRIC_MASK)});
    EXPECT_THROW_MESSAGE(readTiff(dir.file("mask-kind.tif")), ImageIOError,
                         dir.file("mask-kind.tif") +
                             ": has 1-bit samples of photometric interpretation 4; bilevel "
                             "images are read when black or white is zero");
}

}  // namespace
