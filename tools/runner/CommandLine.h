// The runner's command line: the module, then the function and its arguments, with options before
// the module or after it. Before the module every word that starts with "-" is an option (an
// unknown one is an error); after it only the runner's own option names are, so that negative
// numbers and other text among the function's arguments ("-40.2") are never taken for options.
// "--" ends the options: every word after it is the module, the function or an argument.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "ImageIO.h"
#include "Views.h"

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
    std::string tiffOut;     // -o: image result as 32-bit float TIFF
    std::string pngOut;      // --png: image result as 8-bit preview
    PreviewMapping preview;  // --png-scale, --png-clip: how the preview maps values to grey
    // --dialog: how the host answers the module's prompts, in order (then OK with the value the
    // prompt offers).
    std::vector<StandIn::DialogAnswer> dialogAnswers;
    bool show = false;                   // --show: the first image argument shown in a window
    std::vector<StandIn::RoiSpec> rois;  // --roi: regions on the shown first image argument
    std::string module;
    std::string function;  // empty with --list alone
    std::vector<std::string> arguments;
};

// Throws UsageError naming what is wrong.
Options parseCommandLine(const std::vector<std::string>& words);

// The text of --help.
std::string usageText();

}  // namespace Tools
