// Image data access for plug-in code: data views, the image data lock, and RGB-to-grey helpers.
//
// RGB pixels are four bytes: three channels and one unused byte. Grey is the integer mean of the
// three channels.
#pragma once

#include "hostcall/References.h"
#include "image/DataView.h"
#include "image/ImageDataLock.h"

namespace Vorna {

// A new unsigned one-byte image "untitled" of the source's width and height holding the grey
// value of every source pixel, in memory order. The new image is not told that it changed.
ImageRef ConvertRGBToGray(const ImageRef& source);

// The same conversion into an existing image, which is then told that its data changed. The
// destination's type is not examined; its data must hold at least width × height bytes.
void ConvertRGBToGrayInto(const ImageRef& source, const ImageRef& destination);

// Whether every pixel of a four-byte RGB image has three equal channels. Any other image is a
// failed assertion.
bool IsRGBImageGray(const ImageRef& image);

}  // namespace Vorna
