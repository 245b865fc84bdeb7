// Images as the stand-in host keeps them: element type, 1 to 5 dimension sizes, a name and a
// contiguous data buffer (dimension 0 varies fastest), plus the bookkeeping of locks and change
// notifications that tests inspect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace StandIn {

// Element types. The numeric value is the type code this host reports through
// "uint32 ImageGetDataType( ImageRef )" and the locked-data description.
enum class ElementType : std::uint32_t {
    Float32 = 1,
    Float64 = 2,
    Int8 = 3,
    Int16 = 4,
    Int32 = 5,
    UInt8 = 6,
    UInt16 = 7,
    UInt32 = 8,
    Binary = 9,       // one byte per element
    Complex64 = 10,   // two float32
    Complex128 = 11,  // two float64
    RGB = 12,         // four bytes per element
};

constexpr std::size_t kMaxImageDimensions = 5;

struct TagNode;  // TagTree.h

std::size_t elementSize(ElementType type);
bool isFloatType(ElementType type);  // Float32, Float64
bool isComplexType(ElementType type);
bool isSignedIntegerType(ElementType type);
const char* elementTypeName(ElementType type);

// How the raw values of one dimension's index, or of the image's elements (the intensity), read
// in physical units: calibrated = (raw - origin) * scale, in `unit`.
struct Calibration {
    float origin = 0.0f;
    float scale = 1.0f;
    std::string unit;       // Latin-1; empty: no unit
    bool displayed = true;  // whether views show the calibrated values

    bool operator==(const Calibration& o) const {
        return origin == o.origin && scale == o.scale && unit == o.unit && displayed == o.displayed;
    }
    bool operator!=(const Calibration& o) const { return !(*this == o); }
};

// How to make an image.
struct ImageSpec {
    ElementType type = ElementType::Float32;
    std::vector<std::uint32_t> sizes;  // 1..5 entries, each at least 1
    std::string name;
    bool packedComplex = false;  // reported as pack style 1 on complex images
    std::string label{};
    // Empty: every dimension uncalibrated; otherwise one per dimension.
    std::vector<Calibration> dimensionCalibrations{};
    Calibration intensityCalibration{};
};

// A snapshot of an image, for tests and the runner: what it was made of (one calibration per
// dimension), its data and what happened to it.
struct ImageInfo : ImageSpec {
    std::vector<unsigned char> bytes;  // copy of the data
    int activeLocks = 0;               // locks taken and not yet returned (both generations)
    int dataChangedCount = 0;          // "void ImageDataChanged( ImageRef )" calls
    int unlocksMarkedChanged = 0;      // ImageUnlockData with non-zero flags
    int unlocksMarkedUnchanged = 0;    // ImageUnlockData with flags 0

    std::size_t elementCount() const;
    // Element i (in memory order) reinterpreted as T; T must match the element size.
    template <typename T>
    T element(std::size_t i) const;
};

// The host's own record of an image; shared by the handle table and active locks, so the data
// outlives a handle that dies while locked.
// Its description is what it was made of, with one calibration per dimension.
struct ImageData : ImageSpec {
    std::vector<unsigned char> bytes;
    int activeLocks = 0;
    int dataChangedCount = 0;
    int unlocksMarkedChanged = 0;
    int unlocksMarkedUnchanged = 0;
    // Kept by the object model's functions.
    std::string description;               // ImageSetDescriptionText
    std::uint32_t id = 0;                  // ImageGetID: given on the first request
    std::vector<std::int32_t> unitPowers;  // per dimension, then the intensity; missing ones are 1
    float estimatedMin = 0.0f, estimatedMax = 0.0f;  // SetEstimatedMinMax
    std::shared_ptr<TagNode> tags;                   // the image's own tag group, made on first use

    std::size_t elementCount() const;
    // Byte stride of dimension d (contiguous, dimension 0 fastest).
    std::size_t stride(std::size_t d) const;
};

// Checks a spec (1..5 dimensions, non-zero sizes, bounded total); throws std::invalid_argument.
void validateImageSpec(const ImageSpec& spec);

}  // namespace StandIn

#include <cstring>
#include <stdexcept>

template <typename T>
T StandIn::ImageInfo::element(std::size_t i) const {
    if (sizeof(T) != elementSize(type))
        throw std::logic_error("element(): type does not match the element size");
    if ((i + 1) * sizeof(T) > bytes.size())
        throw std::out_of_range("element(): index out of range");
    T value;
    std::memcpy(&value, bytes.data() + i * sizeof(T), sizeof(T));
    return value;
}
