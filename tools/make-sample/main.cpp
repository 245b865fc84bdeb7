// photarion-make-sample: writes the demo's sample image, a few straight lines of different weights
// on a zero background, as a 32-bit float TIFF (and optionally an 8-bit preview PNG), and prints
// where each line should peak in the Hough transform.
#include <cstdlib>
#include <iostream>
#include <string>

#include "SampleImage.h"

namespace {

const char kUsage[] =
    "usage: photarion-make-sample OUT.tif [SIZE] [--png OUT.png]\n"
    "Writes a SIZE x SIZE (default 512, at least 8) 32-bit float TIFF with four straight lines\n"
    "of weights 1.0, 0.8, 0.6 and 0.3 on a zero background, and prints each line's expected peak\n"
    "(angle column, distance row) in the Hough transform of the image.\n";

int usage(const std::string& problem) {
    std::cerr << "error: " << problem << "\n" << kUsage;
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string tiff, png, sizeText;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "-h" || word == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (word == "--png") {
            if (i + 1 >= argc) return usage("--png needs a file name");
            png = argv[++i];
        } else if (tiff.empty()) {
            tiff = word;
        } else if (sizeText.empty()) {
            sizeText = word;
        } else {
            return usage("unexpected argument '" + word + "'");
        }
    }
    if (tiff.empty()) return usage("no output file given");
    std::uint32_t size = 512;
    if (!sizeText.empty()) {
        char* end = nullptr;
        unsigned long n = std::strtoul(sizeText.c_str(), &end, 10);
        if (sizeText[0] == '-' || *end != '\0' || n < 8 || n > 16384) {
            return usage("SIZE must be a whole number from 8 to 16384, not '" + sizeText + "'");
        }
        size = static_cast<std::uint32_t>(n);
    }
    try {
        Tools::Raster image = Tools::makeSampleImage(size);
        Tools::writeFloatTiff(tiff, image);
        if (!png.empty()) Tools::writePreviewPng(png, image);
    } catch (const Tools::ImageIOError& e) {
        std::cerr << "error: " << e.what() << "\n";
        return 1;
    }
    std::cout << "sample " << size << " x " << size << " written to " << tiff;
    if (!png.empty()) std::cout << " (preview " << png << ")";
    std::cout << "\n";
    for (const Tools::SampleLine& line : Tools::sampleLines()) {
        Tools::HoughBin bin = Tools::expectedHoughPeak(line, size);
        std::cout << "  line of weight " << line.weight << " at " << line.angleDegrees
                  << " degrees, " << line.offset * (size / 2)
                  << " px from the centre: Hough peak near column " << bin.column << ", row "
                  << bin.row << "\n";
    }
    return 0;
}
