// Element types and geometry of host images.
#include "Images.h"

namespace StandIn {

std::size_t elementSize(ElementType type) {
    switch (type) {
        case ElementType::Int8:
        case ElementType::UInt8:
        case ElementType::Binary: return 1;
        case ElementType::Int16:
        case ElementType::UInt16: return 2;
        case ElementType::Float32:
        case ElementType::Int32:
        case ElementType::UInt32:
        case ElementType::RGB: return 4;
        case ElementType::Float64:
        case ElementType::Complex64: return 8;
        case ElementType::Complex128: return 16;
    }
    return 0;
}

bool isFloatType(ElementType type) {
    return type == ElementType::Float32 || type == ElementType::Float64;
}

bool isComplexType(ElementType type) {
    return type == ElementType::Complex64 || type == ElementType::Complex128;
}

bool isSignedIntegerType(ElementType type) {
    return type == ElementType::Int8 || type == ElementType::Int16 || type == ElementType::Int32;
}

const char* elementTypeName(ElementType type) {
    switch (type) {
        case ElementType::Float32: return "float32";
        case ElementType::Float64: return "float64";
        case ElementType::Int8: return "int8";
        case ElementType::Int16: return "int16";
        case ElementType::Int32: return "int32";
        case ElementType::UInt8: return "uint8";
        case ElementType::UInt16: return "uint16";
        case ElementType::UInt32: return "uint32";
        case ElementType::Binary: return "binary";
        case ElementType::Complex64: return "complex64";
        case ElementType::Complex128: return "complex128";
        case ElementType::RGB: return "rgb";
    }
    return "?";
}

namespace {
std::size_t countElements(const std::vector<std::uint32_t>& sizes) {
    std::size_t n = 1;
    for (std::uint32_t s : sizes) n *= s;
    return n;
}
}  // namespace

std::size_t ImageInfo::elementCount() const { return countElements(sizes); }

std::size_t ImageData::elementCount() const { return countElements(sizes); }

std::size_t ImageData::stride(std::size_t d) const {
    std::size_t s = elementSize(type);
    for (std::size_t i = 0; i < d && i < sizes.size(); ++i) s *= sizes[i];
    return s;
}

void validateImageSpec(const ImageSpec& spec) {
    if (spec.sizes.empty() || spec.sizes.size() > kMaxImageDimensions) {
        throw std::invalid_argument("an image has 1 to 5 dimensions");
    }
    if (elementSize(spec.type) == 0) throw std::invalid_argument("unknown element type");
    // Keep images test-sized: at most 1 GiB.
    std::uint64_t bytes = elementSize(spec.type);
    for (std::uint32_t s : spec.sizes) {
        if (s == 0) throw std::invalid_argument("image dimension sizes must be at least 1");
        bytes *= s;
        if (bytes > (std::uint64_t{1} << 30))
            throw std::invalid_argument("image too large for the stand-in host");
    }
    if (!spec.dimensionCalibrations.empty() &&
        spec.dimensionCalibrations.size() != spec.sizes.size()) {
        throw std::invalid_argument("one calibration per dimension, or none");
    }
    if (spec.packedComplex && !isComplexType(spec.type)) {
        throw std::invalid_argument("only complex images can be packed");
    }
}

}  // namespace StandIn
