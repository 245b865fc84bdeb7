// The runner's command line: options first, then the module, then the function and its arguments.
// Options end at the first word that is not one, so negative numbers among the function's
// arguments ("-40.2") are never taken for options; "--" ends the options explicitly.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Tools {

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Options {
    bool help = false;
    bool list = false;
    bool time = false;
    std::optional<std::uint32_t> hostVersion;
    std::string tiffOut;  // -o: image result as 32-bit float TIFF
    std::string pngOut;   // --png: image result as 8-bit preview
    std::string module;
    std::string function;  // empty with --list alone
    std::vector<std::string> arguments;
};

// Throws UsageError naming what is wrong.
Options parseCommandLine(const std::vector<std::string>& words);

// The text of --help.
std::string usageText();

}  // namespace Tools
