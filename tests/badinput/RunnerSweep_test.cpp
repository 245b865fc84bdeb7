// Awkward and bad input through photarion-run (in process), with the real module: image files of
// every element kind the files can hold at degenerate, prime, very wide and very tall sizes,
// bilevel masks of odd widths, files that are no image or a damaged one (pages that differ, a
// damaged description), kinds the runner cannot read, options among the arguments, and offsets
// and argument texts beyond the ordinary. (Outputs that cannot be written: RunnerFiles_test.cpp.)
//
// Every run must end with a result (status 0, the image written and right) or with a clear error:
// status 1 or 2, "error: " lines only, and never a report of something the module left behind.
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BadInputReference.h"
#include "BadInputTally.h"
#include "ImageIO.h"
#include "RawTiff.h"
#include "Runner.h"
#include "ToolsTestSupport.h"

namespace {

using namespace BadInput;
using StandIn::ElementType;

const std::string kModule = MODULE_PATH;

// A fresh directory for the running test, removed afterwards, and the runner's answer.
using Scratch = ToolsTest::ScratchDirectory;
using ToolsTest::RunResult;
using ToolsTest::operator<<;

// Runs the module with these words; a run in a group counts as one bad input (no group: a run
// that checks the good input a group then damages).
RunResult RunModule(const char* group, std::vector<std::string> words,
                    const std::vector<std::string>& options = {}) {
    if (*group) Count(group);
    words.insert(words.begin(), kModule);
    words.insert(words.begin(), options.begin(), options.end());
    const RunResult r = ToolsTest::run(words);
    if (Verbose()) {
        std::string command;
        for (std::size_t i = 1; i < words.size(); ++i) command += (i > 1 ? " " : "") + words[i];
        const std::string& said = r.status == 0 ? r.out : r.err;
        std::cout << "[" << group << "] " << command << "\n    -> " << r.status << " "
                  << said.substr(0, said.find('\n')) << "\n";
    }
    return r;
}

// A clear failure: the status, nothing on stdout, and stderr made of "error: " lines, the first
// being `first` (or starting with it), none about something left behind.
void ExpectFailure(const RunResult& r, int status, const std::string& first,
                   bool prefixOnly = false) {
    EXPECT_EQ(status, r.status) << r;
    EXPECT_EQ("", r.out) << r;
    std::istringstream lines(r.err);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line)) << r;
    if (prefixOnly)
        EXPECT_EQ(0u, line.rfind("error: " + first, 0)) << r;
    else
        EXPECT_EQ("error: " + first, line) << r;
    EXPECT_EQ(std::string::npos, r.err.find("left behind")) << r;
    EXPECT_EQ(std::string::npos, r.err.find("still loaded")) << r;
    for (; std::getline(lines, line);) {
        if (line.rfind("run 'photarion-run --help'", 0) == 0) continue;
        EXPECT_EQ(0u, line.rfind("error: ", 0)) << r;
    }
}

// ---- Files
// ---------------------------------------------------------------------------------------

std::vector<unsigned char> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A TIFF written with libtiff directly, the test setting every tag and the rows.
void WriteTiffWith(const std::string& path, std::uint32_t w, std::uint32_t h, std::uint16_t samples,
                   std::uint16_t bits, std::uint16_t format, std::uint16_t photometric,
                   std::uint16_t compression = COMPRESSION_NONE) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(nullptr, tif);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, format);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1u);
    std::vector<unsigned char> row((std::size_t{w} * samples * bits + 7) / 8);
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<unsigned char>(i * 7 + y);
        ASSERT_GE(TIFFWriteScanline(tif, row.data(), y, 0), 0);
    }
    TIFFClose(tif);
}

// Pages of float samples (32 or 64 bits), or of `samples` 8-bit samples per pixel.
struct PageShape {
    std::uint32_t w, h;
    std::uint16_t bits;
    std::uint16_t samples = 1;
};

void WritePages(const std::string& path, const std::vector<PageShape>& shapes) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(nullptr, tif);
    for (const PageShape& s : shapes) {
        const bool colour = s.samples > 1;
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.w);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, s.h);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, s.samples);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, colour ? std::uint16_t{8} : s.bits);
        TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, colour ? SAMPLEFORMAT_UINT : SAMPLEFORMAT_IEEEFP);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, colour ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        std::vector<unsigned char> row(std::size_t{s.w} * s.samples * (colour ? 1 : s.bits / 8), 0);
        for (std::uint32_t y = 0; y < s.h; ++y)
            ASSERT_GE(TIFFWriteScanline(tif, row.data(), y, 0), 0);
        ASSERT_TRUE(TIFFWriteDirectory(tif));
    }
    TIFFClose(tif);
}

// The bytes with the first `from` replaced by `to`, of the same length.
std::vector<unsigned char> Patched(std::vector<unsigned char> bytes, const std::string& from,
                                   const std::string& to) {
    const auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
    EXPECT_TRUE(at != bytes.end() && from.size() == to.size()) << from;
    if (at != bytes.end()) std::copy(to.begin(), to.end(), at);
    return bytes;
}

template <class T>
std::vector<T> RandomValues(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::bernoulli_distribution zero(0.3);
    std::vector<T> values(count);
    for (T& v : values) {
        if (zero(random)) continue;
        if constexpr (std::is_floating_point_v<T>) {
            v = static_cast<T>(std::uniform_real_distribution<double>(-1e5, 1e5)(random));
        } else {
            std::uniform_int_distribution<long long> any(std::numeric_limits<T>::min(),
                                                         std::numeric_limits<T>::max());
            v = static_cast<T>(any(random));
        }
    }
    return values;
}

Tools::Raster RandomRaster(ElementType type, std::uint32_t w, std::uint32_t h, unsigned seed) {
    const std::size_t n = std::size_t{w} * h;
    switch (type) {
        case ElementType::Float32:
            return Tools::makeRaster(type, w, h, RandomValues<float>(n, seed));
        case ElementType::Float64:
            return Tools::makeRaster(type, w, h, RandomValues<double>(n, seed));
        case ElementType::Int8:
            return Tools::makeRaster(type, w, h, RandomValues<std::int8_t>(n, seed));
        case ElementType::Int16:
            return Tools::makeRaster(type, w, h, RandomValues<std::int16_t>(n, seed));
        case ElementType::Int32:
            return Tools::makeRaster(type, w, h, RandomValues<std::int32_t>(n, seed));
        case ElementType::UInt8:
            return Tools::makeRaster(type, w, h, RandomValues<std::uint8_t>(n, seed));
        case ElementType::UInt16:
            return Tools::makeRaster(type, w, h, RandomValues<std::uint16_t>(n, seed));
        default: return Tools::makeRaster(type, w, h, RandomValues<std::uint32_t>(n, seed));
    }
}

// ---- Every kind a file holds, at every size
// ------------------------------------------------------

TEST(RunnerSweep, EveryKindATiffHoldsAtEverySize) {
    Scratch dir;
    const ElementType kinds[] = {ElementType::Float32, ElementType::Float64, ElementType::Int8,
                                 ElementType::Int16,   ElementType::Int32,   ElementType::UInt8,
                                 ElementType::UInt16,  ElementType::UInt32};
    struct Size2 {
        std::uint32_t w, h;
    };
    unsigned seed = 1;
    for (ElementType type : kinds) {
        for (Size2 s : {Size2{1, 1}, Size2{1, 2}, Size2{2, 1}, Size2{2, 2}, Size2{13, 7},
                        Size2{4096, 1}, Size2{1, 4096}}) {
            SCOPED_TRACE(std::string(StandIn::elementTypeName(type)) + " " + std::to_string(s.w) +
                         " x " + std::to_string(s.h));
            const Tools::Raster raster = RandomRaster(type, s.w, s.h, seed++);
            const std::string input = dir.file("input.tif"), output = dir.file("output.tif");
            Tools::writeTiff(input, raster);
            const std::vector<float> values = Tools::toFloats(raster);

            RunResult r = RunModule("runner: kinds and sizes", {"shiftImage", input, "3", "-2"},
                                    {"-o", output});
            ASSERT_EQ(0, r.status) << r;
            EXPECT_EQ(0u, r.out.rfind("image \"shiftImage\": " + std::to_string(s.w) + " x " +
                                          std::to_string(s.h) + " float32",
                                      0))
                << r;
            EXPECT_TRUE(SameValues(ReferenceShift(values, s.w, s.h, 3, -2),
                                   Tools::toFloats(Tools::readTiff(output))));

            // The transform of a very long image is a large square: two kinds stand for all there.
            const bool longImage = std::max(s.w, s.h) > 100;
            if (longImage && type != ElementType::Float32 && type != ElementType::UInt16) continue;
            const std::uint32_t n = std::max(s.w, s.h);
            r = RunModule("runner: kinds and sizes", {"HoughTransform", input}, {"-o", output});
            ASSERT_EQ(0, r.status) << r;
            EXPECT_EQ(0u, r.out.rfind("image \"Hough Transform\": " + std::to_string(n) + " x " +
                                          std::to_string(n) + " float32",
                                      0))
                << r;
            EXPECT_TRUE(SameValues(ReferenceHough(values, s.w, s.h),
                                   Tools::toFloats(Tools::readTiff(output))));
        }
    }
}

// ---- Bilevel masks
// ---------------------------------------------------------------------------------------------

// The pixels of a 1-bit TIFF written by WriteTiffWith (byte i of row y is i * 7 + y), the first
// pixel in the highest bit: what the mask holds, whichever colour its set bits show as.
std::vector<float> BitsOfTheRows(std::uint32_t w, std::uint32_t h) {
    std::vector<float> values;
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            const auto byte = static_cast<unsigned char>((x / 8) * 7 + y);
            values.push_back(static_cast<float>((byte >> (7 - x % 8)) & 1));
        }
    }
    return values;
}

TEST(RunnerSweep, BilevelMasksOfOddWidths) {
    Scratch dir;
    struct Size2 {
        std::uint32_t w, h;
    };
    const std::string input = dir.file("mask.tif"), output = dir.file("output.tif");
    for (std::uint16_t photometric : {PHOTOMETRIC_MINISBLACK, PHOTOMETRIC_MINISWHITE}) {
        for (Size2 s : {Size2{1, 1}, Size2{7, 3}, Size2{9, 2}, Size2{13, 13}, Size2{33, 5},
                        Size2{1, 40}, Size2{1000, 1}}) {
            SCOPED_TRACE(std::to_string(photometric) + ": " + std::to_string(s.w) + " x " +
                         std::to_string(s.h));
            WriteTiffWith(input, s.w, s.h, 1, 1, SAMPLEFORMAT_UINT, photometric);
            const std::vector<float> values = BitsOfTheRows(s.w, s.h);
            RunResult r = RunModule("runner: bilevel", {"HoughTransform", input}, {"-o", output});
            ASSERT_EQ(0, r.status) << r;
            EXPECT_TRUE(SameValues(ReferenceHough(values, s.w, s.h),
                                   Tools::toFloats(Tools::readTiff(output))));
            r = RunModule("runner: bilevel", {"shiftImage", input, "3", "-2"}, {"-o", output});
            ASSERT_EQ(0, r.status) << r;
            EXPECT_TRUE(SameValues(ReferenceShift(values, s.w, s.h, 3, -2),
                                   Tools::toFloats(Tools::readTiff(output))));
        }
    }
}

// ---- Options
// ---------------------------------------------------------------------------------------

TEST(RunnerSweep, OptionsAmongTheArgumentsAreTakenAsOptions) {
    Scratch dir;
    const std::string input = dir.file("input.tif"), output = dir.file("output.tif");
    const Tools::Raster raster = RandomRaster(ElementType::Int16, 13, 7, 4);
    Tools::writeTiff(input, raster);
    // Before, among and after the arguments; the negative offset stays an argument.
    for (const std::vector<std::string>& words :
         std::vector<std::vector<std::string>>{{"shiftImage", input, "3", "-o", output, "-2"},
                                               {"shiftImage", input, "3", "-2", "-o", output},
                                               {"shiftImage", "-o", output, input, "3", "-2"}}) {
        const RunResult r = RunModule("runner: options", words);
        ASSERT_EQ(0, r.status) << r;
        EXPECT_TRUE(SameValues(ReferenceShift(Tools::toFloats(raster), 13, 7, 3, -2),
                               Tools::toFloats(Tools::readTiff(output))));
        std::remove(output.c_str());
    }
    // A misspelt option after the module is an argument too many.
    ExpectFailure(RunModule("runner: options", {"HoughTransform", input, "--outptu", output}),
                  Tools::kExitUsage, "HoughTransform takes 1 argument", true);
}

// ---- Files the runner cannot use
// -----------------------------------------------------------------

TEST(RunnerSweep, FilesThatAreNoUsableImageAreClearErrors) {
    Scratch dir;
    // Good files to damage: 13 x 7 float32 with its data after the directory, and a compressed one.
    const std::vector<unsigned char> goodBytes =
        RawTiff(13, 7, 32, SAMPLEFORMAT_IEEEFP, RandomRaster(ElementType::Float32, 13, 7, 5).bytes);
    const std::string lzw = dir.file("lzw.tif");
    WriteTiffWith(lzw, 64, 64, 1, 32, SAMPLEFORMAT_IEEEFP, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW);
    const std::vector<unsigned char> lzwBytes = Bytes(lzw);

    struct Case {
        std::string name;
        std::function<void(const std::string&)> make;
        std::string error;  // the first error line starts with "<path>: " and this
    };
    auto bytes = [](std::vector<unsigned char> b) {
        return [b](const std::string& p) { WriteBytes(p, b); };
    };
    auto text = [](const std::string& t) {
        return [t](const std::string& p) { std::ofstream(p) << t; };
    };
    auto cut = [](const std::vector<unsigned char>& b, std::size_t n) {
        return [b, n](const std::string& p) {
            WriteBytes(p, std::vector<unsigned char>(b.begin(),
                                                     b.begin() + static_cast<std::ptrdiff_t>(n)));
        };
    };
    auto tiff = [](std::uint32_t w, std::uint32_t h, std::uint16_t samples, std::uint16_t bits,
                   std::uint16_t format, std::uint16_t photometric) {
        return [=](const std::string& p) {
            WriteTiffWith(p, w, h, samples, bits, format, photometric);
        };
    };
    auto png = [](std::uint32_t format) {
        return [format](const std::string& p) {
            png_image image{};
            image.version = PNG_IMAGE_VERSION;
            image.width = 3;
            image.height = 2;
            image.format = format;
            std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image), 77);
            std::vector<unsigned char> colours(256 * 3, 200);
            if (format & PNG_FORMAT_FLAG_COLORMAP) image.colormap_entries = 256;
            ASSERT_TRUE(
                png_image_write_to_file(&image, p.c_str(), 0, pixels.data(), 0, colours.data()))
                << image.message;
        };
    };
    auto pages = [](std::vector<PageShape> shapes) {
        return [shapes](const std::string& p) { WritePages(p, shapes); };
    };
    WritePages(dir.file("two.tif"), {{5, 4, 32}, {5, 4, 32}});
    const std::vector<unsigned char> twoPageBytes = Bytes(dir.file("two.tif"));
    Tools::Raster described = RandomRaster(ElementType::Float32, 13, 7, 6);
    described.metadata.known = true;
    Tools::writeTiff(dir.file("described.tif"), described);
    const std::vector<unsigned char> describedBytes = Bytes(dir.file("described.tif"));
    const std::vector<unsigned char> sixteenBytes(16, 0);
    const std::size_t dataEnd = goodBytes.size();
    const Case cases[] = {
        {"an empty file", bytes({}), "is empty"},
        {"text", text("this is not an image\n"), "is neither a TIFF nor a PNG file"},
        {"random bytes", bytes({0x13, 0x37, 0x00, 0xff, 0x42, 0x42, 0x01, 0x02, 0x03}),
         "is neither a TIFF nor a PNG file"},
        {"a TIFF signature alone", bytes({'I', 'I', 42, 0}), ""},
        {"a TIFF cut after its header", cut(goodBytes, 8), ""},
        {"a TIFF cut in its first directory", cut(goodBytes, 20), ""},
        {"a TIFF cut in its data", cut(goodBytes, dataEnd - 40), ""},
        {"a TIFF cut one byte short", cut(goodBytes, dataEnd - 1), ""},
        {"a compressed TIFF cut in its data", cut(lzwBytes, lzwBytes.size() / 2), ""},
        {"a PNG signature alone", bytes({0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}), ""},
        {"a TIFF of three samples per pixel", tiff(4, 3, 3, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_RGB),
         "has 3 samples per pixel"},
        {"a TIFF of four samples per pixel",
         tiff(4, 3, 4, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_SEPARATED), "has 4 samples per pixel"},
        {"a TIFF of grey and alpha", tiff(4, 3, 2, 16, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISBLACK),
         "has 2 samples per pixel"},
        {"a complex float TIFF",
         tiff(4, 3, 1, 64, SAMPLEFORMAT_COMPLEXIEEEFP, PHOTOMETRIC_MINISBLACK),
         "holds complex samples"},
        {"a complex integer TIFF",
         tiff(4, 3, 1, 32, SAMPLEFORMAT_COMPLEXINT, PHOTOMETRIC_MINISBLACK),
         "holds complex samples"},
        {"a one-bit signed TIFF", tiff(9, 3, 1, 1, SAMPLEFORMAT_INT, PHOTOMETRIC_MINISBLACK),
         "has 1-bit signed integer samples"},
        {"a one-bit transparency mask", tiff(9, 3, 1, 1, SAMPLEFORMAT_UINT, PHOTOMETRIC_MASK),
         "has 1-bit samples of photometric interpretation 4"},
        {"a TIFF whose pages differ in size", pages({{4, 3, 32}, {3, 4, 32}}),
         "has pages that differ: page 1 is 4 x 3 float32, page 2 is 3 x 4 float32"},
        {"a TIFF whose third page is of another kind", pages({{4, 3, 32}, {4, 3, 32}, {4, 3, 64}}),
         "has pages that differ: page 1 is 4 x 3 float32, page 3 is 4 x 3 float64"},
        {"a TIFF whose second page is colour", pages({{4, 3, 32}, {4, 3, 32, 3}}),
         "page 2 has 3 samples per pixel"},
        {"a TIFF whose second directory is damaged", cut(twoPageBytes, twoPageBytes.size() - 30),
         "cannot read the directory after page 1: "},
        {"a TIFF whose description is damaged",
         bytes(Patched(describedBytes, "dim0.scale=1", "dim0.scale=w")),
         "its image description is damaged: line 6, \"dim0.scale=w\": not a number"},
        {"a TIFF whose description is too new",
         bytes(Patched(describedBytes, "photarion-image 1", "photarion-image 2")),
         "its image description is of format version 2"},
        {"a TIFF whose description has fewer dimensions than the file",
         bytes(Patched(describedBytes, "dimensions=2", "dimensions=1")),
         "its image description gives 1 dimension, but the file holds 1 page of 7 rows"},
        {"a 16-bit float TIFF", tiff(4, 3, 1, 16, SAMPLEFORMAT_IEEEFP, PHOTOMETRIC_MINISBLACK),
         "has 16-bit floating-point samples"},
        {"a 12-bit TIFF", tiff(4, 3, 1, 12, SAMPLEFORMAT_INT, PHOTOMETRIC_MINISBLACK),
         "has 12-bit signed integer samples"},
        {"a TIFF of no known sample format", bytes(RawTiff(2, 2, 8, 9, sixteenBytes)), ""},
        {"a compressed TIFF declaring 40000 x 40000 doubles",
         bytes(RawTiff(40000, 40000, 64, SAMPLEFORMAT_IEEEFP, sixteenBytes, COMPRESSION_LZW)),
         "an image of 40000 x 40000 float64 elements is too large (more than 1 GiB)"},
        {"a TIFF declaring 40000 x 40000 doubles",
         bytes(RawTiff(40000, 40000, 64, SAMPLEFORMAT_IEEEFP, sixteenBytes)),
         "is truncated: its 40000 x 40000 image needs 12800000000 bytes, the file has 150"},
        {"a TIFF declaring 32000 x 32000 bytes",
         bytes(RawTiff(32000, 32000, 8, SAMPLEFORMAT_UINT, sixteenBytes)),
         "is truncated: its 32000 x 32000 image needs 1024000000 bytes, the file has 150"},
        {"a TIFF compressed in no known way",
         bytes(RawTiff(32000, 32000, 8, SAMPLEFORMAT_UINT, sixteenBytes, 257)),
         "is compressed with scheme 257, which cannot be decoded here"},
        {"a TIFF declaring width 0", bytes(RawTiff(0, 2, 8, SAMPLEFORMAT_UINT, sixteenBytes)), ""},
        {"a colour PNG", png(PNG_FORMAT_RGB),
         "is a colour PNG; only greyscale PNG without alpha can be read"},
        {"a grey and alpha PNG", png(PNG_FORMAT_GA),
         "is a grey with alpha PNG; only greyscale PNG without alpha can be read"},
        {"a palette PNG", png(PNG_FORMAT_RGB_COLORMAP),
         "is a palette colour PNG; only greyscale PNG without alpha can be read"},
    };
    // Undamaged, both read.
    for (const std::vector<unsigned char>* whole :
         {&goodBytes, &lzwBytes, &twoPageBytes, &describedBytes}) {
        WriteBytes(dir.file("whole.tif"), *whole);
        EXPECT_EQ(0, RunModule("", {"HoughTransform", dir.file("whole.tif")}).status);
    }
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("case" + std::to_string(index++) + ".img");
        c.make(path);
        for (const char* function : {"HoughTransform", "shiftImage"}) {
            std::vector<std::string> words = {function, path};
            if (std::string(function) == "shiftImage") words.insert(words.end(), {"1", "1"});
            const RunResult r = RunModule("runner: files", words);
            ExpectFailure(r, Tools::kExitFailure, path + ": " + c.error, true);
        }
    }
    // A file that is not there, and a directory (which opens, but is no empty file).
    ExpectFailure(RunModule("runner: files", {"HoughTransform", dir.file("absent.tif")}),
                  Tools::kExitFailure, dir.file("absent.tif") + ": No such file or directory");
    ExpectFailure(RunModule("runner: files", {"HoughTransform", dir.file("")}), Tools::kExitFailure,
                  dir.file("") + ": Is a directory");
}

// ---- Offsets and argument texts
// ------------------------------------------------------------------

TEST(RunnerSweep, OffsetTextsBeyondTheOrdinary) {
    Scratch dir;
    const std::string input = dir.file("input.tif"), output = dir.file("output.tif");
    const Tools::Raster raster = RandomRaster(ElementType::Int16, 13, 7, 9);
    Tools::writeTiff(input, raster);
    const std::vector<float> values = Tools::toFloats(raster);

    // Numbers: the shift by the offset truncated and reduced exactly.
    for (const char* offset :
         {"1e30", "-1e30", "2147483648", "-2147483648", "4294967296", "9223372036854775808",
          "-9223372036854775808", "18446744073709551616", "3.4028235e38", "-3.4028235e38", "0x1p63",
          "-0", "0.9999", "-0.9999", "1e-45", "16777217", "-13", "7"}) {
        SCOPED_TRACE(offset);
        const float f = std::strtof(offset, nullptr);
        for (auto [dx, dy] : {std::pair<std::string, std::string>{offset, "0"}, {"0", offset}}) {
            const RunResult r =
                RunModule("runner: offsets", {"shiftImage", input, dx, dy}, {"-o", output});
            ASSERT_EQ(0, r.status) << r;
            EXPECT_TRUE(SameValues(
                ReferenceShift(values, 13, 7, dx == offset ? f : 0.0f, dy == offset ? f : 0.0f),
                Tools::toFloats(Tools::readTiff(output))));
        }
    }
    // Not finite: the module's refusal.
    for (const char* offset : {"nan", "-nan", "inf", "-inf", "Infinity", "NAN(123)"}) {
        SCOPED_TRACE(offset);
        ExpectFailure(RunModule("runner: offsets", {"shiftImage", input, offset, "0"}),
                      Tools::kExitFailure, "shiftImage needs finite offsets.");
        ExpectFailure(RunModule("runner: offsets", {"shiftImage", input, "0", offset}),
                      Tools::kExitFailure, "shiftImage needs finite offsets.");
    }
    // Not a float at all: the runner's usage error, before the module is called.
    for (const char* offset :
         {"1e39", "-1e39", "", " 1", "1 ", "1,5", "abc", "0x", "--1", "1.2.3", "1e", "+-1"}) {
        SCOPED_TRACE(offset);
        ExpectFailure(
            RunModule("runner: offsets", {"shiftImage", input, offset, "0"}), Tools::kExitUsage,
            "argument 2 of shiftImage, '" + std::string(offset) + "', is not a float (a number)");
    }
}

TEST(RunnerSweep, WrongArgumentCountsAreUsageErrors) {
    Scratch dir;
    const std::string input = dir.file("input.tif");
    Tools::writeTiff(input, RandomRaster(ElementType::UInt8, 3, 3, 2));
    const std::vector<std::vector<std::string>> calls = {
        {"HoughTransform"},
        {"HoughTransform", input, input},
        {"shiftImage"},
        {"shiftImage", input},
        {"shiftImage", input, "1"},
        {"shiftImage", input, "1", "2", "3"},
    };
    for (const auto& words : calls) {
        SCOPED_TRACE(words.size());
        ExpectFailure(RunModule("runner: arguments", words), Tools::kExitUsage,
                      words[0] + " takes ", true);
    }
    // An image where a number belongs, and a number where an image belongs.
    ExpectFailure(RunModule("runner: arguments", {"shiftImage", input, input, "1"}),
                  Tools::kExitUsage,
                  "argument 2 of shiftImage, '" + input + "', is not a float (a number)");
    ExpectFailure(RunModule("runner: arguments", {"HoughTransform", "12"}), Tools::kExitFailure,
                  "12: ", true);
}

}  // namespace
