// Image files for the command-line tools.
//
// Reading: TIFF with one sample per pixel and 8/16/32-bit signed or unsigned integers, 32/64-bit
// IEEE floats or single bits, and greyscale PNG (1 to 16 bits, read as 8- or 16-bit unsigned). The
// raster keeps the file's element type, so a host image made from it has the same element kind as
// the file. A bilevel (1-bit) TIFF is read as 8-bit unsigned 0 and 1, the value of each bit, in
// either photometric interpretation. A TIFF of several pages whose pages all have one size and
// element kind is read as a 3-D image, one plane per page; pages that differ are refused, naming
// the first that differs (reduced-resolution and mask images after the first page are no pages
// and are skipped). Multi-sample (RGB, grey + alpha), complex and other element types are refused
// with a message that names the file and what it holds.
//
// What the stand-in host keeps about an image besides its elements (name, label, calibrations,
// number of dimensions) travels in the TIFF's ImageDescription tag as a small key=value text,
// described in TiffDescription.cpp; a file without it has none of that.
//
// Writing: TIFF in the raster's own element type (writeTiff) or converted to 32-bit float
// (writeFloatTiff), a raster of several planes as one page per plane; 8- or 16-bit greyscale PNG
// (writePng); and an 8-bit preview PNG of any real raster (writePreviewPng), mapped from data to
// grey levels as PreviewMapping says, the planes of a 3-D raster one below the other.
//
// Every failure is an ImageIOError whose message starts with the file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
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

// What the stand-in host keeps about an image besides its elements.
struct ImageMetadata {
    // Whether there is any: taken from a host image, or read from a file that carries it. Without
    // it an image read from a file is named after the file, uncalibrated and unlabelled, and a
    // file written from it carries no description.
    bool known = false;
    std::string name;
    std::string label;
    // 1, 2 or 3; 0 for the raster's own shape: 2 dimensions, 3 when it has several planes.
    std::size_t dimensions = 0;
    // Empty (every dimension uncalibrated) or one per dimension.
    std::vector<StandIn::Calibration> dimensionCalibrations;
    StandIn::Calibration intensityCalibration;
};

// An image in memory of up to three dimensions: planes of width × height elements of one type,
// row after row, the column index varying fastest (the host's memory order: dimension 0 the
// columns, 1 the rows, 2 the planes).
struct Raster {
    ElementType type = ElementType::Float32;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t planes = 1;
    std::vector<unsigned char> bytes;
    ImageMetadata metadata;

    std::size_t elementCount() const { return static_cast<std::size_t>(width) * height * planes; }
    // Element i as a double; real element types only (throws ImageIOError otherwise).
    double value(std::size_t i) const;
    // The host image's dimension sizes: {width}, {width, height} or {width, height, planes}, as
    // metadata.dimensions says.
    std::vector<std::uint32_t> sizes() const;
};

// Whether the tools can read, convert and write elements of this type: the integer types, the two
// float types and binary (one byte, read as 0..255).
bool isRealType(ElementType type);

// A zero-filled raster; throws ImageIOError for a zero size or one beyond 1 GiB.
Raster makeRaster(ElementType type, std::uint32_t width, std::uint32_t height,
                  std::uint32_t planes = 1);
// The checks of makeRaster alone, without allocating anything.
void checkRasterSize(ElementType type, std::uint32_t width, std::uint32_t height,
                     std::uint32_t planes = 1);
// A raster holding these values; T must have the element size of `type`.
template <typename T>
Raster makeRaster(ElementType type, std::uint32_t width, std::uint32_t height, std::uint32_t planes,
                  const std::vector<T>& values);
template <typename T>
Raster makeRaster(ElementType type, std::uint32_t width, std::uint32_t height,
                  const std::vector<T>& values) {
    return makeRaster(type, width, height, 1, values);
}

// A double rounded to the nearest float as the hardware rounds, without the undefined behaviour
// of converting a value beyond the float range: such values become the largest float up to half a
// unit beyond it, and infinity from there.
float nearestFloat(double v);

// The raster's elements converted to float (real types only), each to the nearest float.
std::vector<float> toFloats(const Raster& raster);
// The same raster, its shape and metadata kept, in float elements.
Raster toFloatRaster(const Raster& raster);

// Reads a TIFF or PNG file, told apart by its first bytes.
Raster readImage(const std::string& path);
Raster readTiff(const std::string& path);
Raster readPng(const std::string& path);

void writeTiff(const std::string& path, const Raster& raster);
void writeFloatTiff(const std::string& path, const Raster& raster);
// UInt8 or UInt16 rasters only; planes one below the other.
void writePng(const std::string& path, const Raster& raster);

// Throws ImageIOError, naming the file and why, when `path` cannot be written: a missing or
// read-only directory, a directory of that name, a read-only file. An existing file is left as
// it is; one the check had to create is removed again.
void checkWritable(const std::string& path);

// The image description that carries a raster's metadata (TiffDescription.cpp), and its reading:
// nothing for a description written by something else; ImageIOError (without the file name) for
// one of ours that is damaged or does not fit the raster's shape.
std::string formatDescription(const ImageMetadata& metadata, std::uint32_t planes);
std::optional<ImageMetadata> parseDescription(const std::string& text, std::uint32_t height,
                                              std::uint32_t planes);

// The smallest and largest finite element. Without any finite element both are 0.
struct ValueRange {
    double min = 0;
    double max = 0;
};
ValueRange finiteRange(const Raster& raster);

// How a preview turns values into grey levels. The finite elements span a range [low, high]:
// without clipping their minimum and maximum; with clipping P percent, the k-th smallest and
// k-th largest finite element (counted from 0), k = floor(N × P / 100) of N finite elements, so
// that at most k elements lie beyond each end. Then t = (v − low) / (high − low), limited to
// [0, 1], becomes the grey level round(255 × f(t)):
//   linear   f(t) = t
//   gamma G  f(t) = t^G  (G below 1 brightens the dark values: 0.5 is the square root)
//   log A    f(t) = log(1 + A t) / log(1 + A)  (A = 1000 by default: 0.001 of the range becomes
//            about a tenth of the grey levels)
// Not-a-number is black, −∞ black, +∞ white. When high = low (a constant image, or clipping that
// leaves one value) values below it are black, above it white, and equal to it black when it is
// zero and mid-grey (128) otherwise.
enum class PreviewCurve { Linear, Gamma, Log };
struct PreviewMapping {
    PreviewCurve curve = PreviewCurve::Linear;
    double parameter = 1;    // G for Gamma, A for Log; positive and finite
    double clipPercent = 0;  // P, from 0 up to (not including) 50
};
constexpr double kDefaultLogStretch = 1000;
// Reads "linear", "gamma=G", "log" or "log=A"; nothing for any other text or a parameter that is
// not a positive finite number.
std::optional<PreviewMapping> parsePreviewCurve(const std::string& text);
// "linear", "gamma 0.5", "log" (or "log 100"), then ", clipping 0.1 %" when it clips.
std::string describe(const PreviewMapping& mapping);

// The range [low, high] a preview maps, as above.
ValueRange previewRange(const Raster& raster, double clipPercent = 0);
// The preview's bytes, one per element; the range mapped goes to `mapped` when given.
std::vector<std::uint8_t> previewBytes(const Raster& raster, const PreviewMapping& mapping = {},
                                       ValueRange* mapped = nullptr);
// Writes the preview and answers the range it mapped.
ValueRange writePreviewPng(const std::string& path, const Raster& raster,
                           const PreviewMapping& mapping = {});

}  // namespace Tools

template <typename T>
Tools::Raster Tools::makeRaster(ElementType type, std::uint32_t width, std::uint32_t height,
                                std::uint32_t planes, const std::vector<T>& values) {
    Raster r = makeRaster(type, width, height, planes);
    if (sizeof(T) != StandIn::elementSize(type) || values.size() != r.elementCount()) {
        throw ImageIOError("makeRaster: " + std::to_string(values.size()) + " values of " +
                           std::to_string(sizeof(T)) + " bytes do not fill a " +
                           std::to_string(width) + " x " + std::to_string(height) +
                           (planes == 1 ? "" : " x " + std::to_string(planes)) + " " +
                           StandIn::elementTypeName(type) + " raster");
    }
    std::memcpy(r.bytes.data(), values.data(), r.bytes.size());
    return r;
}
