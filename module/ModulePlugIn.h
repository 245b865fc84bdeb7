// The module's main object: registers the two image operations with the host at start-up.
#pragma once

#include "shell/PlugInMain.h"

namespace Vorna {

class ModulePlugIn : public PlugIn::PlugInMain {
  public:
    ~ModulePlugIn() override;
    void Startup() override;
    // Registrations stay in place until the module unloads.
    void Run() override {}
    void Cleanup() override {}
    void Shutdown() override {}
};

}  // namespace Vorna
