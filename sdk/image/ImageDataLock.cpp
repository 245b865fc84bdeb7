// The image data lock and the two generations of host locking behind it (entries 6 to 8 of the
// callbacks table).
#include "image/ImageDataLock.h"

#include <algorithm>
#include <cstdint>

#include "errors/AssertionSites.h"
#include "errors/Exceptions.h"
#include "hostcall/Stubs.h"
#include "shell/PlugInMain.h"

namespace Vorna {
namespace {

const FrameworkUnitUsers sUsers;

}  // namespace

// ---- ImageDataLock ----------------------------------------------------------------------------

ImageDataLock::ImageDataLock(const ImageRef& image, std::uint32_t lockFlags)
    : fLockFlags(lockFlags) {
    Lock(image);
}

ImageDataLock::~ImageDataLock() {
    try {
        Unlock();
    } catch (...) {
        // Nothing may leave a destructor; fImage still drops its count.
    }
}

void ImageDataLock::Lock(const ImageRef& image) {
    using PlugIn::PlugInMain;
    if (image == fImage) return;
    Unlock();
    if (!QZ::ImageIsValid(image)) return;

    const PlugIn::PlugInCallbacks& callbacks = PlugInMain::GetCallbacks();
    if (!(*callbacks.lock_image_data)(image.get(), fLockFlags, &fLockData)) {
        ReportAssertion(AssertionSites::kLockImageData);
        return;  // an error manager that does not raise still leaves the lock unlocked
    }
    try {
        (*callbacks.get_locked_image_data)(image.get(), &fLockData, this);
    } catch (...) {
        AbandonHostLock(image);
        throw;
    }
    fImage = image;
    fLocked = true;
    fChanged = false;
}

void ImageDataLock::AbandonHostLock(const ImageRef& image) noexcept {
    try {
        (*PlugIn::PlugInMain::GetCallbacks().unlock_image_data)(image.get(), &fLockData, false);
    } catch (...) {
        // The first failure is the one to report.
    }
}

void ImageDataLock::Unlock() {
    if (!fLocked) return;
    (*PlugIn::PlugInMain::GetCallbacks().unlock_image_data)(fImage.get(), &fLockData, fChanged);
    fLocked = false;
    fChanged = false;
    fImage = ImageRef();
}

void ImageDataLock::LockSlice(const ImageRef& image, std::uint32_t dimension, std::uint32_t index) {
    Lock(image);
    if (!QZ::ImageIsValid(fImage)) return;
    if (index >= Size(dimension)) ThrowMessage("Not enough dimensions.");
    if (dimension >= fDimensionCount) return;
    AdvanceData(static_cast<std::ptrdiff_t>(index) * fDimensions[dimension].fStride);
    std::copy(fDimensions + dimension + 1, fDimensions + fDimensionCount, fDimensions + dimension);
    --fDimensionCount;
}

void ImageDataLock::LockSubArea(const ImageRef& image, const SubArea* area) {
    Lock(image);
    if (!QZ::ImageIsValid(fImage) || !area) return;
    // 64-bit differences: the corners are arbitrary 32-bit values.
    const std::int64_t width = std::int64_t{area->right} - area->left;
    const std::int64_t height = std::int64_t{area->bottom} - area->top;
    if (width <= 0 || height <= 0) ThrowMessage("The sub area must be non-empty.");
    // From here right > left and bottom > top, so the unsigned size comparisons see the
    // corners' true values whenever left and top are not negative.
    const bool fitsRow = area->left >= 0 && static_cast<std::uint32_t>(area->right) <= Size(0);
    if (fDimensionCount == 1) {
        if (!fitsRow || height != 1) ThrowMessage("The sub-area is too large for this image data.");
        AdvanceData(static_cast<std::ptrdiff_t>(area->left) * fDimensions[0].fStride);
        fDimensions[0].fSize = static_cast<std::uint32_t>(width);
        return;
    }
    if (!fitsRow || area->top < 0 || static_cast<std::uint32_t>(area->bottom) > Size(1))
        ThrowMessage("The sub-area is too large for this image data.");
    AdvanceData(static_cast<std::ptrdiff_t>(area->left) * Stride(0) +
                static_cast<std::ptrdiff_t>(area->top) * Stride(1));
    fDimensions[0].fSize = static_cast<std::uint32_t>(width);
    fDimensions[1].fSize = static_cast<std::uint32_t>(height);
}

// ---- Callbacks for hosts from 0x03040400 on ---------------------------------------------------

namespace PlugIn {

bool LockImageData(Handle image, std::uint32_t lockFlags, ImageLockToken* token) {
    token->fToken = QZ::ImageLockData(image, lockFlags);
    return token->fToken != nullptr;
}

void GetLockedImageData(Handle image, ImageLockToken* token, DataView* view) {
    std::uint32_t dimensionCount = kMaxDataViewDimensions;
    std::uint32_t dataType = 0;
    std::uint32_t packStyle = 0;  // asked for, not kept
    std::int32_t pairs[2 * kMaxDataViewDimensions] = {1, 0, 1, 0, 1, 0, 1, 0, 1, 0};
    void* data =
        QZ::ImageGetLockedData(image, token->fToken, kMaxDataViewDimensions, &dimensionCount,
                               &dataType, &packStyle, &pairs[0], &pairs[1], &pairs[2], &pairs[3],
                               &pairs[4], &pairs[5], &pairs[6], &pairs[7], &pairs[8], &pairs[9]);
    if (dimensionCount > kMaxDataViewDimensions) ThrowMessage("Too many dimensions.");
    view->fData = data;
    view->fDimensionCount = dimensionCount;
    view->fDataType = dataType;
    for (std::uint32_t d = 0; d < dimensionCount; ++d) {
        view->fDimensions[d] = {static_cast<std::uint32_t>(pairs[2 * d]), pairs[2 * d + 1]};
    }
}

void UnlockImageData(Handle image, ImageLockToken* token, bool changed) {
    const ImageRef reference(image);
    if (QZ::ImageIsValid(reference)) QZ::ImageUnlockData(image, token->fToken, changed ? 1 : 0);
}

// ---- Callbacks for older hosts: a pointer to contiguous data ----------------------------------

bool LockImageDataOlder(Handle image, std::uint32_t lockFlags, ImageLockToken* token) {
    if (lockFlags != kLockContiguous)
        ThrowMessage("Only contiguous data supported for QZ343 and earlier.");
    const ImageRef reference(image);
    token->fToken = reinterpret_cast<void*>(QZ::GetDataPtr(reference));
    return token->fToken != nullptr;
}

void GetLockedImageDataOlder(Handle image, ImageLockToken* token, DataView* view) {
    const ImageRef reference(image);
    // Built aside and copied at the end: a failing host call leaves the view as it was.
    DataView described;
    described.fDataType = QZ::ImageGetDataType(reference);
    described.fDimensionCount = QZ::ImageGetNumDimensions(reference);
    if (described.fDimensionCount > kMaxDataViewDimensions) ThrowMessage("Too many dimensions.");
    for (std::uint32_t i = 0; i < described.fDimensionCount; ++i) {
        DataViewDimension& dimension = described.fDimensions[i];
        dimension.fSize = QZ::ImageGetDimensionSize(reference, i);
        if (i == 0) {
            dimension.fStride = QZ::GetDepth(reference);
        } else {
            const DataViewDimension& previous = described.fDimensions[i - 1];
            dimension.fStride = static_cast<std::int32_t>(
                previous.fSize * static_cast<std::uint32_t>(previous.fStride));
        }
    }
    described.fData = token->fToken;
    *view = described;
}

void UnlockImageDataOlder(Handle image, ImageLockToken*, bool) {
    // An older host is always told that the data changed.
    const ImageRef reference(image);
    if (!QZ::ImageIsValid(reference)) return;
    QZ::ImageDataChanged(reference);
    QZ::ReleaseDataPtr(reference);
}

}  // namespace PlugIn
}  // namespace Vorna
