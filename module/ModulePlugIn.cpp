#include "ModulePlugIn.h"

#include "ImageOperations.h"

namespace Vorna {

ModulePlugIn::~ModulePlugIn() = default;

void ModulePlugIn::Startup() {
    AddFunction(kShiftImageSignature, reinterpret_cast<void*>(&ShiftImage));
    AddFunction(kHoughTransformSignature, reinterpret_cast<void*>(&HoughTransform));
}

// The module's one main object, constructed at load and destroyed at unload.
static ModulePlugIn sModulePlugIn;

}  // namespace Vorna
