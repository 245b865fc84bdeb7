// The script functions this module adds to the host's language. Each is a plain function that the
// host calls with the address of an image handle; each answers a new image handle carrying one
// reference for the host, or 0 when no result was made.
#pragma once

#include "shell/HostInterfaces.h"

namespace Vorna {

constexpr char kShiftImageSignature[] = "RealImagePtr shiftImage(ImageRef *,float,float)";
constexpr char kHoughTransformSignature[] = "RealImagePtr HoughTransform(ImageRef *)";

Handle HoughTransform(Handle* image);
Handle ShiftImage(Handle* image, float dx, float dy);

}  // namespace Vorna
