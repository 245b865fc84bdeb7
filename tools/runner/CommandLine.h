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

// A menu command as the module identifies it: two integers of its choice.
struct MenuCommand {
    std::int32_t id1 = 0;
    std::int32_t id2 = 0;
};

struct Options {
    bool help = false;
    bool list = false;
    bool menus = false;                 // --menus: the module's menu entries after start-up
    std::vector<MenuCommand> commands;  // --choose: menu commands chosen after start-up, in order
    bool time = false;
    bool validate = false;  // --validate MODULE: check the module instead of calling a function
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
