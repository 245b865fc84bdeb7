// Image files: TIFF of every real element kind in and out, the layouts libtiff may hand back
// (strips, tiles, compression, big-endian), greyscale PNG, refusals, and the preview's default
// scaling. Pages, bits and metadata: TiffPages_test.cpp, TiffMetadata_test.cpp; the other preview
// mappings: PreviewMapping_test.cpp.
#include "ImageIO.h"

#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>

#include "ExpectThrow.h"
#include "ToolsTestSupport.h"

using namespace Tools;
using StandIn::ElementType;

namespace {

// Bytes that are different in every position, so that a shifted row or a swapped byte shows.
Raster patterned(ElementType type, std::uint32_t width, std::uint32_t height) {
    Raster r = makeRaster(type, width, height);
    for (std::size_t i = 0; i < r.bytes.size(); ++i)
        r.bytes[i] = static_cast<unsigned char>((i * 37 + 11) & 0xFF);
    return r;
}

// Writes a TIFF with libtiff directly, the test setting every tag it needs.
void writeTiffWith(const std::string& path, const char* mode,
                   const std::function<void(TIFF*)>& body) {
    TIFF* tif = TIFFOpen(path.c_str(), mode);
    ASSERT_NE(tif, nullptr);
    body(tif);
    TIFFClose(tif);
}

void setBasics(TIFF* tif, std::uint32_t width, std::uint32_t height, std::uint16_t samples,
               std::uint16_t bits, std::uint16_t format) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, format);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
}

// A file of the given size in bits per row × rows, written scanline by scanline.
void writePlainTiff(const std::string& path, std::uint32_t width, std::uint32_t height,
                    std::uint16_t samples, std::uint16_t bits, std::uint16_t format) {
    writeTiffWith(path, "w", [&](TIFF* tif) {
        setBasics(tif, width, height, samples, bits, format);
        std::vector<unsigned char> row((width * samples * bits + 7) / 8, 0x5A);
        for (std::uint32_t y = 0; y < height; ++y) TIFFWriteScanline(tif, row.data(), y, 0);
    });
}

// The message of a file that cannot be read, for the texts whose end is the library's.
std::string readError(const std::string& path) {
    try {
        readImage(path);
    } catch (const ImageIOError& e) {
        return e.what();
    }
    return "(read)";
}

// ---- TIFF round trips ---------------------------------------------------------------------------

class TiffRoundTrip : public testing::TestWithParam<ElementType> {};

TEST_P(TiffRoundTrip, KeepsTheElementTypeAndEveryByte) {
    ToolsTest::ScratchDirectory dir;
    Raster original = patterned(GetParam(), 7, 5);
    writeTiff(dir.file("t.tif"), original);
    Raster back = readImage(dir.file("t.tif"));
    EXPECT_EQ(back.type, GetParam());
    EXPECT_EQ(back.width, 7u);
    EXPECT_EQ(back.height, 5u);
    EXPECT_EQ(back.bytes, original.bytes);
}

TEST_P(TiffRoundTrip, FloatTiffHoldsTheValuesConverted) {
    ToolsTest::ScratchDirectory dir;
    Raster original = patterned(GetParam(), 3, 4);
    writeFloatTiff(dir.file("f.tif"), original);
    Raster back = readTiff(dir.file("f.tif"));
    ASSERT_EQ(back.type, ElementType::Float32);
    for (std::size_t i = 0; i < original.elementCount(); ++i) {
        const float expected = nearestFloat(original.value(i));
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(back.value(i))) << i;
        else
            EXPECT_EQ(static_cast<float>(back.value(i)), expected) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryRealKind, TiffRoundTrip,
                         testing::Values(ElementType::UInt8, ElementType::Int8, ElementType::UInt16,
                                         ElementType::Int16, ElementType::UInt32,
                                         ElementType::Int32, ElementType::Float32,
                                         ElementType::Float64),
                         [](const testing::TestParamInfo<ElementType>& info) {
                             return std::string(StandIn::elementTypeName(info.param));
                         });

TEST(NearestFloat, RoundsLikeTheHardwareAndOverflowsToInfinity) {
    const double max = std::numeric_limits<float>::max();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(nearestFloat(0.1), 0.1f);
    EXPECT_EQ(nearestFloat(max), std::numeric_limits<float>::max());
    EXPECT_EQ(nearestFloat(max + 0x1p102), std::numeric_limits<float>::max());
    EXPECT_EQ(nearestFloat(max + 0x1p103), inf) << "the midpoint rounds to even, which is infinity";
    EXPECT_EQ(nearestFloat(-1e300), -inf);
    EXPECT_TRUE(std::isnan(nearestFloat(std::nan(""))));
}

TEST(TiffRead, ExtremeIntegersBecomeExactFloats) {
    ToolsTest::ScratchDirectory dir;
    Raster r = makeRaster<std::int16_t>(ElementType::Int16, 3, 1, {-32768, 0, 32767});
    writeFloatTiff(dir.file("x.tif"), r);
    EXPECT_EQ(toFloats(readTiff(dir.file("x.tif"))),
              (std::vector<float>{-32768.0f, 0.0f, 32767.0f}));
}

TEST(TiffRead, BigEndianFilesComeBackInHostOrder) {
    ToolsTest::ScratchDirectory dir;
    const std::vector<std::int16_t> shorts = {-2, 258, 32767};
    writeTiffWith(dir.file("be16.tif"), "wb", [&](TIFF* tif) {
        setBasics(tif, 3, 1, 1, 16, SAMPLEFORMAT_INT);
        std::vector<std::int16_t> row = shorts;
        TIFFWriteScanline(tif, row.data(), 0, 0);
    });
    const std::vector<double> doubles = {1.0 / 3, -1e300};
    writeTiffWith(dir.file("be64.tif"), "wb", [&](TIFF* tif) {
        setBasics(tif, 1, 2, 1, 64, SAMPLEFORMAT_IEEEFP);
        for (std::uint32_t y = 0; y < 2; ++y) {
            double v = doubles[y];
            TIFFWriteScanline(tif, &v, y, 0);
        }
    });
    Raster s = readTiff(dir.file("be16.tif"));
    ASSERT_EQ(s.type, ElementType::Int16);
    EXPECT_EQ(s.value(0), -2);
    EXPECT_EQ(s.value(1), 258);
    EXPECT_EQ(s.value(2), 32767);
    Raster d = readTiff(dir.file("be64.tif"));
    ASSERT_EQ(d.type, ElementType::Float64);
    EXPECT_EQ(d.value(0), doubles[0]);
    EXPECT_EQ(d.value(1), doubles[1]);
}

TEST(TiffRead, CompressedStripsThatDoNotDivideTheHeight) {
    ToolsTest::ScratchDirectory dir;
    Raster original = patterned(ElementType::Int32, 7, 10);
    writeTiffWith(dir.file("strips.tif"), "w", [&](TIFF* tif) {
        setBasics(tif, 7, 10, 1, 32, SAMPLEFORMAT_INT);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 3);
        std::vector<unsigned char> row(7 * 4);
        for (std::uint32_t y = 0; y < 10; ++y) {
            std::memcpy(row.data(), original.bytes.data() + y * row.size(), row.size());
            TIFFWriteScanline(tif, row.data(), y, 0);
        }
    });
    EXPECT_EQ(readTiff(dir.file("strips.tif")).bytes, original.bytes);
}

TEST(TiffRead, TilesThatOverhangTheImage) {
    ToolsTest::ScratchDirectory dir;
    const std::uint32_t width = 37, height = 21, tile = 16;
    Raster original = patterned(ElementType::UInt16, width, height);
    writeTiffWith(dir.file("tiled.tif"), "w", [&](TIFF* tif) {
        setBasics(tif, width, height, 1, 16, SAMPLEFORMAT_UINT);
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, tile);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, tile);
        std::vector<std::uint16_t> buffer(tile * tile);
        for (std::uint32_t ty = 0; ty < height; ty += tile) {
            for (std::uint32_t tx = 0; tx < width; tx += tile) {
                std::fill(buffer.begin(), buffer.end(), 0xFFFF);
                for (std::uint32_t y = 0; y < tile && ty + y < height; ++y) {
                    for (std::uint32_t x = 0; x < tile && tx + x < width; ++x) {
                        buffer[y * tile + x] =
                            static_cast<std::uint16_t>(original.value((ty + y) * width + tx + x));
                    }
                }
                TIFFWriteTile(tif, buffer.data(), tx, ty, 0, 0);
            }
        }
    });
    Raster back = readTiff(dir.file("tiled.tif"));
    EXPECT_EQ(back.width, width);
    EXPECT_EQ(back.height, height);
    EXPECT_EQ(back.bytes, original.bytes);
}

// ---- TIFF refusals ------------------------------------------------------------------------------

TEST(TiffRead, RefusesWhatIsNotOneRealSamplePerPixel) {
    ToolsTest::ScratchDirectory dir;
    writePlainTiff(dir.file("rgb.tif"), 4, 2, 3, 8, SAMPLEFORMAT_UINT);
    writePlainTiff(dir.file("complex.tif"), 4, 2, 1, 64, SAMPLEFORMAT_COMPLEXIEEEFP);
    writePlainTiff(dir.file("bits.tif"), 4, 2, 1, 2, SAMPLEFORMAT_UINT);
    writePlainTiff(dir.file("long.tif"), 4, 2, 1, 64, SAMPLEFORMAT_INT);
    writePlainTiff(dir.file("half.tif"), 4, 2, 1, 16, SAMPLEFORMAT_IEEEFP);
    EXPECT_THROW_MESSAGE(
        readImage(dir.file("rgb.tif")), ImageIOError,
        dir.file("rgb.tif") +
            ": has 3 samples per pixel (colour or alpha); only single-sample (greyscale) "
            "images can be read");
    EXPECT_THROW_MESSAGE(
        readImage(dir.file("complex.tif")), ImageIOError,
        dir.file("complex.tif") + ": holds complex samples; only real samples can be read");
    const std::string readable =
        " samples; readable are 1-bit unsigned (bilevel), 8-, 16- and 32-bit integers and 32- "
        "and 64-bit floats";
    EXPECT_THROW_MESSAGE(readImage(dir.file("bits.tif")), ImageIOError,
                         dir.file("bits.tif") + ": has 2-bit unsigned integer" + readable);
    EXPECT_THROW_MESSAGE(readImage(dir.file("long.tif")), ImageIOError,
                         dir.file("long.tif") + ": has 64-bit signed integer" + readable);
    EXPECT_THROW_MESSAGE(readImage(dir.file("half.tif")), ImageIOError,
                         dir.file("half.tif") + ": has 16-bit floating-point" + readable);
}

TEST(ImageRead, MissingEmptyForeignAndTruncatedFilesAreErrorsNamingTheFile) {
    ToolsTest::ScratchDirectory dir;
    EXPECT_THROW_MESSAGE(readImage(dir.file("none.tif")), ImageIOError,
                         dir.file("none.tif") + ": No such file or directory");
    std::ofstream(dir.file("empty.tif")).close();
    EXPECT_THROW_MESSAGE(readImage(dir.file("empty.tif")), ImageIOError,
                         dir.file("empty.tif") + ": is empty");
    std::ofstream(dir.file("text.tif")) << "just some text, no image";
    EXPECT_THROW_MESSAGE(readImage(dir.file("text.tif")), ImageIOError,
                         dir.file("text.tif") + ": is neither a TIFF nor a PNG file");

    writeTiff(dir.file("whole.tif"), patterned(ElementType::Float32, 64, 64));
    std::ifstream in(dir.file("whole.tif"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(dir.file("cut.tif"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    const std::string cut = readError(dir.file("cut.tif"));
    EXPECT_EQ(cut.rfind(dir.file("cut.tif") + ": ", 0), 0u) << cut;

    bytes.resize(16);  // the header survives, the directory does not
    std::ofstream(dir.file("header.tif"), std::ios::binary) << bytes;
    EXPECT_EQ(readError(dir.file("header.tif")).rfind(dir.file("header.tif") + ": ", 0), 0u);
}

// ---- PNG --------------------------------------------------------------------------------------

// A greyscale PNG of 1, 2 or 4 bits per sample, written with libpng's full interface. Plain data
// only in this frame: libpng leaves it by longjmp on failure.
bool writeLowDepthPng(const char* path, int bitDepth, const unsigned char* packedRows,
                      std::uint32_t width, std::uint32_t height, std::size_t rowBytes) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, bitDepth, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_ADAM7,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass) {
        for (std::uint32_t y = 0; y < height; ++y) png_write_row(png, packedRows + y * rowBytes);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return true;
}

TEST(PngRead, EightAndSixteenBitGreyComeBackExactly) {
    ToolsTest::ScratchDirectory dir;
    Raster bytes = patterned(ElementType::UInt8, 7, 5);
    writePng(dir.file("g8.png"), bytes);
    Raster back8 = readImage(dir.file("g8.png"));
    EXPECT_EQ(back8.type, ElementType::UInt8);
    EXPECT_EQ(back8.bytes, bytes.bytes);

    Raster words =
        makeRaster<std::uint16_t>(ElementType::UInt16, 3, 2, {0, 1, 256, 4660, 65534, 65535});
    writePng(dir.file("g16.png"), words);
    Raster back16 = readImage(dir.file("g16.png"));
    EXPECT_EQ(back16.type, ElementType::UInt16);
    EXPECT_EQ(back16.bytes, words.bytes);
}

TEST(PngRead, LowBitDepthsWidenToEightBitsAndInterlacingIsUndone) {
    ToolsTest::ScratchDirectory dir;
    // 1 bit, 10 × 3: row y has pixels x with (x + y) odd set.
    std::vector<unsigned char> rows(3 * 2, 0);
    for (std::uint32_t y = 0; y < 3; ++y) {
        for (std::uint32_t x = 0; x < 10; ++x) {
            if ((x + y) % 2) rows[y * 2 + x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
        }
    }
    ASSERT_TRUE(writeLowDepthPng(dir.file("g1.png").c_str(), 1, rows.data(), 10, 3, 2));
    Raster back = readPng(dir.file("g1.png"));
    ASSERT_EQ(back.type, ElementType::UInt8);
    ASSERT_EQ(back.width, 10u);
    for (std::uint32_t y = 0; y < 3; ++y) {
        for (std::uint32_t x = 0; x < 10; ++x)
            EXPECT_EQ(back.value(y * 10 + x), (x + y) % 2 ? 255 : 0) << x << "," << y;
    }
    // 4 bits: the level 0x7 becomes 0x77.
    const unsigned char nibbles[1] = {0x7F};
    ASSERT_TRUE(writeLowDepthPng(dir.file("g4.png").c_str(), 4, nibbles, 2, 1, 1));
    EXPECT_EQ(readPng(dir.file("g4.png")).bytes, (std::vector<unsigned char>{0x77, 0xFF}));
}

TEST(PngRead, ContentDecidesNotTheFileName) {
    ToolsTest::ScratchDirectory dir;
    writePng(dir.file("really-png.tif"), patterned(ElementType::UInt8, 2, 2));
    EXPECT_EQ(readImage(dir.file("really-png.tif")).type, ElementType::UInt8);
    writeTiff(dir.file("really-tiff.png"), patterned(ElementType::Int32, 2, 2));
    EXPECT_EQ(readImage(dir.file("really-tiff.png")).type, ElementType::Int32);
}

TEST(PngRead, RefusesColourAndAlpha) {
    ToolsTest::ScratchDirectory dir;
    auto writeFormat = [&](const std::string& name, png_uint_32 format, std::size_t channels) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = 2;
        image.height = 2;
        image.format = format;
        std::vector<unsigned char> pixels(4 * channels, 100);
        ASSERT_TRUE(
            png_image_write_to_file(&image, dir.file(name).c_str(), 0, pixels.data(), 0, nullptr));
    };
    writeFormat("rgb.png", PNG_FORMAT_RGB, 3);
    writeFormat("ga.png", PNG_FORMAT_GA, 2);
    EXPECT_THROW_MESSAGE(
        readImage(dir.file("rgb.png")), ImageIOError,
        dir.file("rgb.png") + ": is a colour PNG; only greyscale PNG without alpha can be read");
    EXPECT_THROW_MESSAGE(
        readImage(dir.file("ga.png")), ImageIOError,
        dir.file("ga.png") +
            ": is a grey with alpha PNG; only greyscale PNG without alpha can be read");
}

TEST(PngRead, DamagedDataIsAnErrorNamingTheFile) {
    ToolsTest::ScratchDirectory dir;
    writePng(dir.file("whole.png"), patterned(ElementType::UInt8, 40, 40));
    std::ifstream in(dir.file("whole.png"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(dir.file("cut.png"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    const std::string message = readError(dir.file("cut.png"));
    EXPECT_EQ(message.rfind(dir.file("cut.png") + ": ", 0), 0u) << message;
}

// ---- Preview ------------------------------------------------------------------------------------

std::vector<std::uint8_t> preview(const std::vector<float>& values) {
    return previewBytes(
        makeRaster(ElementType::Float32, static_cast<std::uint32_t>(values.size()), 1, values));
}

TEST(Preview, ScalesMinimumToBlackAndMaximumToWhiteLinearly) {
    EXPECT_EQ(preview({-2, 0, 2, 1, -1}), (std::vector<std::uint8_t>{0, 128, 255, 191, 64}));
    Raster shorts = makeRaster<std::int16_t>(ElementType::Int16, 3, 1, {-32768, 32767, 0});
    EXPECT_EQ(previewBytes(shorts), (std::vector<std::uint8_t>{0, 255, 128}));
}

TEST(Preview, ConstantImagesAreBlackWhenZeroAndMidGreyOtherwise) {
    EXPECT_EQ(preview({0, 0, 0}), (std::vector<std::uint8_t>{0, 0, 0}));
    EXPECT_EQ(preview({-0.0f, 0}), (std::vector<std::uint8_t>{0, 0}));
    EXPECT_EQ(preview({5, 5}), (std::vector<std::uint8_t>{128, 128}));
    EXPECT_EQ(preview({-3}), (std::vector<std::uint8_t>{128}));
}

TEST(Preview, NonFiniteValuesStayOutOfTheRange) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(preview({nan, 10, 20, inf, -inf}), (std::vector<std::uint8_t>{0, 0, 255, 255, 0}));
    Raster r = makeRaster<float>(ElementType::Float32, 3, 1, {nan, 1, 3});
    ValueRange range = finiteRange(r);
    EXPECT_EQ(range.min, 1);
    EXPECT_EQ(range.max, 3);
    EXPECT_EQ(preview({nan, nan}), (std::vector<std::uint8_t>{0, 0}));
}

TEST(Preview, TheWidestDoubleRangeDoesNotOverflow) {
    const double big = std::numeric_limits<double>::max();
    Raster r = makeRaster<double>(ElementType::Float64, 3, 1, {-big, big, 0});
    EXPECT_EQ(previewBytes(r), (std::vector<std::uint8_t>{0, 255, 128}));
}

TEST(Preview, PngHoldsThePreviewBytesAndReportsItsRange) {
    ToolsTest::ScratchDirectory dir;
    Raster r = makeRaster<float>(ElementType::Float32, 2, 2, {0.5f, 1.5f, 2.5f, 0.5f});
    ValueRange range = writePreviewPng(dir.file("p.png"), r);
    EXPECT_EQ(range.min, 0.5);
    EXPECT_EQ(range.max, 2.5);
    Raster back = readPng(dir.file("p.png"));
    EXPECT_EQ(back.type, ElementType::UInt8);
    EXPECT_EQ(back.bytes, (std::vector<unsigned char>{0, 128, 255, 0}));
    EXPECT_THROW(writePreviewPng(dir.file("c.png"), makeRaster(ElementType::Complex64, 1, 1)),
                 ImageIOError);
}

}  // namespace
