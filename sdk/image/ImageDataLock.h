// Direct access to an image's pixels: an ImageDataLock pins the host's data, describes it as a
// DataView and gives it back when unlocked or destroyed.
//
//     ImageDataLock source(image);                  // contiguous data, locked until scope end
//     const float* pixels = source.Data<float>();
//     for (std::uint32_t y = 0; y < source.Size(1); ++y) ...
//
// The lock goes through entries 6 to 8 of PlugInMain::GetCallbacks(), which serve both host
// generations: hosts from 0x03040400 on lock through "ImageLockData" and report strides, older
// ones only lend a pointer to contiguous data.
//
// A lock must not outlive the host call in which it was made. Only the host's thread locks data.
#pragma once

#include <cstdint>

#include "hostcall/References.h"
#include "image/DataView.h"

namespace Vorna {

// A rectangle of the image plane: dimension 0 runs along left … right, dimension 1 along
// top … bottom; right and bottom are exclusive.
struct SubArea {
    std::int32_t top;
    std::int32_t left;
    std::int32_t bottom;
    std::int32_t right;
};

class ImageDataLock : public DataView {
  public:
    // Locks `image` with `lockFlags`. An invalid image is not an error: the lock stays unlocked
    // with a null data pointer and no dimensions.
    explicit ImageDataLock(const ImageRef& image, std::uint32_t lockFlags = kLockContiguous);
    // Gives back whatever is still locked. Never throws: a failure to unlock is swallowed, so an
    // owner that must know whether the data went back calls Unlock() itself first.
    ~ImageDataLock();
    ImageDataLock(const ImageDataLock&) = delete;
    ImageDataLock& operator=(const ImageDataLock&) = delete;

    // Locks `image` and describes its whole data. The image already held: nothing happens (the
    // view stays as it is). Another image: the held one is unlocked first. An invalid image
    // leaves the lock unlocked. A host lock that cannot be described is given back before the
    // failure propagates.
    void Lock(const ImageRef& image);
    // Gives the data back, telling the host whether it changed (MarkChanged). The view keeps its
    // last values. When the host refuses, the lock stays held and the failure propagates, so a
    // later Unlock (or the destructor) can try again.
    void Unlock();
    // The data was written through this lock; the host is told so when it is unlocked.
    void MarkChanged() { fChanged = true; }

    // Locks `image` and restricts the view to index `index` of dimension `dimension`, which
    // disappears from the view. A dimension beyond the count leaves the view as it is (index 0
    // being its only one). Raises "Not enough dimensions." when the index is out of range.
    void LockSlice(const ImageRef& image, std::uint32_t dimension, std::uint32_t index);
    // Locks `image` and restricts dimensions 0 and 1 to `area`; a null area keeps the whole
    // image. Raises "The sub area must be non-empty." or "The sub-area is too large for this
    // image data."; a one-dimensional image takes only areas one row high.
    void LockSubArea(const ImageRef& image, const SubArea* area);

    bool IsLocked() const { return fLocked; }
    bool IsChanged() const { return fChanged; }
    // The image whose data is locked; empty while unlocked.
    const ImageRef& Image() const { return fImage; }
    std::uint32_t LockFlags() const { return fLockFlags; }

  private:
    friend struct LayoutCheck;  // shell/Layout.h: the field order below is fixed

    // Gives the host's lock on `image` back after a failure; any further failure is dropped.
    void AbandonHostLock(const ImageRef& image) noexcept;

    ImageRef fImage;
    std::uint32_t fLockFlags;
    ImageLockToken fLockData = {};
    bool fLocked = false;
    bool fChanged = false;
};

}  // namespace Vorna
