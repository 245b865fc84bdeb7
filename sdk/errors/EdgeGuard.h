// The edges where the host calls into the module: whatever escapes the work there becomes the
// host's error form, and nothing is thrown back into the host.
//
// One ladder tells the exceptions apart (CurrentEdgeError, in this order):
//   the host's own error (qzplugin_exception)  handed back as the very Throwable the host made;
//   the module's error (vorna_exception)       its code and datum;
//   std::bad_alloc                             kErrorOutOfMemory with kOutOfMemoryDatum, as the
//                                              out-of-memory handler raises it;
//   any other std::exception                   kErrorTextCopied with a copy of its what() text;
//   anything else                              kErrorText with a null datum.
// Two edges use it:
//   RunGuarded (shell/PlugInMain.h), around exports and registered script functions: the error is
//     raised in the host through the entry's call context;
//   RunReportingTo, around the functions of callback records: the error goes into the host's
//     error record (the host's own error as its message text).
#pragma once

#include <cstdint>
#include <utility>

#include "errors/Exceptions.h"
#include "shell/Boundary.h"

namespace Vorna {

// What an edge reports for a failure.
struct EdgeError {
    // Which step of the ladder caught it.
    enum class Source { Host, Module, OutOfMemory, Standard, Unknown };
    Source source;
    // The host's own error (source Host); the exception lives while the error is reported.
    const PlugIn::qzplugin_exception* hostError;
    std::int32_t code;
    ErrorDatum datum;
};

// The failure being handled, through the ladder above. Call it only inside a catch block.
EdgeError CurrentEdgeError() noexcept;

// Runs `work`; answers true when it returned. Otherwise hands the failure to `report`, which is
// called inside the handler, and answers false.
template <class Work, class Report>
bool RunCatching(Work&& work, Report&& report) noexcept {
    try {
        std::forward<Work>(work)();
        return true;
    } catch (...) {
        report(CurrentEdgeError());
        return false;
    }
}

// The error as a Throwable carrying one count for the caller: the host's own Throwable with one
// more count, or a new one for the code and datum, made through a call context of its own
// (0 when the host gives none).
Handle EdgeErrorToThrowable(const EdgeError& error) noexcept;

// The error as a code and datum: the host's own error as its message, cut to 255 characters.
void EdgeErrorToCode(const EdgeError& error, std::int32_t& code, ErrorDatum& datum) noexcept;

namespace PlugIn {

// The callback-record edge: runs `work`, answers true when it returned; otherwise stores the
// failure in the host's error record (when there is one) and answers false.
template <class Work>
bool RunReportingTo(HostErrorRecord* record, Work&& work) noexcept {
    return RunCatching(std::forward<Work>(work), [record](const EdgeError& error) noexcept {
        std::int32_t code = 0;
        ErrorDatum datum = 0;
        EdgeErrorToCode(error, code, datum);
        if (record) *record = {code, datum};
    });
}

}  // namespace PlugIn
}  // namespace Vorna
