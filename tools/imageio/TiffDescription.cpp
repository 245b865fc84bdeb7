// The metadata of an image in a TIFF's ImageDescription tag: a small key=value text, one entry a
// line, in plain ASCII. For a 2-D image:
//
//     photarion-image 1
//     name=Hough Transform
//     label=
//     dimensions=2
//     dim0.origin=0
//     dim0.scale=1
//     dim0.unit=
//     dim0.displayed=1
//     dim1.origin=0
//     ...
//     intensity.origin=0
//     intensity.scale=0.25
//     intensity.unit=counts
//     intensity.displayed=1
//
// The first line names the format and its version; a description that does not start with it was
// written by something else and is ignored. Then, in any order and each at most once:
//   name, label          the image's name and label
//   dimensions           1, 2 or 3: how many dimensions the image has. A 1-D image is one row of
//                        one page, a 2-D image one page, a 3-D image one page per plane (its
//                        pages the planes of dimension 2). Left out: 2, or 3 for several pages.
//   dimN.origin, dimN.scale, dimN.unit, dimN.displayed
//                        the calibration of dimension N (0 the columns, 1 the rows, 2 the pages):
//                        calibrated = (index − origin) × scale in `unit`, shown when displayed
//                        is 1 (0 otherwise)
//   intensity.origin, intensity.scale, intensity.unit, intensity.displayed
//                        the same for the element values
// Numbers are the shortest decimal text that reads back as the same 32-bit float ("inf", "-inf"
// and "nan" included). In text values a backslash starts an escape: \\ \n \r \t, and \xHH for any
// other byte below 0x20 or from 0x7F, so that names in any 8-bit encoding survive. An entry left
// out has its default: no name or label, origin 0, scale 1, no unit, displayed. The writer writes
// every entry; a damaged entry, an unknown key or a dimension the image does not have is refused.
#include <charconv>
#include <cmath>
#include <map>

#include "ImageIO.h"

namespace Tools {
namespace {

const char kFirstLine[] = "photarion-image 1";
const char kFormatName[] = "photarion-image ";

std::string escape(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c >= 0x7F) {
                    out += "\\x";
                    out += kHex[c >> 4];
                    out += kHex[c & 0xF];
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out;
}

std::string number(float v) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return error == std::errc() ? std::string(buffer, end) : "nan";
}

void formatCalibration(std::string& out, const std::string& prefix, const StandIn::Calibration& c) {
    out += prefix + ".origin=" + number(c.origin) + "\n";
    out += prefix + ".scale=" + number(c.scale) + "\n";
    out += prefix + ".unit=" + escape(c.unit) + "\n";
    out += prefix + ".displayed=" + (c.displayed ? "1" : "0") + "\n";
}

std::size_t dimensionsOf(const ImageMetadata& metadata, std::uint32_t planes) {
    return metadata.dimensions ? metadata.dimensions : planes > 1 ? 3 : 2;
}

// One line of the description being read, for the messages about it.
class Entry {
  public:
    Entry(std::size_t line, const std::string& text) : fLine(line), fText(text) {}

    [[noreturn]] void fail(const std::string& why) const {
        throw ImageIOError("its image description is damaged: line " + std::to_string(fLine) +
                           ", \"" + escape(fText) + "\": " + why);
    }

    std::string text(const std::string& value) const {
        std::string out;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] != '\\') {
                out += value[i];
                continue;
            }
            if (++i == value.size()) fail("a backslash ends the value");
            switch (value[i]) {
                case '\\': out += '\\'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'x': {
                    unsigned byte = 0;
                    const char* first = value.data() + i + 1;
                    const char* last = first + std::min<std::size_t>(2, value.size() - i - 1);
                    const auto [end, error] = std::from_chars(first, last, byte, 16);
                    if (error != std::errc() || end != first + 2)
                        fail("\\x needs two hexadecimal digits");
                    out += static_cast<char>(byte);
                    i += 2;
                    break;
                }
                default: fail(std::string("unknown escape \\") + value[i]);
            }
        }
        return out;
    }

    float real(const std::string& value) const {
        float v = 0;
        const char* end = value.data() + value.size();
        const auto [stop, error] = std::from_chars(value.data(), end, v);
        if (error != std::errc() || stop != end || value.empty()) fail("not a number");
        return v;
    }

    bool flag(const std::string& value) const {
        if (value != "0" && value != "1") fail("displayed is 1 or 0");
        return value == "1";
    }

  private:
    std::size_t fLine;
    std::string fText;
};

// Sets one field of a calibration; false for a field name that is none.
bool setCalibration(StandIn::Calibration& c, const std::string& field, const std::string& value,
                    const Entry& entry) {
    if (field == "origin")
        c.origin = entry.real(value);
    else if (field == "scale")
        c.scale = entry.real(value);
    else if (field == "unit")
        c.unit = entry.text(value);
    else if (field == "displayed")
        c.displayed = entry.flag(value);
    else
        return false;
    return true;
}

}  // namespace

std::string formatDescription(const ImageMetadata& metadata, std::uint32_t planes) {
    const std::size_t dimensions = dimensionsOf(metadata, planes);
    std::string out = std::string(kFirstLine) + "\n";
    out += "name=" + escape(metadata.name) + "\n";
    out += "label=" + escape(metadata.label) + "\n";
    out += "dimensions=" + std::to_string(dimensions) + "\n";
    for (std::size_t d = 0; d < dimensions; ++d) {
        formatCalibration(out, "dim" + std::to_string(d),
                          d < metadata.dimensionCalibrations.size()
                              ? metadata.dimensionCalibrations[d]
                              : StandIn::Calibration{});
    }
    formatCalibration(out, "intensity", metadata.intensityCalibration);
    return out;
}

std::optional<ImageMetadata> parseDescription(const std::string& text, std::uint32_t height,
                                              std::uint32_t planes) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    if (lines[0] != kFirstLine) {
        if (lines[0].rfind(kFormatName, 0) == 0) {
            throw ImageIOError("its image description is of format version " +
                               escape(lines[0].substr(sizeof kFormatName - 1)) +
                               "; this reader knows version 1");
        }
        return std::nullopt;
    }
    ImageMetadata m;
    m.known = true;
    std::vector<StandIn::Calibration> calibrations(3);
    std::size_t highestDimension = 0;  // one past the highest dimension given
    std::size_t highestLine = 0;
    std::map<std::string, std::size_t> seen;
    for (std::size_t n = 1; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        if (line.empty()) continue;
        const Entry entry(n + 1, line);
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) entry.fail("no '=' between key and value");
        const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (!seen.emplace(key, n + 1).second) {
            entry.fail("'" + key + "' is given twice, first on line " + std::to_string(seen[key]));
        }
        const std::size_t dot = key.find('.');
        const std::string group = key.substr(0, dot);
        const std::string field = dot == std::string::npos ? "" : key.substr(dot + 1);
        bool known = true;
        if (key == "name") {
            m.name = entry.text(value);
        } else if (key == "label") {
            m.label = entry.text(value);
        } else if (key == "dimensions") {
            if (value != "1" && value != "2" && value != "3") entry.fail("dimensions is 1, 2 or 3");
            m.dimensions = static_cast<std::size_t>(value[0] - '0');
        } else if (group == "intensity") {
            known = setCalibration(m.intensityCalibration, field, value, entry);
        } else if (group.size() == 4 && group.rfind("dim", 0) == 0 && group[3] >= '0' &&
                   group[3] <= '2') {
            const std::size_t d = static_cast<std::size_t>(group[3] - '0');
            known = setCalibration(calibrations[d], field, value, entry);
            if (d + 1 > highestDimension) {
                highestDimension = d + 1;
                highestLine = n + 1;
            }
        } else {
            known = false;
        }
        if (!known) entry.fail("unknown key '" + escape(key) + "'");
    }
    const std::size_t dimensions = dimensionsOf(m, planes);
    if ((dimensions == 1 && (height != 1 || planes != 1)) || (dimensions == 2 && planes != 1)) {
        throw ImageIOError("its image description gives " + std::to_string(dimensions) +
                           (dimensions == 1 ? " dimension" : " dimensions") +
                           ", but the file holds " + std::to_string(planes) +
                           (planes == 1 ? " page" : " pages") + " of " + std::to_string(height) +
                           (height == 1 ? " row" : " rows"));
    }
    if (highestDimension > dimensions) {
        throw ImageIOError("its image description calibrates dimension " +
                           std::to_string(highestDimension - 1) + " (line " +
                           std::to_string(highestLine) + ") of a " + std::to_string(dimensions) +
                           "-dimensional image");
    }
    if (highestDimension > 0) {
        calibrations.resize(dimensions);
        m.dimensionCalibrations = calibrations;
    }
    return m;
}

}  // namespace Tools
