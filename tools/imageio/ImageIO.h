// Image files for the command-line tools.
//
// Reading: TIFF with one sample per pixel and 8/16/32-bit signed or unsigned integers or 32/64-bit
// IEEE floats, and greyscale PNG (1 to 16 bits, read as 8- or 16-bit unsigned). The raster keeps
// the file's element type, so a host image made from it has the same element kind as the file.
// Multi-sample (RGB, grey + alpha), complex and other element types are refused with a message
// that names the file and what it holds. Only the first image of a multi-image TIFF is read.
//
// Writing: TIFF in the raster's own element type (writeTiff) or converted to 32-bit float
// (writeFloatTiff); 8- or 16-bit greyscale PNG (writePng); and an 8-bit preview PNG of any real
// raster (writePreviewPng), scaled linearly so that the data's minimum is black and its maximum
// white. A constant raster has no range to scale: its preview is black when the constant is zero
// and mid-grey (128) otherwise. Not-a-number elements are black; infinities are left out of the
// range and drawn black (negative) or white (positive).
//
// Every failure is an ImageIOError whose message starts with the file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "Images.h"

namespace Tools {

using StandIn::ElementType;

class ImageIOError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A two-dimensional image in memory: width × height elements of one type, row after row, the
// column index varying fastest (the host's memory order for dimension 0 = columns).
struct Raster {
    ElementType type = ElementType::Float32;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<unsigned char> bytes;

    std::size_t elementCount() const { return static_cast<std::size_t>(width) * height; }
    // Element i as a double; real element types only (throws ImageIOError otherwise).
    double value(std::size_t i) const;
};

// Whether the tools can read, convert and write elements of this type: the integer types, the two
// float types and binary (one byte, read as 0..255).
bool isRealType(ElementType type);

// A zero-filled raster; throws ImageIOError for a zero size or one beyond 1 GiB.
Raster makeRaster(ElementType type, std::uint32_t width, std::uint32_t height);
// The checks of makeRaster alone, without allocating anything.
void checkRasterSize(ElementType type, std::uint32_t width, std::uint32_t height);
// A raster holding these values; T must have the element size of `type`.
template <typename T>
Raster makeRaster(ElementType type, std::uint32_t width, std::uint32_t height,
                  const std::vector<T>& values);

// A double rounded to the nearest float as the hardware rounds, without the undefined behaviour
// of converting a value beyond the float range: such values become the largest float up to half a
// unit beyond it, and infinity from there.
float nearestFloat(double v);

// The raster's elements converted to float (real types only), each to the nearest float.
std::vector<float> toFloats(const Raster& raster);
Raster toFloatRaster(const Raster& raster);

// Reads a TIFF or PNG file, told apart by its first bytes.
Raster readImage(const std::string& path);
Raster readTiff(const std::string& path);
Raster readPng(const std::string& path);

void writeTiff(const std::string& path, const Raster& raster);
void writeFloatTiff(const std::string& path, const Raster& raster);
// UInt8 or UInt16 rasters only.
void writePng(const std::string& path, const Raster& raster);

// The range a preview is scaled over: the smallest and largest finite element. Without any
// finite element both are 0.
struct ValueRange {
    double min = 0;
    double max = 0;
};
ValueRange finiteRange(const Raster& raster);
// The preview's bytes, one per element, as described at the top of this file.
std::vector<std::uint8_t> previewBytes(const Raster& raster);
// Writes the preview and answers the range it was scaled over.
ValueRange writePreviewPng(const std::string& path, const Raster& raster);

}  // namespace Tools

template <typename T>
Tools::Raster Tools::makeRaster(ElementType type, std::uint32_t width, std::uint32_t height,
                                const std::vector<T>& values) {
    Raster r = makeRaster(type, width, height);
    if (sizeof(T) != StandIn::elementSize(type) || values.size() != r.elementCount()) {
        throw ImageIOError("makeRaster: " + std::to_string(values.size()) + " values of " +
                           std::to_string(sizeof(T)) + " bytes do not fill a " +
                           std::to_string(width) + " x " + std::to_string(height) + " " +
                           StandIn::elementTypeName(type) + " raster");
    }
    std::memcpy(r.bytes.data(), values.data(), r.bytes.size());
    return r;
}
