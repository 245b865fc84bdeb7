// The runner's files end to end with the test module: outputs checked before the call, options
// after the positional words, what the host keeps of an image through a file and back, 3-D and
// bilevel inputs, and the preview's mapping.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <fstream>

#include "ImageIO.h"
#include "ToolsTestSupport.h"

using namespace Tools;
using StandIn::Calibration;
using ToolsTest::run;
using ToolsTest::RunResult;
using ToolsTest::ScratchDirectory;

namespace {

const std::string kModule = RUNNER_TEST_MODULE;

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(RunnerOutputs, PlacesThatCannotBeWrittenAreReportedBeforeTheCall) {
    ScratchDirectory dir;
    std::ofstream(dir.file("file.txt")) << "a file, not a directory";
    std::filesystem::create_directory(dir.file("folder"));
    const struct {
        std::string path;
        const char* why;
    } places[] = {
        {dir.file("no/such/dir/x.tif"), "No such file or directory"},
        {dir.file("folder"), "Is a directory"},
        {dir.file("file.txt/x.tif"), "Not a directory"},
    };
    for (const auto& place : places) {
        for (const char* option : {"-o", "--png"}) {
            SCOPED_TRACE(place.path + " " + option);
            // --time would report the call; there is none.
            RunResult r = run({"--time", option, place.path, kModule, "Ramp", "2", "2"});
            EXPECT_EQ(r.status, kExitFailure);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, "error: " + place.path + ": " + place.why + "; Ramp was not called\n");
        }
    }
    EXPECT_EQ(contentOf(dir.file("file.txt")), "a file, not a directory");
}

TEST(RunnerOutputs, TheCheckLeavesFilesAsTheyWere) {
    ScratchDirectory dir;
    writeTiff(dir.file("words.tif"),
              makeRaster<std::uint16_t>(StandIn::ElementType::UInt16, 1, 1, {7}));
    std::ofstream(dir.file("old.tif")) << "kept";
    // Negate refuses 16-bit input: the call fails after the check, and neither output changes:
    // the existing one keeps its bytes, the new one is not left behind empty.
    RunResult r = run({"-o", dir.file("old.tif"), "--png", dir.file("new.png"), kModule, "Negate",
                       dir.file("words.tif")});
    EXPECT_EQ(r.status, kExitFailure) << r;
    EXPECT_EQ(contentOf(dir.file("old.tif")), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir.file("new.png")));
}

TEST(RunnerOptions, OptionsAfterThePositionalWordsActAsBefore) {
    ScratchDirectory dir;
    writeTiff(dir.file("in.tif"), makeRaster<float>(StandIn::ElementType::Float32, 2, 1, {1, 2}));
    RunResult before = run({"-o", dir.file("a.tif"), kModule, "Negate", dir.file("in.tif")});
    RunResult after = run({kModule, "Negate", dir.file("in.tif"), "-o", dir.file("b.tif")});
    ASSERT_EQ(after.status, 0) << after;
    EXPECT_EQ(after.out, "image \"Negated\": 2 x 1 float32, values -2 to -1\nwrote " +
                             dir.file("b.tif") + " (32-bit float TIFF)\n");
    EXPECT_EQ(contentOf(dir.file("a.tif")), contentOf(dir.file("b.tif")));
    // A text argument that is an option's name goes after "--".
    RunResult text = run({kModule, "Length", "--", "--time"});
    EXPECT_EQ(text.status, 0) << text;
    EXPECT_EQ(text.out, "6\n");
}

// ---- What the host keeps of an image ------------------------------------------------------------

ImageMetadata calibrated() {
    ImageMetadata m;
    m.known = true;
    m.name = "stack of 2";
    m.label = "B = 1.5 T\nrun 7";
    m.dimensionCalibrations = {Calibration{1, 0.25f, "\xB5m", true},
                               Calibration{-3, 0.25f, "\xB5m", false},
                               Calibration{0, 2, "s", true}};
    m.intensityCalibration = Calibration{100, 0.001f, "counts", true};
    return m;
}

TEST(RunnerImageFiles, NameLabelAndCalibrationsGoThroughTheHostAndBack) {
    ScratchDirectory dir;
    Raster stack = makeRaster<float>(StandIn::ElementType::Float32, 3, 2, 2,
                                     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    stack.metadata = calibrated();
    writeTiff(dir.file("stack.tif"), stack);
    RunResult r = run({"-o", dir.file("out.tif"), kModule, "Identity", dir.file("stack.tif")});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out, "image \"stack of 2\": 3 x 2 x 2 float32, values 1 to 12\nwrote " +
                         dir.file("out.tif") + " (32-bit float TIFF, 2 pages)\n");
    Raster back = readTiff(dir.file("out.tif"));
    EXPECT_EQ(back.bytes, stack.bytes);
    EXPECT_EQ(back.sizes(), (std::vector<std::uint32_t>{3, 2, 2}));
    EXPECT_EQ(back.metadata.name, "stack of 2");
    EXPECT_EQ(back.metadata.label, stack.metadata.label);
    EXPECT_EQ(back.metadata.dimensionCalibrations, stack.metadata.dimensionCalibrations);
    EXPECT_EQ(back.metadata.intensityCalibration, stack.metadata.intensityCalibration);
}

TEST(RunnerImageFiles, AFileWithoutMetadataNamesTheImageAndGetsItWritten) {
    ScratchDirectory dir;
    writeTiff(dir.file("plain.tif"), makeRaster<float>(StandIn::ElementType::Float32, 1, 1, {5}));
    RunResult r = run({"-o", dir.file("out.tif"), kModule, "Identity", dir.file("plain.tif")});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out.rfind("image \"plain\": 1 x 1 float32", 0), 0u) << r.out;
    Raster back = readTiff(dir.file("out.tif"));
    EXPECT_TRUE(back.metadata.known);
    EXPECT_EQ(back.metadata.name, "plain");
    EXPECT_EQ(back.metadata.dimensionCalibrations, (std::vector<Calibration>(2)));
    // A description without a name, or with an empty one, leaves the file's name.
    Raster unnamed = makeRaster<float>(StandIn::ElementType::Float32, 1, 1, {5});
    unnamed.metadata.known = true;
    writeTiff(dir.file("unnamed.tif"), unnamed);
    r = run({kModule, "Identity", dir.file("unnamed.tif")});
    EXPECT_EQ(r.out.rfind("image \"unnamed\": 1 x 1", 0), 0u) << r.out;
}

TEST(RunnerImageFiles, ABilevelMaskArrivesAsZeroAndOne) {
    ScratchDirectory dir;
    TIFF* tif = TIFFOpen(dir.file("mask.tif").c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 3u);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2u);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, std::uint16_t{1});
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    unsigned char rows[2] = {0xA0, 0x40};  // 1 0 1 / 0 1 0
    for (std::uint32_t y = 0; y < 2; ++y) TIFFWriteScanline(tif, &rows[y], y, 0);
    TIFFClose(tif);
    RunResult r = run({"-o", dir.file("out.tif"), kModule, "Identity", dir.file("mask.tif")});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out.rfind("image \"mask\": 3 x 2 uint8, values 0 to 1\n", 0), 0u) << r.out;
    EXPECT_EQ(toFloats(readTiff(dir.file("out.tif"))), (std::vector<float>{1, 0, 1, 0, 1, 0}));
}

TEST(RunnerImageFiles, ThePreviewIsMappedAsAskedAndSaysHow) {
    ScratchDirectory dir;
    writeTiff(dir.file("q.tif"),
              makeRaster<float>(StandIn::ElementType::Float32, 5, 1, {0, 1, 2, 3, 4}));
    RunResult r = run({"--png", dir.file("q.png"), "--png-scale", "gamma=0.5", kModule, "Identity",
                       dir.file("q.tif")});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out, "image \"q\": 5 x 1 float32, values 0 to 4\nwrote " + dir.file("q.png") +
                         " (8-bit preview PNG, gamma 0.5: black at 0, white at 4)\n");
    EXPECT_EQ(readPng(dir.file("q.png")).bytes,
              (std::vector<unsigned char>{0, 128, 180, 221, 255}));
    r = run(
        {kModule, "Identity", dir.file("q.tif"), "--png", dir.file("c.png"), "--png-clip", "20"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_NE(r.out.find(" (8-bit preview PNG, linear, clipping 20 %: black at 1, white at 3)\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(readPng(dir.file("c.png")).bytes, (std::vector<unsigned char>{0, 0, 128, 255, 255}));
}

}  // namespace
