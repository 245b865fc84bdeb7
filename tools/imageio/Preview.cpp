// Previews: data values to the grey levels of an 8-bit PNG, by the mappings of ImageIO.h.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "ImageIO.h"

namespace Tools {
namespace {

std::optional<double> positiveNumber(const std::string& text) {
    double v = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, v);
    if (error != std::errc() || stop != end || !std::isfinite(v) || !(v > 0)) return std::nullopt;
    return v;
}

std::string shortest(double v) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return error == std::errc() ? std::string(buffer, end) : std::to_string(v);
}

double curve(const PreviewMapping& mapping, double t) {
    switch (mapping.curve) {
        case PreviewCurve::Linear: return t;
        case PreviewCurve::Gamma: return std::pow(t, mapping.parameter);
        case PreviewCurve::Log:
            return std::log1p(mapping.parameter * t) / std::log1p(mapping.parameter);
    }
    return t;
}

}  // namespace

std::optional<PreviewMapping> parsePreviewCurve(const std::string& text) {
    PreviewMapping m;
    if (text == "linear") return m;
    if (text == "log") {
        m.curve = PreviewCurve::Log;
        m.parameter = kDefaultLogStretch;
        return m;
    }
    const std::size_t equals = text.find('=');
    const std::string name = text.substr(0, equals);
    if (equals == std::string::npos || (name != "gamma" && name != "log")) return std::nullopt;
    const std::optional<double> parameter = positiveNumber(text.substr(equals + 1));
    if (!parameter) return std::nullopt;
    m.curve = name == "gamma" ? PreviewCurve::Gamma : PreviewCurve::Log;
    m.parameter = *parameter;
    return m;
}

std::string describe(const PreviewMapping& mapping) {
    std::string text;
    switch (mapping.curve) {
        case PreviewCurve::Linear: text = "linear"; break;
        case PreviewCurve::Gamma: text = "gamma " + shortest(mapping.parameter); break;
        case PreviewCurve::Log:
            text = mapping.parameter == kDefaultLogStretch ? "log"
                                                           : "log " + shortest(mapping.parameter);
            break;
    }
    if (mapping.clipPercent > 0) text += ", clipping " + shortest(mapping.clipPercent) + " %";
    return text;
}

ValueRange previewRange(const Raster& raster, double clipPercent) {
    if (!(clipPercent > 0)) return finiteRange(raster);
    std::vector<double> values;
    for (std::size_t i = 0, n = raster.elementCount(); i < n; ++i) {
        const double v = raster.value(i);
        if (std::isfinite(v)) values.push_back(v);
    }
    if (values.empty()) return {};
    const std::size_t count = values.size();
    const auto k =
        std::min(static_cast<std::size_t>(std::floor(count * clipPercent / 100)), (count - 1) / 2);
    const auto at = [&](std::size_t rank) {
        std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank),
                         values.end());
        return values[rank];
    };
    ValueRange range;
    range.min = at(k);
    range.max = at(count - 1 - k);
    return range;
}

std::vector<std::uint8_t> previewBytes(const Raster& raster, const PreviewMapping& mapping,
                                       ValueRange* mapped) {
    const ValueRange range = previewRange(raster, mapping.clipPercent);
    if (mapped) *mapped = range;
    // Halves, so that the span of two finite doubles cannot overflow.
    const double low = range.min / 2;
    const double halfSpan = range.max / 2 - low;
    const std::uint8_t constant = range.min == 0 ? 0 : 128;
    std::vector<std::uint8_t> out(raster.elementCount());
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double v = raster.value(i);
        if (std::isnan(v)) {
            out[i] = 0;
        } else if (std::isinf(v)) {
            out[i] = v > 0 ? 255 : 0;
        } else if (!(halfSpan > 0)) {
            out[i] = v < range.min ? 0 : v > range.max ? 255 : constant;
        } else {
            const double t = std::fmin(1.0, std::fmax(0.0, (v / 2 - low) / halfSpan));
            const double level = std::round(curve(mapping, t) * 255.0);
            out[i] = static_cast<std::uint8_t>(std::fmin(255.0, std::fmax(0.0, level)));
        }
    }
    return out;
}

}  // namespace Tools
