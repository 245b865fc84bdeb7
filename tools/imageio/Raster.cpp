// Rasters and their conversion to float.
#include <cmath>
#include <cstring>
#include <limits>

#include "ImageIO.h"

namespace Tools {
namespace {

template <typename T>
double load(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return static_cast<double>(v);
}

// Largest raster: what the stand-in host takes as one image (1 GiB), so that the sizes a file
// declares cannot make the tools allocate more before its data has even been looked at.
constexpr std::uint64_t kMaxBytes = std::uint64_t{1} << 30;

}  // namespace

bool isRealType(ElementType type) {
    switch (type) {
        case ElementType::Float32:
        case ElementType::Float64:
        case ElementType::Int8:
        case ElementType::Int16:
        case ElementType::Int32:
        case ElementType::UInt8:
        case ElementType::UInt16:
        case ElementType::UInt32:
        case ElementType::Binary: return true;
        case ElementType::Complex64:
        case ElementType::Complex128:
        case ElementType::RGB: return false;
    }
    return false;
}

float nearestFloat(double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    constexpr double kHalfUnitBeyond = kMax + 0x1p103;
    if (std::isnan(v) || std::fabs(v) <= kMax) return static_cast<float>(v);
    const float sign = v < 0 ? -1.0f : 1.0f;
    return std::fabs(v) < kHalfUnitBeyond ? sign * std::numeric_limits<float>::max()
                                          : sign * std::numeric_limits<float>::infinity();
}

double Raster::value(std::size_t i) const {
    const unsigned char* p = bytes.data() + i * StandIn::elementSize(type);
    switch (type) {
        case ElementType::Float32: return load<float>(p);
        case ElementType::Float64: return load<double>(p);
        case ElementType::Int8: return load<std::int8_t>(p);
        case ElementType::Int16: return load<std::int16_t>(p);
        case ElementType::Int32: return load<std::int32_t>(p);
        case ElementType::UInt8:
        case ElementType::Binary: return load<std::uint8_t>(p);
        case ElementType::UInt16: return load<std::uint16_t>(p);
        case ElementType::UInt32: return load<std::uint32_t>(p);
        default: break;
    }
    throw ImageIOError(std::string(StandIn::elementTypeName(type)) +
                       " elements have no single real value");
}

std::vector<std::uint32_t> Raster::sizes() const {
    const std::size_t dimensions = metadata.dimensions ? metadata.dimensions : planes > 1 ? 3 : 2;
    if (dimensions == 1) return {width};
    if (dimensions == 2) return {width, height};
    return {width, height, planes};
}

void checkRasterSize(ElementType type, std::uint32_t width, std::uint32_t height,
                     std::uint32_t planes) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height) +
                             (planes == 1 ? "" : " x " + std::to_string(planes));
    if (width == 0 || height == 0 || planes == 0) {
        throw ImageIOError(std::string("an image needs at least one row and one column") +
                           (planes == 1 ? "" : " in at least one plane") + ", not " + size);
    }
    if (static_cast<std::uint64_t>(width) * height * planes >
        kMaxBytes / StandIn::elementSize(type)) {
        throw ImageIOError("an image of " + size + " " + StandIn::elementTypeName(type) +
                           " elements is too large (more than 1 GiB)");
    }
}

Raster makeRaster(ElementType type, std::uint32_t width, std::uint32_t height,
                  std::uint32_t planes) {
    checkRasterSize(type, width, height, planes);
    Raster r;
    r.type = type;
    r.width = width;
    r.height = height;
    r.planes = planes;
    r.bytes.assign(r.elementCount() * StandIn::elementSize(type), 0);
    return r;
}

std::vector<float> toFloats(const Raster& raster) {
    if (!isRealType(raster.type)) {
        throw ImageIOError(std::string("cannot convert ") + StandIn::elementTypeName(raster.type) +
                           " elements to real numbers");
    }
    std::vector<float> out(raster.elementCount());
    if (raster.type == ElementType::Float32) {
        std::memcpy(out.data(), raster.bytes.data(), out.size() * sizeof(float));
        return out;
    }
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = nearestFloat(raster.value(i));
    return out;
}

Raster toFloatRaster(const Raster& raster) {
    Raster r = makeRaster(ElementType::Float32, raster.width, raster.height, raster.planes);
    const std::vector<float> values = toFloats(raster);
    std::memcpy(r.bytes.data(), values.data(), r.bytes.size());
    r.metadata = raster.metadata;
    return r;
}

ValueRange finiteRange(const Raster& raster) {
    ValueRange range;
    bool any = false;
    for (std::size_t i = 0, n = raster.elementCount(); i < n; ++i) {
        double v = raster.value(i);
        if (!std::isfinite(v)) continue;
        if (!any || v < range.min) range.min = v;
        if (!any || v > range.max) range.max = v;
        any = true;
    }
    return range;
}

}  // namespace Tools
