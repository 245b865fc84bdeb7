// HoughTransform and shiftImage: the host-facing bodies. The arithmetic lives in compute/, which
// knows nothing of the host; here we read sizes and element kinds, create and lock images, and
// report every failure through the entry guard.
#include "ImageOperations.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "compute/Hough.h"
#include "compute/Shift.h"
#include "errors/Exceptions.h"
#include "hostcall/Stubs.h"
#include "image/ImageDataLock.h"
#include "shell/PlugInMain.h"

namespace Vorna {
namespace {

const FrameworkUnitUsers sUsers;

// The element kinds the operations accept, as the host describes them.
enum class ElementKind { Float32, Float64, Int8, UInt8, Int16, UInt16, Int32, UInt32 };

// Texts of one operation's refusals.
struct Refusals {
    const char* notReal;
    const char* empty;
    const char* unsupportedSize;
    const char* otherData;
};

constexpr Refusals kHoughRefusals = {
    "HoughTransform takes a real-valued image; complex and RGB images are not supported.",
    "HoughTransform needs an image of at least one pixel.",
    "HoughTransform takes images of 1-, 2- or 4-byte integers or 4- or 8-byte reals.",
    "HoughTransform got image data that does not match the image's sizes and element type.",
};
constexpr Refusals kShiftRefusals = {
    "shiftImage takes a real-valued image; complex and RGB images are not supported.",
    "shiftImage needs an image of at least one pixel.",
    "shiftImage takes images of 1-, 2- or 4-byte integers or 4- or 8-byte reals.",
    "shiftImage got image data that does not match the image's sizes and element type.",
};

// Decides the input's element kind through the host's queries alone. Complex and RGB are asked
// first: a host may also call a complex image a float one.
ElementKind RealElementKind(const ImageRef& image, const Refusals& refusals) {
    if (QZ::ImageIsDataTypeComplex(image) || QZ::ImageIsDataTypeRGB(image))
        ThrowMessage(refusals.notReal);
    const bool isFloat = QZ::ImageIsDataTypeFloat(image);
    const bool isSigned = !isFloat && QZ::ImageIsDataTypeSignedInteger(image);
    switch (QZ::ImageGetDataElementByteSize(image)) {
        case 1:
            if (!isFloat) return isSigned ? ElementKind::Int8 : ElementKind::UInt8;
            break;
        case 2:
            if (!isFloat) return isSigned ? ElementKind::Int16 : ElementKind::UInt16;
            break;
        case 4:
            return isFloat    ? ElementKind::Float32
                   : isSigned ? ElementKind::Int32
                              : ElementKind::UInt32;
        case 8:
            if (isFloat) return ElementKind::Float64;
            break;
    }
    ThrowMessage(refusals.unsupportedSize);
}

// Calls `work` with a null pointer of the element type that `kind` names.
template <class Work>
void WithElementType(ElementKind kind, Work&& work) {
    switch (kind) {
        case ElementKind::Float32: return work(static_cast<const float*>(nullptr));
        case ElementKind::Float64: return work(static_cast<const double*>(nullptr));
        case ElementKind::Int8: return work(static_cast<const std::int8_t*>(nullptr));
        case ElementKind::UInt8: return work(static_cast<const std::uint8_t*>(nullptr));
        case ElementKind::Int16: return work(static_cast<const std::int16_t*>(nullptr));
        case ElementKind::UInt16: return work(static_cast<const std::uint16_t*>(nullptr));
        case ElementKind::Int32: return work(static_cast<const std::int32_t*>(nullptr));
        case ElementKind::UInt32: return work(static_cast<const std::uint32_t*>(nullptr));
    }
}

struct Sizes {
    std::uint32_t width;
    std::uint32_t height;
};

// Whether a lock lent contiguous data of width x height elements of this many bytes. The sizes
// and the element kind come from separate host queries; data that the lock describes otherwise
// (or no data at all) is neither read nor written.
bool LockHolds(const ImageDataLock& lock, std::uint32_t width, std::uint32_t height,
               std::size_t elementBytes) {
    const auto element = static_cast<std::int64_t>(elementBytes);
    return lock.IsLocked() && lock.Data<void>() != nullptr && lock.Size(0) == width &&
           lock.Size(1) == height && lock.Stride(0) == element &&
           (height == 1 || lock.Stride(1) == element * width);
}

std::size_t ElementBytes(ElementKind kind) {
    std::size_t bytes = 0;
    WithElementType(kind, [&](auto typed) { bytes = sizeof(*typed); });
    return bytes;
}

Sizes ReadSizes(const ImageRef& image, const Refusals& refusals) {
    Sizes sizes{QZ::ImageGetDimensionSize(image, 0), QZ::ImageGetDimensionSize(image, 1)};
    if (sizes.width == 0 || sizes.height == 0) ThrowMessage(refusals.empty);
    return sizes;
}

// The result an operation makes, decided before it is created.
struct ResultShape {
    const char* name;
    std::uint32_t width;
    std::uint32_t height;
};

// The common shape of both operations: read the input's sizes and element kind, let `plan`
// refuse or shape the result, create it into `result`, lock both images, let `compute` fill the
// result from the input's locked data, tell the host the result changed, and unlock result then
// input.
template <class Plan, class Compute>
void RunImageOperation(ImageRef& result, Handle* image, const Refusals& refusals, Plan plan,
                       Compute compute) {
    ImageRef input(image ? *image : 0);
    const Sizes sizes = ReadSizes(input, refusals);
    const ElementKind kind = RealElementKind(input, refusals);
    const ResultShape shape = plan(sizes);
    result = QZ::CreateFloatImage(shape.name, static_cast<std::int32_t>(shape.width),
                                  static_cast<std::int32_t>(shape.height));

    ImageDataLock inputLock(input, kLockContiguous);
    ImageDataLock resultLock(result, kLockContiguous);
    if (!LockHolds(inputLock, sizes.width, sizes.height, ElementBytes(kind)) ||
        !LockHolds(resultLock, shape.width, shape.height, sizeof(float)))
        ThrowMessage(refusals.otherData);
    compute(inputLock.Data<void>(), kind, sizes, resultLock.Data<void>());

    QZ::ImageDataChanged(result);
    resultLock.Unlock();
    inputLock.Unlock();
}

}  // namespace

void HoughTransform(ImageRef& result, Handle* image) {
    RunImageOperation(
        result, image, kHoughRefusals,
        [](const Sizes& sizes) {
            const std::uint32_t side = std::max(sizes.width, sizes.height);
            return ResultShape{"Hough Transform", side, side};
        },
        [](const void* pixels, ElementKind kind, const Sizes& sizes, void* out) {
            // Every kind is read as it is and converted to float on the way in.
            WithElementType(kind, [&](auto typed) {
                using T = std::remove_const_t<std::remove_pointer_t<decltype(typed)>>;
                Compute::HoughTransform(static_cast<const T*>(pixels), sizes.width, sizes.height,
                                        static_cast<float*>(out));
            });
        });
}

void ShiftImage(ImageRef& result, Handle* image, float dx, float dy) {
    std::int64_t tx = 0, ty = 0;
    RunImageOperation(
        result, image, kShiftRefusals,
        [&](const Sizes& sizes) {
            if (!std::isfinite(dx) || !std::isfinite(dy))
                ThrowMessage("shiftImage needs finite offsets.");
            tx = Compute::ReduceOffset(dx, sizes.width);
            ty = Compute::ReduceOffset(dy, sizes.height);
            return ResultShape{"shiftImage", sizes.width, sizes.height};
        },
        [&](const void* pixels, ElementKind kind, const Sizes& sizes, void* out) {
            // 4-byte reals are moved bit for bit; every other kind is converted by value first.
            std::vector<float> converted;
            if (kind != ElementKind::Float32) {
                converted.resize(std::size_t{sizes.width} * sizes.height);
                WithElementType(kind, [&](auto typed) {
                    using T = std::remove_const_t<std::remove_pointer_t<decltype(typed)>>;
                    std::copy_n(static_cast<const T*>(pixels), converted.size(), converted.begin());
                });
                pixels = converted.data();
            }
            Compute::Shift(pixels, sizes.width, sizes.height, tx, ty, out);
        });
}

}  // namespace Vorna
