// Parsing of the runner's command line and its help text.
#include "CommandLine.h"

#include <limits>

#include "ArgumentValues.h"

namespace Tools {

Options parseCommandLine(const std::vector<std::string>& words) {
    Options o;
    std::size_t i = 0;
    auto valueOf = [&](const std::string& option) -> std::string {
        if (i + 1 >= words.size()) throw UsageError(option + " needs a value");
        return words[++i];
    };
    for (; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--") {
            ++i;
            break;
        }
        if (w.size() < 2 || w[0] != '-') break;
        if (w == "-h" || w == "--help") {
            o.help = true;
        } else if (w == "--list") {
            o.list = true;
        } else if (w == "--menus") {
            o.menus = true;
        } else if (w == "--choose") {
            std::string text = valueOf(w);
            const std::size_t comma = text.find(',');
            constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
            constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
            std::optional<std::int64_t> id1, id2;
            if (comma != std::string::npos) {
                id1 = parseInteger(text.substr(0, comma), kMin, kMax);
                id2 = parseInteger(text.substr(comma + 1), kMin, kMax);
            }
            if (!id1 || !id2)
                throw UsageError("--choose takes a command as ID1,ID2 (two integers), not '" +
                                 text + "'");
            o.commands.push_back(
                {static_cast<std::int32_t>(*id1), static_cast<std::int32_t>(*id2)});
        } else if (w == "--time") {
            o.time = true;
        } else if (w == "--validate") {
            o.validate = true;
        } else if (w == "--host-version") {
            std::string text = valueOf(w);
            o.hostVersion = parseHex32(text);
            if (!o.hostVersion) {
                throw UsageError(
                    "--host-version takes a hexadecimal version such as 03040400, not '" + text +
                    "'");
            }
        } else if (w == "-o" || w == "--output") {
            o.tiffOut = valueOf(w);
        } else if (w == "--png") {
            o.pngOut = valueOf(w);
        } else {
            throw UsageError("unknown option '" + w + "'");
        }
    }
    if (o.help) return o;
    if (i >= words.size()) throw UsageError("no module given");
    o.module = words[i++];
    if (i < words.size()) {
        o.function = words[i++];
        o.arguments.assign(words.begin() + static_cast<std::ptrdiff_t>(i), words.end());
    }
    if (o.validate) {
        if (!o.function.empty() || o.list || o.menus || !o.commands.empty() || !o.tiffOut.empty() ||
            !o.pngOut.empty())
            throw UsageError("--validate takes the module alone (and --host-version)");
        return o;
    }
    if (o.function.empty() && !o.list && !o.menus && o.commands.empty())
        throw UsageError("no function given (or --list to see them)");
    if (o.function.empty() && (!o.tiffOut.empty() || !o.pngOut.empty())) {
        throw UsageError("-o and --png need a function whose result they write");
    }
    return o;
}

std::string usageText() {
    return R"(usage: photarion-run [--list] [--time] [--host-version HEX] [-o OUT.tif] [--png OUT.png]
                     MODULE [FUNCTION ARGS...]
       photarion-run --validate [--host-version HEX] MODULE

Loads the plug-in module MODULE (a shared library) into the stand-in host, links it, starts
it up and calls its script function FUNCTION with ARGS, converted according to the signature
the module registered. Afterwards the module is shut down and unloaded, and every host
reference, string loan or image lock it left behind is reported.

Options (they come before MODULE):
  --list              list the registered script functions with their signatures
  --menus             list the menu entries and tools the module installed
  --choose ID1,ID2    choose the menu command (ID1,ID2) after start-up, as the user would;
                      fails when no menu of the module handles it (may be repeated)
  --time              print the wall time of the call on stderr
  --host-version HEX  the host version the module sees (default 03040400); below 03040400
                      the module locks image data through the older host functions
  -o, --output FILE   write an image result as a 32-bit float TIFF
  --png FILE          write an image result as an 8-bit greyscale preview, scaled linearly
                      from the data's minimum (black) to its maximum (white); a constant image
                      is black when it is zero and mid-grey otherwise; not-a-number is black
  --validate          check the module instead of calling a function: its exports, link
                      version and reference rules, its signatures, and every registered
                      function called with generated inputs (every real element kind, sizes
                      1x1 to 16x16, the values 0, 1, -1.5 and a large one) with each host call
                      failing in turn and answering "stale" in turn, on both host generations
                      (or the one --host-version names); exit status 1 on any finding
  -h, --help          show this text

Arguments by the parameter's type:
  ImageRef *, ImageRef  an image file: TIFF with one sample per pixel (8/16/32-bit signed or
                        unsigned integers, 32/64-bit floats) or greyscale PNG (read as 8- or
                        16-bit unsigned); the host image keeps the file's element type
  float, double         a number: -40.2, 1e3, 0x1p-3, inf, nan
  char, short, long     a signed integer in the type's range (decimal or 0x hexadecimal)
  uint16, ulong, uint32 an unsigned integer in the type's range
  RGB                   a colour as one unsigned 32-bit integer (decimal or 0x hexadecimal)
  Handle, PFFileReference, External32BitType
                        a host token as an unsigned 32-bit integer
  Boolean               true/false, yes/no, on/off or 1/0
  string, qz_string     any text

Output: text the module writes to the results window and the function's result go to stdout
(an image result as one line: name, size, element type and range). Alerts and errors the
module raises go to stderr as "error: MESSAGE".

Exit status: 0 success; 1 the module failed (raised an error or an alert, returned no image,
could not be loaded, left references, loans or locks behind) or a file could not be read or
written; 2 the command line was wrong (unknown option or function, wrong number of arguments,
an argument that is not of its parameter's type).
)";
}

}  // namespace Tools
