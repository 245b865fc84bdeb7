// Typed access to the argument records of one native call.
#include "NativeCall.h"

namespace StandIn {

NativeCall::NativeCall(Host& host, const Signature& signature, Vorna::ScriptArgRecord* records)
    : fHost(host), fSignature(signature), fRecords(records) {}

unsigned char* NativeCall::record(std::size_t i, std::size_t width) const {
    if (i >= fSignature.params.size()) {
        throw std::logic_error("parameter " + std::to_string(i) + " out of range for " +
                               fSignature.text);
    }
    const Param& p = fSignature.params[i];
    if (width > p.width) {
        throw std::logic_error("reading " + std::to_string(width) + " bytes from the " +
                               std::to_string(p.width) + "-byte record of parameter " +
                               std::to_string(i) + " of " + fSignature.text);
    }
    std::size_t index = i + (fSignature.hasResult() ? 1 : 0);
    return fRecords[index].bytes;
}

void NativeCall::checkResultWidth(std::size_t width) const {
    if (!fSignature.hasResult()) throw std::logic_error("no result record in " + fSignature.text);
    if (width > fSignature.result.width) {
        throw std::logic_error("writing " + std::to_string(width) + " bytes into the " +
                               std::to_string(fSignature.result.width) + "-byte result of " +
                               fSignature.text);
    }
}

const char* NativeCall::text(std::size_t i) const {
    const char* p = static_cast<const char*>(pointer(i));
    if (!p) throw ScriptError("A null string was passed to " + fSignature.name + ".");
    return p;
}

Vorna::Handle NativeCall::handle(std::size_t i) const {
    const Param& p = fSignature.params.at(i);
    if (p.width == sizeof(Vorna::Handle)) return read<Vorna::Handle>(i);
    return static_cast<Vorna::Handle>(read<std::uintptr_t>(i));
}

void NativeCall::fail(const std::string& message, std::int32_t status) {
    fFailed = true;
    fStatus = status == Vorna::kCallSucceeded ? 1 : status;
    fFailureMessage = message;
}

}  // namespace StandIn
