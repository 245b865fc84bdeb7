// What fuzzing found, kept as ordinary tests: a range of the runner's integer arguments whose ends
// are both on one side of zero was not applied on that side; and a TIFF header alone could make the
// reader fill the image it declared (up to 1 GiB, twice over) before any data had been decoded.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "ArgumentValues.h"
#include "ExpectThrow.h"
#include "ImageIO.h"
#include "RawTiff.h"

namespace {

using BadInput::RawTiff;
using BadInput::RawTiledTiff;

using Tools::parseInteger;

TEST(FuzzFindings, MinusZeroLiesInARangeOnlyWhenZeroDoes) {
    EXPECT_FALSE(parseInteger("-0", INT64_MIN, -1));
    EXPECT_FALSE(parseInteger("-0x00", -100, -7));
    EXPECT_FALSE(parseInteger("-0", 1, 100));
    EXPECT_EQ(parseInteger("-0", 0, UINT32_MAX), 0);
    EXPECT_EQ(parseInteger("-0x0", INT16_MIN, INT16_MAX), 0);
}

TEST(FuzzFindings, PositiveTextsBelowTheRangeAreRefused) {
    EXPECT_FALSE(parseInteger("3", 5, 10));
    EXPECT_FALSE(parseInteger("0", 1, 100));
    EXPECT_FALSE(parseInteger("2147483646", INT32_MAX, INT64_MAX));
    EXPECT_EQ(parseInteger("5", 5, 10), 5);
    EXPECT_EQ(parseInteger("0x7fffffff", INT32_MAX, INT64_MAX), INT32_MAX);
}

TEST(FuzzFindings, NegativeTextsAboveTheRangeAreRefused) {
    EXPECT_FALSE(parseInteger("-6", -100, -7));
    EXPECT_EQ(parseInteger("-7", -100, -7), -7);
    EXPECT_EQ(parseInteger("-9223372036854775808", INT64_MIN, -1), INT64_MIN);
    EXPECT_FALSE(parseInteger("-9223372036854775809", INT64_MIN, -1));
    EXPECT_EQ(parseInteger("9223372036854775807", INT64_MIN, INT64_MAX), INT64_MAX);
    EXPECT_FALSE(parseInteger("9223372036854775808", INT64_MIN, INT64_MAX));
}

// The peak resident memory of this process so far, in MiB.
long PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

std::string Write(const std::string& name, const std::vector<unsigned char>& bytes) {
    const std::string path =
        ::testing::TempDir() + "photarion-fuzz-finding-" + std::to_string(::getpid()) + "-" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

TEST(FuzzFindings, AHeaderAloneDoesNotMakeTheReaderFillTheImageItDeclares) {
    const std::vector<unsigned char> data(16, 0);
    const std::string files[] = {
        // 1,024,000,000 bytes declared, compressed (so the file's size says nothing), and 16 bytes
        // that are no LZW data; and the same as 16-bit and as tiles of a sensible size.
        Write("lzw8.tif", RawTiff(32000, 32000, 8, SAMPLEFORMAT_UINT, data, COMPRESSION_LZW)),
        Write("lzw16.tif", RawTiff(22000, 22000, 16, SAMPLEFORMAT_UINT, data, COMPRESSION_LZW)),
        Write("lzw-tiles.tif",
              RawTiledTiff(32000, 32000, 256, 256, 8, SAMPLEFORMAT_UINT, data, COMPRESSION_LZW)),
    };
    const long before = PeakMiB();
    for (const std::string& path : files) {
        EXPECT_THROW(Tools::readTiff(path), Tools::ImageIOError) << path;
        std::remove(path.c_str());
    }
    // Filling any one declared image takes about 1000 MiB; reserving it takes nothing (or, under
    // AddressSanitizer, the eighth of it that its shadow memory costs).
    EXPECT_LT(PeakMiB() - before, 400) << "MiB taken by reading three damaged headers";
}

TEST(FuzzFindings, TilesOfMoreThan64MiBAreRefused) {
    const std::string path = Write(
        "big-tiles.tif",
        RawTiledTiff(64, 64, 8192, 8192, 32, SAMPLEFORMAT_IEEEFP, {1, 2, 3, 4}, COMPRESSION_LZW));
    EXPECT_THROW_MESSAGE(Tools::readTiff(path), Tools::ImageIOError,
                         path + ": has tiles of 8192 x 8192 elements, more than 64 MiB each");
    std::remove(path.c_str());
}

}  // namespace
