// What the runner does with an image a function returned: one summary line, and the files that -o
// and --png ask for; and the way between host images and the rasters of image files.
#pragma once

#include <ostream>
#include <string>

#include "CommandLine.h"
#include "ImageIO.h"
#include "Images.h"

namespace Tools {

// A host image as a raster of up to three dimensions (a 4- or 5-D image's higher dimensions
// folded into the planes), its name, label, calibrations and number of dimensions kept.
Raster rasterOf(StandIn::ImageInfo image);

// How to make a host image of a raster read from a file: its metadata when the file carried it,
// otherwise uncalibrated; named `fallbackName` when the file gave no name or an empty one.
StandIn::ImageSpec imageSpecOf(const Raster& raster, const std::string& fallbackName);

// Writes `image "NAME": W x H TYPE[, values MIN to MAX]` to `out` (the range for real element
// types), then the files of options.tiffOut and options.pngOut with a "wrote" line each, the
// preview's saying how it mapped values to grey. A file that cannot be written, or an image of
// more than three dimensions to be written, is an "error:" line on `err`. Answers the exit status.
int deliverImage(StandIn::ImageInfo image, const Options& options, std::ostream& out,
                 std::ostream& err);

}  // namespace Tools
