// The tools' image file reader on arbitrary bytes: the TIFF reader directly, and the reader that
// tells TIFF from PNG by the first bytes (so greyscale PNG is exercised too).
//
// The reader takes a path, so every input is written to one scratch file first. A file must give
// a raster that is consistent with its own sizes and metadata, or an ImageIOError; any other
// exception, a crash, a sanitizer report or an allocation beyond the limit is a failure.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "FuzzCheck.h"
#include "ImageIO.h"

namespace {

std::string sPath;

void RemoveScratch() {
    if (!sPath.empty()) ::unlink(sPath.c_str());
}

void WriteScratch(const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(sPath.c_str(), O_WRONLY | O_TRUNC);
    FUZZ_CHECK(fd >= 0);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        FUZZ_CHECK(n > 0);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

void CheckRaster(const Tools::Raster& r) {
    FUZZ_CHECK(r.width > 0 && r.height > 0 && r.planes > 0);
    FUZZ_CHECK(Tools::isRealType(r.type));
    FUZZ_CHECK(r.bytes.size() == r.elementCount() * StandIn::elementSize(r.type));
    // The host image it becomes has as many elements, and a calibration per dimension if any.
    std::size_t elements = 1;
    for (std::uint32_t size : r.sizes()) elements *= size;
    FUZZ_CHECK(elements == r.elementCount());
    FUZZ_CHECK(r.metadata.dimensionCalibrations.empty() ||
               r.metadata.dimensionCalibrations.size() == r.sizes().size());
    // Metadata read back from its own description is the same.
    if (r.metadata.known) {
        const std::optional<Tools::ImageMetadata> again = Tools::parseDescription(
            Tools::formatDescription(r.metadata, r.planes), r.height, r.planes);
        FUZZ_CHECK(again && again->name == r.metadata.name && again->label == r.metadata.label);
    }
    // What the runner does with a raster before the call and with a result after it.
    const Tools::ValueRange range = Tools::finiteRange(r);
    FUZZ_CHECK(!(range.min > range.max));
    FUZZ_CHECK(Tools::toFloats(r).size() == r.elementCount());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/photarion-fuzz-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    FUZZ_CHECK(fd >= 0);
    ::close(fd);
    sPath = pattern;
    std::atexit(RemoveScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WriteScratch(data, size);
    try {
        CheckRaster(Tools::readTiff(sPath));
    } catch (const Tools::ImageIOError& e) {
        FUZZ_CHECK(std::string(e.what()).rfind(sPath + ": ", 0) == 0);
    }
    try {
        CheckRaster(Tools::readImage(sPath));
    } catch (const Tools::ImageIOError& e) {
        FUZZ_CHECK(std::string(e.what()).rfind(sPath + ": ", 0) == 0);
    }
    return 0;
}
