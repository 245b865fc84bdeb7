// An image's name, label, calibrations and number of dimensions in the TIFF's description: the
// text itself, the round trip through a file, descriptions of other programs, and damaged ones.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "ExpectThrow.h"
#include "ImageIO.h"
#include "ToolsTestSupport.h"

using namespace Tools;
using StandIn::Calibration;
using StandIn::ElementType;

namespace {

// Everything that can go wrong in a text: newlines, backslashes, '=', Latin-1 bytes (µ, é), a
// control character; and floats that need every digit, a subnormal, an infinity and minus zero.
ImageMetadata awkward() {
    ImageMetadata m;
    m.known = true;
    m.name = "Hough Transform";
    m.label = "first line\nsecond = \\ caf\xE9\x01";
    m.dimensionCalibrations = {Calibration{1.5f, 0.1f, "\xB5m", false},
                               Calibration{-0.0f, 3e-39f, "rows\tdown", true},
                               Calibration{16777217.0f, 1.0f / 3, "", true}};
    m.intensityCalibration =
        Calibration{-std::numeric_limits<float>::infinity(), 2.5e10f, "counts\r", true};
    return m;
}

void expectSameMetadata(const ImageMetadata& a, const ImageMetadata& b) {
    EXPECT_EQ(a.known, b.known);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.label, b.label);
    EXPECT_EQ(a.dimensionCalibrations, b.dimensionCalibrations);
    EXPECT_EQ(a.intensityCalibration, b.intensityCalibration);
    for (std::size_t d = 0;
         d < std::min(a.dimensionCalibrations.size(), b.dimensionCalibrations.size()); ++d) {
        EXPECT_EQ(std::signbit(a.dimensionCalibrations[d].origin),
                  std::signbit(b.dimensionCalibrations[d].origin))
            << d;
    }
}

TEST(TiffMetadata, TheDescriptionIsAKeyValueText) {
    ImageMetadata m;
    m.known = true;
    m.name = "Hough Transform";
    m.dimensionCalibrations = {Calibration{}, Calibration{128, 1.41421354f, "px", false}};
    m.intensityCalibration.unit = "votes";
    EXPECT_EQ(formatDescription(m, 1),
              "photarion-image 1\n"
              "name=Hough Transform\n"
              "label=\n"
              "dimensions=2\n"
              "dim0.origin=0\ndim0.scale=1\ndim0.unit=\ndim0.displayed=1\n"
              "dim1.origin=128\ndim1.scale=1.4142135\ndim1.unit=px\ndim1.displayed=0\n"
              "intensity.origin=0\nintensity.scale=1\nintensity.unit=votes\n"
              "intensity.displayed=1\n");
    const std::string escaped =
        "photarion-image 1\nname=Hough Transform\nlabel=first line\\nsecond = \\\\ "
        "caf\\xE9\\x01\n";
    EXPECT_EQ(formatDescription(awkward(), 1).rfind(escaped, 0), 0u)
        << formatDescription(awkward(), 1);
}

TEST(TiffMetadata, NameLabelAndCalibrationsSurviveAFile) {
    ToolsTest::ScratchDirectory dir;
    Raster volume = makeRaster(ElementType::Float32, 3, 2, 2);
    volume.metadata = awkward();
    writeTiff(dir.file("volume.tif"), volume);
    Raster back = readTiff(dir.file("volume.tif"));
    expectSameMetadata(back.metadata, volume.metadata);
    EXPECT_EQ(back.sizes(), (std::vector<std::uint32_t>{3, 2, 2}));

    // One dimension: a single row that stays one-dimensional; converted to float, kept.
    Raster line = makeRaster<std::int16_t>(ElementType::Int16, 4, 1, {1, -2, 3, -4});
    line.metadata = awkward();
    line.metadata.dimensions = 1;
    line.metadata.dimensionCalibrations.resize(1);
    writeFloatTiff(dir.file("line.tif"), line);
    back = readTiff(dir.file("line.tif"));
    expectSameMetadata(back.metadata, line.metadata);
    EXPECT_EQ(back.sizes(), (std::vector<std::uint32_t>{4}));
    EXPECT_EQ(toFloats(back), (std::vector<float>{1, -2, 3, -4}));

    // Not-a-number survives too (it equals nothing, so it is checked apart).
    Raster odd = makeRaster(ElementType::UInt8, 1, 1);
    odd.metadata.known = true;
    odd.metadata.intensityCalibration.origin = std::numeric_limits<float>::quiet_NaN();
    odd.metadata.intensityCalibration.scale = -std::numeric_limits<float>::quiet_NaN();
    writeTiff(dir.file("nan.tif"), odd);
    back = readTiff(dir.file("nan.tif"));
    EXPECT_TRUE(std::isnan(back.metadata.intensityCalibration.origin));
    EXPECT_TRUE(std::isnan(back.metadata.intensityCalibration.scale));

    // A 3-D image of one plane is still three-dimensional.
    Raster slab = makeRaster(ElementType::UInt8, 2, 2);
    slab.metadata.known = true;
    slab.metadata.dimensions = 3;
    writeTiff(dir.file("slab.tif"), slab);
    EXPECT_EQ(readTiff(dir.file("slab.tif")).sizes(), (std::vector<std::uint32_t>{2, 2, 1}));
}

TEST(TiffMetadata, FilesWithoutItHaveNone) {
    ToolsTest::ScratchDirectory dir;
    // Written without metadata: no description at all.
    writeTiff(dir.file("plain.tif"), makeRaster(ElementType::UInt8, 2, 2));
    TIFF* tif = TIFFOpen(dir.file("plain.tif").c_str(), "r");
    ASSERT_NE(tif, nullptr);
    char* text = nullptr;
    EXPECT_FALSE(TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text));
    TIFFClose(tif);
    EXPECT_FALSE(readTiff(dir.file("plain.tif")).metadata.known);
    // Another program's description is left alone.
    for (const char* foreign : {"scanned at 600 dpi", "", "photarion-image", "photarion-image1"}) {
        SCOPED_TRACE(foreign);
        tif = TIFFOpen(dir.file("foreign.tif").c_str(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1u);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1u);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, std::uint16_t{8});
        TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, foreign);
        unsigned char pixel = 7;
        TIFFWriteScanline(tif, &pixel, 0, 0);
        TIFFClose(tif);
        Raster r = readImage(dir.file("foreign.tif"));
        EXPECT_FALSE(r.metadata.known);
        EXPECT_EQ(r.bytes, (std::vector<unsigned char>{7}));
    }
}

TEST(TiffMetadata, AHandWrittenDescriptionNeedsOnlyWhatItChanges) {
    std::optional<ImageMetadata> m =
        parseDescription("photarion-image 1\r\n\r\nintensity.unit=K\r\ndim1.scale=0.5\r\n", 4, 1);
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->known);
    EXPECT_EQ(m->name, "");
    EXPECT_EQ(m->dimensions, 0u);
    EXPECT_EQ(m->intensityCalibration, (Calibration{0, 1, "K", true}));
    EXPECT_EQ(m->dimensionCalibrations, (std::vector<Calibration>{{}, {0, 0.5f, "", true}}));
    m = parseDescription("photarion-image 1\ndim2.unit=s", 4, 5);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->dimensionCalibrations.size(), 3u);
    EXPECT_EQ(parseDescription("photarion-image 1", 4, 1)->dimensionCalibrations.size(), 0u);
}

TEST(TiffMetadata, DamagedDescriptionsAreRefusedSayingWhere) {
    const std::string damaged = "its image description is damaged: line 2, ";
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"dim0.scale=abc", damaged + "\"dim0.scale=abc\": not a number"},
        {"dim0.scale=", damaged + "\"dim0.scale=\": not a number"},
        {"dim0.origin=1e39", damaged + "\"dim0.origin=1e39\": not a number"},
        {"dim0.origin= 1", damaged + "\"dim0.origin= 1\": not a number"},
        {"dim1.displayed=yes", damaged + "\"dim1.displayed=yes\": displayed is 1 or 0"},
        {"colour=red", damaged + "\"colour=red\": unknown key 'colour'"},
        {"dim3.unit=m", damaged + "\"dim3.unit=m\": unknown key 'dim3.unit'"},
        {"intensity.offset=1", damaged + "\"intensity.offset=1\": unknown key 'intensity.offset'"},
        {"name", damaged + "\"name\": no '=' between key and value"},
        {"name=a\\", damaged + "\"name=a\\\\\": a backslash ends the value"},
        {"name=a\\q", damaged + "\"name=a\\\\q\": unknown escape \\q"},
        {"name=a\\x4", damaged + "\"name=a\\\\x4\": \\x needs two hexadecimal digits"},
        {"name=a\\xg0", damaged + "\"name=a\\\\xg0\": \\x needs two hexadecimal digits"},
        {"dimensions=4", damaged + "\"dimensions=4\": dimensions is 1, 2 or 3"},
        {"name=a\nname=b",
         "its image description is damaged: line 3, \"name=b\": 'name' is given "
         "twice, first on line 2"},
        {"dimensions=1",
         "its image description gives 1 dimension, but the file holds 1 page of "
         "4 rows"},
        {"dimensions=2\ndim2.scale=3",
         "its image description gives 2 dimensions, but the file holds 3 pages of 4 rows"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::uint32_t planes = c.text.find("dim2") != std::string::npos ? 3 : 1;
        EXPECT_THROW_MESSAGE(parseDescription("photarion-image 1\n" + c.text, 4, planes),
                             ImageIOError, c.message);
    }
    EXPECT_THROW_MESSAGE(parseDescription("photarion-image 1\ndim2.scale=3", 4, 1), ImageIOError,
                         "its image description calibrates dimension 2 (line 2) of a "
                         "2-dimensional image");
    EXPECT_THROW_MESSAGE(parseDescription("photarion-image 2\nname=x", 4, 1), ImageIOError,
                         "its image description is of format version 2; this reader knows "
                         "version 1");
}

TEST(TiffMetadata, ADamagedDescriptionInAFileNamesTheFile) {
    ToolsTest::ScratchDirectory dir;
    Raster r = makeRaster(ElementType::UInt8, 2, 2);
    r.metadata.known = true;
    writeTiff(dir.file("good.tif"), r);
    // The same file with its description damaged in place, as an editor might leave it.
    std::string bytes;
    {
        std::ifstream in(dir.file("good.tif"), std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::size_t at = bytes.find("dim0.scale=1");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 11] = 'x';
    std::ofstream(dir.file("bad.tif"), std::ios::binary) << bytes;
    EXPECT_THROW_MESSAGE(readImage(dir.file("bad.tif")), ImageIOError,
                         dir.file("bad.tif") +
                             ": its image description is damaged: line 6, \"dim0.scale=x\": not "
                             "a number");
}

}  // namespace
