// One run of photarion-run that uses a module: one stand-in host, one module, one call.
#pragma once

#include <ostream>

#include "CommandLine.h"

namespace Tools {

// Checks the module file, loads it, asks its link version, links, starts up, (lists, reads its
// menus and chooses commands), looks up the function, plans every parameter from the registered
// signature, checks that the output files can be written, reads the arguments (image files become
// host images with the name, label and calibrations the files carry), calls the entry through
// libffi, reports what the module raised, takes over the result (writing an image result to
// files), then cleans up, shuts down, unloads and reports what the module left behind. Once the
// module is loaded, every path out goes through the shutdown and the leak report. Answers the
// exit status; the module's text and the result go to `out`, diagnostics to `err`.
int RunSession(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace Tools
