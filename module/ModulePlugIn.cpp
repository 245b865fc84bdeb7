#include "ModulePlugIn.h"

#include "ImageOperations.h"

namespace Vorna {

ModulePlugIn::~ModulePlugIn() = default;

void ModulePlugIn::Startup() {
    AddFunction<&ShiftImage>(kShiftImageSignature);
    AddFunction<&HoughTransform>(kHoughTransformSignature);
}

// The module's one main object, constructed at load and destroyed at unload.
static ModulePlugIn sModulePlugIn;

}  // namespace Vorna
