// The stand-in host's signature parsers on arbitrary text.
//
// Beyond "no crash, no exception other than SignatureError", every text the strict parser accepts
// must be the one spelling of what was parsed: writing the parsed signature back in its own form
// gives the text again. The form-checking overload must agree with the form found, and the record
// layout must fit the 16-byte argument records. The parser of registrations must agree with the
// strict one wherever that accepts, and otherwise differ from the compact spelling of what it
// parsed in spaces only, which the strict parser then accepts as the same signature.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "FuzzCheck.h"
#include "Signature.h"

namespace {

using StandIn::Param;
using StandIn::Signature;
using StandIn::SignatureStyle;

std::string Written(const Signature& sig) {
    std::string text = sig.result.type + " ";
    if (sig.style == SignatureStyle::Compact) {
        text += sig.name + "(";
        for (std::size_t i = 0; i < sig.params.size(); ++i)
            text += (i ? "," : "") + sig.params[i].spelling();
        return text + ")";
    }
    if (sig.style == SignatureStyle::Catalogue) {
        if (sig.params.empty()) return text + sig.name + "(  )";
        text += sig.name + "( ";
        for (std::size_t i = 0; i < sig.params.size(); ++i)
            text += (i ? ", " : "") + sig.params[i].spelling();
        return text + " )";
    }
    // Named: a "void *" result is written against the name, and a trailing "..." stands for the
    // expansion of the last parameter.
    if (sig.result.pointer) text += "*";
    text += sig.name + "( ";
    std::size_t written = sig.params.size();
    if (sig.variadic) {
        FUZZ_CHECK(written >= StandIn::kVariadicExpansion);
        written -= StandIn::kVariadicExpansion - 1;
    }
    for (std::size_t i = 0; i < written; ++i) {
        const Param& p = sig.params[i];
        text += (i ? ", " : "") + p.type + (p.pointer ? " *" : " ") + p.name;
    }
    if (sig.variadic) text += "...";
    return text + " )";
}

std::string WithoutSpaces(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != ' ') out += c;
    }
    return out;
}

// A registration the strict parser refused.
void CheckKindReading(const std::string& text) {
    Signature sig;
    try {
        sig = StandIn::parseRegistrationSignature(text);
    } catch (const StandIn::SignatureError&) {
        return;
    }
    FUZZ_CHECK(sig.text == text);
    FUZZ_CHECK(sig.style == SignatureStyle::Compact);
    const std::string compact = Written(sig);
    FUZZ_CHECK(WithoutSpaces(compact) == WithoutSpaces(text));
    const Signature strict = StandIn::parseSignature(compact);
    FUZZ_CHECK(Written(strict) == compact);
    FUZZ_CHECK(strict.recordCount() == sig.recordCount());
    for (std::size_t r = 0; r < sig.recordCount(); ++r)
        FUZZ_CHECK(strict.recordWidth(r) == sig.recordWidth(r));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Signature sig;
    try {
        sig = StandIn::parseSignature(text);
    } catch (const StandIn::SignatureError&) {
        CheckKindReading(text);
        return 0;
    }
    FUZZ_CHECK(Written(StandIn::parseRegistrationSignature(text)) == text);
    FUZZ_CHECK(sig.text == text);
    FUZZ_CHECK(!sig.name.empty());
    FUZZ_CHECK(Written(sig) == text);

    for (SignatureStyle style :
         {SignatureStyle::Catalogue, SignatureStyle::Compact, SignatureStyle::Named}) {
        bool accepted = true;
        try {
            StandIn::parseSignature(text, style);
        } catch (const StandIn::SignatureError&) {
            accepted = false;
        }
        FUZZ_CHECK(accepted == (style == sig.style));
    }

    const std::size_t records = sig.recordCount();
    FUZZ_CHECK(records == sig.params.size() + (sig.hasResult() ? 1 : 0));
    for (std::size_t r = 0; r < records; ++r) {
        const std::size_t width = sig.recordWidth(r);
        FUZZ_CHECK(width <= 16);
        const Param* p = sig.paramOfRecord(r);
        FUZZ_CHECK((p == nullptr) == (sig.hasResult() && r == 0));
        if (p) FUZZ_CHECK(width > 0);
    }
    bool beyond = false;
    try {
        sig.paramOfRecord(records);
    } catch (const std::out_of_range&) {
        beyond = true;
    }
    FUZZ_CHECK(beyond);
    return 0;
}
