// Command-line text to typed values: the parsers behind the runner's arguments and options.
// Each answers nothing when the whole text is not a value of the type (no partial parses, no
// leading or trailing blanks, nothing out of the type's range).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "CallPlan.h"
#include "ForeignValue.h"

namespace Tools {

// Decimal integers with an optional sign, or hexadecimal with "0x" ("-0x10" too).
std::optional<std::int64_t> parseInteger(const std::string& text, std::int64_t min,
                                         std::int64_t max);
// Decimal or hexadecimal floating point, "inf" and "nan" included. A finite text whose value
// overflows the type is refused; one that underflows gives the nearest value (possibly zero).
std::optional<double> parseDouble(const std::string& text);
std::optional<float> parseFloat(const std::string& text);
// true/false, yes/no, on/off and 1/0, in any letter case.
std::optional<bool> parseBoolean(const std::string& text);
// Hexadecimal, with or without "0x": the host version, e.g. 03040400.
std::optional<std::uint32_t> parseHex32(const std::string& text);

// The argument of a number parameter (Supply::Number) as the value that travels: by the plan's
// reading, within its range for an integer.
std::optional<ForeignValue> parseNumber(const ParamPlan& plan, const std::string& text);

// Shortest text that reads back as the same value ("0.1", "1e+30", "-inf", "nan").
std::string formatFloat(float value);
std::string formatDouble(double value);
// A number in decimal, a real as formatFloat and formatDouble write it; "?" for Void and Pointer.
std::string formatNumber(const ForeignValue& value);

}  // namespace Tools
