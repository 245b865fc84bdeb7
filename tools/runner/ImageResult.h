// What the runner does with an image a function returned: one summary line, and the files that -o
// and --png ask for.
#pragma once

#include <ostream>

#include "CommandLine.h"
#include "Images.h"

namespace Tools {

// Writes `image "NAME": W x H TYPE[, values MIN to MAX]` to `out` (the range for real element
// types), then the files of options.tiffOut and options.pngOut with a "wrote" line each. A file
// that cannot be written, or an image of more than two dimensions to be written, is an "error:"
// line on `err`. Answers the exit status.
int deliverImage(StandIn::ImageInfo image, const Options& options, std::ostream& out,
                 std::ostream& err);

}  // namespace Tools
