// The script functions this module adds to the host's language. The host calls each with the
// address of an image handle (through the entry AddFunction<> makes); each fills `result` with the
// image it creates, which the host receives even when a later step fails.
#pragma once

#include "hostcall/References.h"

namespace Vorna {

constexpr char kShiftImageSignature[] = "RealImagePtr shiftImage(ImageRef *,float,float)";
constexpr char kHoughTransformSignature[] = "RealImagePtr HoughTransform(ImageRef *)";

void HoughTransform(ImageRef& result, Handle* image);
void ShiftImage(ImageRef& result, Handle* image, float dx, float dy);

}  // namespace Vorna
