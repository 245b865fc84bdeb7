// A module that defines no main object: the framework's default one serves, whose Shutdown
// withdraws whatever was registered.
#include "shell/PlugInMain.h"

namespace {
const Vorna::FrameworkUnitUsers sUsers;
}
