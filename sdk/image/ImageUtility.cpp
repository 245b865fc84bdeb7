// RGB-to-grey conversions and the grey test of RGB images.
#include "image/ImageUtility.h"

#include <array>
#include <cstdint>
#include <cstdlib>

#include "errors/AssertionSites.h"
#include "errors/Exceptions.h"
#include "hostcall/Stubs.h"

namespace Vorna {
namespace {

const FrameworkUnitUsers sUsers;

constexpr std::uint64_t kRGBPixelBytes = 4;

// grey[r + g + b] = (r + g + b) / 3: one look-up per pixel instead of a division.
const std::array<std::uint8_t, 768>& GreyTable() {
    static const std::array<std::uint8_t, 768> sTable = [] {
        std::array<std::uint8_t, 768> table{};
        for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(i / 3);
        return table;
    }();
    return sTable;
}

struct PlaneSize {
    std::int32_t width = 0;
    std::int32_t height = 0;

    std::uint64_t Pixels() const {
        if (width <= 0 || height <= 0) return 0;
        return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    }
};

PlaneSize SizeOf(const ImageRef& image) {
    PlaneSize size;
    QZ::GetSize(image, &size.width, &size.height);
    return size;
}

// Bytes of contiguous locked data: all elements times the element step. 0 while unlocked.
std::uint64_t ContiguousBytes(const DataView& view) {
    if (!view.Data() || view.DimensionCount() == 0) return 0;
    std::uint64_t bytes = static_cast<std::uint64_t>(std::abs(std::int64_t{view.Stride(0)}));
    for (std::uint32_t i = 0; i < view.DimensionCount(); ++i) bytes *= view.Size(i);
    return bytes;
}

// The loops below walk the data as one contiguous run: refuse data that cannot hold it.
void RequireBytes(const DataView& view, std::uint64_t bytes) {
    if (ContiguousBytes(view) < bytes)
        ThrowMessage("The sub-area is too large for this image data.");
}

void ConvertPixels(const ImageDataLock& source, const ImageDataLock& destination,
                   std::uint64_t pixels) {
    RequireBytes(source, pixels * kRGBPixelBytes);
    RequireBytes(destination, pixels);
    const std::array<std::uint8_t, 768>& grey = GreyTable();
    const std::uint8_t* in = source.Data<const std::uint8_t>();
    std::uint8_t* out = destination.Data<std::uint8_t>();
    for (std::uint64_t i = 0; i < pixels; ++i, in += kRGBPixelBytes) {
        out[i] = grey[in[0] + in[1] + in[2]];
    }
}

}  // namespace

ImageRef ConvertRGBToGray(const ImageRef& source) {
    const PlaneSize size = SizeOf(source);
    ImageRef result = QZ::CreateInteger2DImage("untitled", 1, false, size.width, size.height);
    ImageDataLock sourceLock(source, kLockContiguous);
    ImageDataLock resultLock(result, kLockContiguous);
    ConvertPixels(sourceLock, resultLock, size.Pixels());
    resultLock.Unlock();
    sourceLock.Unlock();
    return result;
}

void ConvertRGBToGrayInto(const ImageRef& source, const ImageRef& destination) {
    const PlaneSize size = SizeOf(source);
    ImageDataLock sourceLock(source, kLockContiguous);
    ImageDataLock destinationLock(destination, kLockContiguous);
    ConvertPixels(sourceLock, destinationLock, size.Pixels());
    QZ::ImageDataChanged(destination);
    destinationLock.Unlock();
    sourceLock.Unlock();
}

bool IsRGBImageGray(const ImageRef& image) {
    if (!QZ::IsRGBDataType(image, 4)) {
        ReportAssertion(AssertionSites::kRGBImage);
        return false;
    }
    const PlaneSize size = SizeOf(image);
    ImageDataLock lock(image, kLockContiguous);
    const std::uint64_t pixels = size.Pixels();
    RequireBytes(lock, pixels * kRGBPixelBytes);
    const std::uint8_t* pixel = lock.Data<const std::uint8_t>();
    bool grey = true;
    for (std::uint64_t i = 0; i < pixels && grey; ++i, pixel += kRGBPixelBytes) {
        grey = pixel[2] == pixel[0] && pixel[2] == pixel[1];
    }
    lock.Unlock();
    return grey;
}

}  // namespace Vorna
