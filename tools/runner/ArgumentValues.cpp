// Parsing and formatting of the runner's command-line values.
#include "ArgumentValues.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <type_traits>

namespace Tools {
namespace {

bool hasBlankEdge(const std::string& text) {
    return text.empty() || std::isspace(static_cast<unsigned char>(text.front())) ||
           std::isspace(static_cast<unsigned char>(text.back()));
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// True for texts that strtod reads as infinity or not-a-number rather than as a number.
bool namesNonFinite(const std::string& text) {
    std::string t = lower(text);
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) t.erase(0, 1);
    return t.compare(0, 3, "inf") == 0 || t.compare(0, 3, "nan") == 0;
}

template <typename T>
std::string shortest(T value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace

std::optional<std::int64_t> parseInteger(const std::string& text, std::int64_t min,
                                         std::int64_t max) {
    if (hasBlankEdge(text)) return std::nullopt;
    std::size_t pos = 0;
    bool negative = false;
    if (text[pos] == '+' || text[pos] == '-') negative = text[pos++] == '-';
    int base = 10;
    if (text.size() > pos + 2 && text[pos] == '0' &&
        (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        base = 16;
        pos += 2;
    }
    if (pos >= text.size()) return std::nullopt;
    std::uint64_t magnitude = 0;
    const char* first = text.data() + pos;
    const char* last = text.data() + text.size();
    auto result = std::from_chars(first, last, magnitude, base);
    if (result.ec != std::errc() || result.ptr != last) return std::nullopt;
    // Magnitudes first, so that the full range of int64 stays reachable; then the range itself,
    // on both sides whatever the sign ("-0" is 0, and must lie in the range like any value).
    constexpr std::uint64_t kMostNegative = std::uint64_t{1} << 63;
    if (magnitude > (negative ? kMostNegative : kMostNegative - 1)) return std::nullopt;
    const std::int64_t value = !negative        ? static_cast<std::int64_t>(magnitude)
                               : magnitude == 0 ? 0
                                                : -static_cast<std::int64_t>(magnitude - 1) - 1;
    if (value < min || value > max) return std::nullopt;
    return value;
}

std::optional<double> parseDouble(const std::string& text) {
    if (hasBlankEdge(text)) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return std::nullopt;
    if (std::isinf(value) && !namesNonFinite(text)) return std::nullopt;  // overflow
    return value;
}

std::optional<float> parseFloat(const std::string& text) {
    if (hasBlankEdge(text)) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    float value = std::strtof(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return std::nullopt;
    if (std::isinf(value) && !namesNonFinite(text)) return std::nullopt;  // overflow
    return value;
}

std::optional<bool> parseBoolean(const std::string& text) {
    const std::string t = lower(text);
    if (t == "true" || t == "yes" || t == "on" || t == "1") return true;
    if (t == "false" || t == "no" || t == "off" || t == "0") return false;
    return std::nullopt;
}

std::optional<std::uint32_t> parseHex32(const std::string& text) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits.erase(0, 2);
    if (digits.empty() || hasBlankEdge(digits) || digits[0] == '+' || digits[0] == '-')
        return std::nullopt;
    std::uint32_t value = 0;
    const char* last = digits.data() + digits.size();
    auto result = std::from_chars(digits.data(), last, value, 16);
    if (result.ec != std::errc() || result.ptr != last) return std::nullopt;
    return value;
}

std::optional<ForeignValue> parseNumber(const ParamPlan& plan, const std::string& text) {
    switch (plan.reading) {
        case NumberReading::Boolean:
            if (std::optional<bool> b = parseBoolean(text)) {
                return ForeignValue::number(plan.foreign, *b ? 1 : 0);
            }
            break;
        case NumberReading::Integer:
            if (std::optional<std::int64_t> n = parseInteger(text, plan.min, plan.max)) {
                return ForeignValue::number(plan.foreign, *n);
            }
            break;
        case NumberReading::Real:
            if (plan.foreign == ForeignType::Float) {
                if (std::optional<float> f = parseFloat(text)) return ForeignValue::float32(*f);
            } else if (std::optional<double> d = parseDouble(text)) {
                return ForeignValue::number(plan.foreign, *d);
            }
            break;
    }
    return std::nullopt;
}

std::string formatFloat(float value) { return shortest(value); }
std::string formatDouble(double value) { return shortest(value); }

std::string formatNumber(const ForeignValue& value) {
    return visitForeignType(value.type, [&](auto c) -> std::string {
        using T = typename decltype(c)::type;
        if constexpr (std::is_integral_v<T>) {
            return std::to_string(value.as<T>());
        } else if constexpr (std::is_floating_point_v<T>) {
            return shortest(value.as<T>());
        } else {
            return "?";
        }
    });
}

}  // namespace Tools
