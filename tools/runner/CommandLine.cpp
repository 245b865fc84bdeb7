// Parsing of the runner's command line and its help text.
#include "CommandLine.h"

#include <cmath>
#include <limits>

#include "ArgumentValues.h"

namespace Tools {

namespace {

// The runner's options, by the name a person writes; the value-taking ones read their value
// through `value`.
bool isOptionName(const std::string& w) {
    static const char* const kNames[] = {"-h",         "--help",   "--list",     "--menus",
                                         "--choose",   "--time",   "--validate", "--host-version",
                                         "-o",         "--output", "--png",      "--png-scale",
                                         "--png-clip", "--dialog", "--show",     "--roi"};
    for (const char* name : kNames) {
        if (w == name) return true;
    }
    return false;
}

// "SHAPE:X1,Y1[,X2,Y2]": a point (one point), a line from the first point to the second, or a
// rectangle or oval from its left, top to its right, bottom corner. Answers nothing when the text
// is none of these.
std::optional<StandIn::RoiSpec> parseRoi(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return std::nullopt;
    const std::string shape = text.substr(0, colon);
    std::vector<float> numbers;
    for (std::size_t start = colon + 1;;) {
        const std::size_t comma = text.find(',', start);
        std::optional<double> n = parseDouble(text.substr(start, comma - start));
        if (!n || !std::isfinite(*n)) return std::nullopt;
        numbers.push_back(static_cast<float>(*n));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    StandIn::RoiSpec roi;
    if (shape == "point" && numbers.size() == 2) {
        roi.shape = StandIn::RoiShape::Point;
    } else if ((shape == "line" || shape == "rect" || shape == "oval") && numbers.size() == 4) {
        roi.shape = shape == "line"   ? StandIn::RoiShape::Line
                    : shape == "rect" ? StandIn::RoiShape::Rectangle
                                      : StandIn::RoiShape::Oval;
        if (shape != "line" && (numbers[2] < numbers[0] || numbers[3] < numbers[1]))
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    for (std::size_t k = 0; k < numbers.size(); k += 2)
        roi.points.push_back({numbers[k], numbers[k + 1]});
    return roi;
}

}  // namespace

Options parseCommandLine(const std::vector<std::string>& words) {
    Options o;
    std::vector<std::string> positional;
    bool optionsEnded = false, scaled = false, clipped = false;
    std::size_t i = 0;
    auto valueOf = [&](const std::string& option) -> std::string {
        if (i + 1 >= words.size()) throw UsageError(option + " needs a value");
        return words[++i];
    };
    for (; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (!optionsEnded && w == "--") {
            optionsEnded = true;
            continue;
        }
        const bool option =
            !optionsEnded && (positional.empty() ? w.size() >= 2 && w[0] == '-' : isOptionName(w));
        if (!option) {
            positional.push_back(w);
        } else if (w == "-h" || w == "--help") {
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
        } else if (w == "--dialog") {
            const std::string text = valueOf(w);
            try {
                o.dialogAnswers.push_back(StandIn::parseDialogAnswer(text));
            } catch (const std::invalid_argument& e) {
                throw UsageError(std::string("--dialog: ") + e.what());
            }
        } else if (w == "--show") {
            o.show = true;
        } else if (w == "--roi") {
            const std::string text = valueOf(w);
            std::optional<StandIn::RoiSpec> roi = parseRoi(text);
            if (!roi) {
                throw UsageError(
                    "--roi takes point:X,Y, line:X1,Y1,X2,Y2, rect:LEFT,TOP,RIGHT,BOTTOM or "
                    "oval:LEFT,TOP,RIGHT,BOTTOM (numbers; right >= left, bottom >= top), not '" +
                    text + "'");
            }
            o.rois.push_back(*roi);
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
        } else if (w == "--png-scale") {
            const std::string text = valueOf(w);
            std::optional<PreviewMapping> curve = parsePreviewCurve(text);
            if (!curve) {
                throw UsageError(
                    "--png-scale takes linear, gamma=G or log (or log=A), G and A "
                    "positive numbers, not '" +
                    text + "'");
            }
            o.preview.curve = curve->curve;
            o.preview.parameter = curve->parameter;
            scaled = true;
        } else if (w == "--png-clip") {
            const std::string text = valueOf(w);
            std::optional<double> percent = parseDouble(text);
            if (!percent || !(*percent >= 0 && *percent < 50)) {
                throw UsageError("--png-clip takes a percentage from 0 up to 50, not '" + text +
                                 "'");
            }
            o.preview.clipPercent = *percent;
            clipped = true;
        } else {
            throw UsageError("unknown option '" + w + "'");
        }
    }
    if (o.help) return o;
    if (positional.empty()) throw UsageError("no module given");
    o.module = positional[0];
    if (positional.size() > 1) {
        o.function = positional[1];
        o.arguments.assign(positional.begin() + 2, positional.end());
    }
    if (o.validate) {
        if (!o.function.empty() || o.list || o.menus || !o.commands.empty() || !o.tiffOut.empty() ||
            !o.pngOut.empty() || scaled || clipped || !o.dialogAnswers.empty() || o.show ||
            !o.rois.empty())
            throw UsageError("--validate takes the module alone (and --host-version)");
        return o;
    }
    if (o.function.empty() && !o.list && !o.menus && o.commands.empty())
        throw UsageError("no function given (or --list to see them)");
    if (o.function.empty() && (!o.tiffOut.empty() || !o.pngOut.empty())) {
        throw UsageError("-o and --png need a function whose result they write");
    }
    if ((scaled || clipped) && o.pngOut.empty())
        throw UsageError(
            "--png-scale and --png-clip shape the --png preview, which is not asked for");
    if (!o.tiffOut.empty() && o.tiffOut == o.pngOut)
        throw UsageError("-o and --png name the same file, '" + o.tiffOut + "'");
    return o;
}

std::string usageText() {
    return R"(usage: photarion-run [--list] [--time] [--host-version HEX] [-o OUT.tif] [--png OUT.png]
                     [--png-scale CURVE] [--png-clip P] [--dialog ANSWER] [--show]
                     [--roi REGION] MODULE [FUNCTION ARGS...] [OPTIONS]
       photarion-run --validate [--host-version HEX] MODULE

Loads the plug-in module MODULE (a shared library) into the stand-in host, links it, starts
it up and calls its script function FUNCTION with ARGS, converted according to the signature
the module registered. Afterwards the module is shut down and unloaded, and every host
reference, string loan or image lock it left behind is reported.

Options go before MODULE or after the function's arguments (or anywhere among them). Before
MODULE every word that starts with '-' is an option; after it only the names below are, so
that '-40.2' is a number. Every word after '--' is MODULE, FUNCTION or an argument: write
'-- -o' to pass the text '-o' to a function.
  --list              list the registered script functions with their signatures
  --menus             list the menu entries and tools the module installed
  --choose ID1,ID2    choose the menu command (ID1,ID2) after start-up, as the user would;
                      fails when no menu of the module handles it (may be repeated)
  --dialog ANSWER     how the host answers the module's next prompt: ok (the value the prompt
                      offers), cancel, or ok=VALUE; given once per prompt, in order (may be
                      repeated); prompts beyond them are answered ok. Each prompt and its
                      answer are printed on stderr
  --show              show the first image argument in a window before the call, as the
                      application shows an image it opened (its document and display)
  --roi REGION        put a region of interest on the shown first image argument (implies
                      --show): point:X,Y, line:X1,Y1,X2,Y2, rect:LEFT,TOP,RIGHT,BOTTOM or
                      oval:LEFT,TOP,RIGHT,BOTTOM, in pixels (may be repeated)
  --time              print the wall time of the call on stderr
  --host-version HEX  the host version the module sees (default 03040400); below 03040400
                      the module locks image data through the older host functions
  -o, --output FILE   write an image result as a 32-bit float TIFF: a 3-D image as one page
                      per plane, with its name, label and calibrations in the description
                      (see "Image files" below)
  --png FILE          write an image result as an 8-bit greyscale preview, mapped by
                      --png-scale and --png-clip; a 3-D image's planes one below the other
  --png-scale CURVE   how values become grey levels, t from 0 (black) to 1 (white) over the
                      mapped range: linear (the default), gamma=G (t to the power G; below 1
                      brightens the dark values, 0.5 is the square root) or log (log(1+At) /
                      log(1+A), A = 1000 or log=A)
  --png-clip P        map the range from the P-th to the (100-P)-th percentile of the finite
                      values (0 <= P < 50; default 0: minimum to maximum); values beyond it
                      are black or white. A constant image is black when it is zero and
                      mid-grey otherwise; not-a-number is black
  --validate          check the module instead of calling a function: its exports, link
                      version and reference rules, its signatures, and every registered
                      function called with generated inputs (every real element kind, sizes
                      1x1 to 16x16, the values 0, 1, -1.5 and a large one; each image shown
                      with a rectangle over its middle half, every dialog answered ok) with
                      each host call failing in turn and answering "stale" in turn, on both
                      host generations (or the one --host-version names); exit status 1 on
                      any finding
  -h, --help          show this text

Output files (-o, --png) that cannot be written are reported before the function is called.

Arguments by the parameter's type:
  ImageRef *, ImageRef  an image file: TIFF with one sample per pixel (8/16/32-bit signed or
                        unsigned integers, 32/64-bit floats, or 1-bit bilevel, read as 8-bit
                        unsigned 0 and 1) or greyscale PNG (read as 8- or 16-bit unsigned); the
                        host image keeps the file's element type. A TIFF of several pages of
                        one size and kind is a 3-D image, one plane per page; pages that differ
                        are refused
  float, double         a number: -40.2, 1e3, 0x1p-3, inf, nan
  char, short, long     a signed integer in the type's range (decimal or 0x hexadecimal)
  uint16, ulong, uint32 an unsigned integer in the type's range
  RGB                   a colour as one unsigned 32-bit integer (decimal or 0x hexadecimal)
  Handle, PFFileReference, External32BitType
                        a host token as an unsigned 32-bit integer
  Boolean               true/false, yes/no, on/off or 1/0
  string, qz_string     any text

Image files: a TIFF written by -o carries the image's name, label, calibrations and number
of dimensions in its ImageDescription tag, a text of key=value lines after the line
"photarion-image 1" (name=, label=, dimensions=, dimN.origin=, dimN.scale=, dimN.unit=,
dimN.displayed=, intensity.origin=, ... ; calibrated = (raw - origin) x scale); an input
TIFF that carries it gives the host image those, and one without it is named after the file.

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
