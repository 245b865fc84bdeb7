// The runner's reading of its command line and of argument texts, on arbitrary input.
//
// The input is lines: the first is a signature as a module would register it, the others are
// command-line words. The words are read as the runner reads the arguments of that signature
// (each parameter's plan, parser and range), every word also through every value parser, and all of
// them as a whole command line. Each value parser is compared with a plain reference reading
// written here, and every number read must be written back by the runner's formatting as a text
// that reads back to the same value.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "ArgumentValues.h"
#include "CallPlan.h"
#include "CommandLine.h"
#include "FuzzCheck.h"
#include "Signature.h"

namespace {

struct Range {
    std::int64_t min;
    std::int64_t max;
};

const Range kRanges[] = {
    {INT16_MIN, INT16_MAX},
    {0, UINT16_MAX},
    {INT32_MIN, INT32_MAX},
    {0, UINT32_MAX},
    {INT64_MIN, INT64_MAX},
    {0, 0},
    {-5, 5},
    {0, INT64_MAX},
    {INT64_MIN, -1},
    {1, 100},
    {INT32_MAX, INT64_MAX},
    {-100, -7},
};

int DigitValue(char c, int base) {
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    return d >= 0 && d < base ? d : -1;
}

// Sign, then decimal digits or "0x" and hexadecimal digits; the whole text.
std::optional<std::int64_t> ReferenceInteger(const std::string& t, Range range) {
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    int base = 10;
    if (t.size() > i + 2 && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= t.size()) return std::nullopt;
    __int128 value = 0;
    const __int128 cap = static_cast<__int128>(1) << 100;
    for (; i < t.size(); ++i) {
        const int d = DigitValue(t[i], base);
        if (d < 0) return std::nullopt;
        if (value < cap) value = value * base + d;
    }
    if (negative) value = -value;
    if (value < range.min || value > range.max) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

std::optional<std::uint32_t> ReferenceHex32(const std::string& t) {
    std::size_t i = 0;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) i = 2;
    if (i >= t.size()) return std::nullopt;
    std::uint64_t value = 0;
    for (; i < t.size(); ++i) {
        const int d = DigitValue(t[i], 16);
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(d);
        if (value > UINT32_MAX) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<bool> ReferenceBoolean(const std::string& t) {
    std::string l;
    for (char c : t) l += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* yes : {"true", "yes", "on", "1"})
        if (l == yes) return true;
    for (const char* no : {"false", "no", "off", "0"})
        if (l == no) return false;
    return std::nullopt;
}

template <typename T>
bool SameValue(T a, T b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckInteger(const std::string& word, Range range) {
    const std::optional<std::int64_t> got = Tools::parseInteger(word, range.min, range.max);
    FUZZ_CHECK(got == ReferenceInteger(word, range));
    if (got) FUZZ_CHECK(Tools::parseInteger(std::to_string(*got), range.min, range.max) == got);
}

void CheckReals(const std::string& word) {
    const std::optional<float> f = Tools::parseFloat(word);
    const std::optional<double> d = Tools::parseDouble(word);
    if (f) {
        const std::optional<float> again = Tools::parseFloat(Tools::formatFloat(*f));
        FUZZ_CHECK(again && SameValue(*again, *f));
        FUZZ_CHECK(d.has_value());  // a text read as a float is also a double
    }
    if (d) {
        const std::optional<double> again = Tools::parseDouble(Tools::formatDouble(*d));
        FUZZ_CHECK(again && SameValue(*again, *d));
        // Whatever is well inside the float range is a float too.
        if (std::isnan(*d) || std::fabs(*d) < 1e38 || std::isinf(*d)) FUZZ_CHECK(f.has_value());
    }
    if (word.empty() || std::isspace(static_cast<unsigned char>(word.front())) ||
        std::isspace(static_cast<unsigned char>(word.back()))) {
        FUZZ_CHECK(!f && !d);
    }
}

std::int64_t IntegerOf(const Tools::ForeignValue& v) {
    return Tools::visitForeignType(v.type, [&](auto c) -> std::int64_t {
        using T = typename decltype(c)::type;
        if constexpr (std::is_integral_v<T>) {
            return v.as<T>();
        } else {
            return INT64_MIN;  // never an integer reading's value
        }
    });
}

// One argument as the runner reads it for its parameter: by the plan it shares with the
// validator, and as the value that then travels to the module.
void CheckArgument(const StandIn::Param& p, const std::string& word) {
    const std::optional<Tools::ParamPlan> plan = Tools::planParam(p);
    if (!plan || plan->supply != Tools::Supply::Number) return;
    const std::optional<Tools::ForeignValue> value = Tools::parseNumber(*plan, word);
    if (value) FUZZ_CHECK(value->type == plan->foreign);
    switch (plan->reading) {
        case Tools::NumberReading::Integer: {
            const Range range{plan->min, plan->max};
            CheckInteger(word, range);
            const std::optional<std::int64_t> expected = ReferenceInteger(word, range);
            FUZZ_CHECK(value.has_value() == expected.has_value());
            if (value) FUZZ_CHECK(IntegerOf(*value) == *expected);
            break;
        }
        case Tools::NumberReading::Real:
            CheckReals(word);
            FUZZ_CHECK(value.has_value() == (plan->foreign == Tools::ForeignType::Float
                                                 ? Tools::parseFloat(word).has_value()
                                                 : Tools::parseDouble(word).has_value()));
            break;
        case Tools::NumberReading::Boolean: {
            const std::optional<bool> expected = ReferenceBoolean(word);
            FUZZ_CHECK(Tools::parseBoolean(word) == expected);
            FUZZ_CHECK(value.has_value() == expected.has_value());
            if (value) FUZZ_CHECK(value->u8 == (*expected ? 1 : 0));
            break;
        }
    }
}

void CheckCommandLine(const std::vector<std::string>& words) {
    Tools::Options o;
    try {
        o = Tools::parseCommandLine(words);
    } catch (const Tools::UsageError& e) {
        FUZZ_CHECK(std::strlen(e.what()) > 0);
        return;
    }
    if (o.help) return;
    FUZZ_CHECK(!o.module.empty() || std::find(words.begin(), words.end(), "") != words.end());
    FUZZ_CHECK(o.arguments.size() < words.size());
    // The arguments are words of the command line, unchanged and in their order (options may
    // stand among them); an option's name is one only when a "--" ended the options.
    std::size_t next = 0;
    const bool ended = std::find(words.begin(), words.end(), "--") != words.end();
    for (const std::string& argument : o.arguments) {
        while (next < words.size() && words[next] != argument) ++next;
        FUZZ_CHECK(next < words.size());
        ++next;
        FUZZ_CHECK(ended || (argument != "-o" && argument != "--time" && argument != "--png"));
    }
    if (o.hostVersion) {
        bool found = false;
        for (std::size_t i = 0; i + 1 < words.size(); ++i)
            if (words[i] == "--host-version" && Tools::parseHex32(words[i + 1]) == o.hostVersion)
                found = true;
        FUZZ_CHECK(found);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = input.find('\n', start);
        lines.push_back(
            input.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (lines.size() > 64) lines.resize(64);
    const std::vector<std::string> words(lines.begin() + 1, lines.end());

    try {
        const StandIn::Signature sig = StandIn::parseRegistrationSignature(lines[0]);
        for (std::size_t i = 0; i < sig.params.size() && i < words.size(); ++i)
            CheckArgument(sig.params[i], words[i]);
    } catch (const StandIn::SignatureError&) {
    }
    for (const std::string& word : words) {
        for (Range range : kRanges) CheckInteger(word, range);
        CheckReals(word);
        FUZZ_CHECK(Tools::parseBoolean(word) == ReferenceBoolean(word));
        FUZZ_CHECK(Tools::parseHex32(word) == ReferenceHex32(word));
    }
    CheckCommandLine(words);
    return 0;
}
