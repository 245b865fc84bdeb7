// Faults the host can be told to inject into calls of its native script functions.
#pragma once

#include <cstdint>
#include <string>

namespace StandIn {

// One planned fault for one signature. Calls of that signature are counted from the moment the
// fault is injected; the fault fires on call number `onCall` (1 = the next call) and, when
// `everyCall` is set, on every call after that too.
struct Fault {
    enum class Kind {
        Stale,  // answer status 3 (the function handle is stale), without running the function
        Fail,   // answer `status` with a pending Throwable carrying `message`
    };
    Kind kind = Kind::Fail;
    std::int32_t status = 1;
    std::string message = "Injected failure.";
    unsigned onCall = 1;
    bool everyCall = false;

    static Fault stale() {
        Fault f;
        f.kind = Kind::Stale;
        f.status = 3;
        return f;
    }
    static Fault failure(std::string text, std::int32_t statusCode = 1) {
        Fault f;
        f.kind = Kind::Fail;
        f.status = statusCode;
        f.message = std::move(text);
        return f;
    }
    // Fire on the n-th call from now instead of the next one.
    Fault& onNthCall(unsigned n) {
        onCall = n;
        return *this;
    }
    // Keep firing on every call from the chosen one on.
    Fault& always() {
        everyCall = true;
        return *this;
    }
};

}  // namespace StandIn
