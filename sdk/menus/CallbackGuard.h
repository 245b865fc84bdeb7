// The edge between the host and the functions of a callback record: whatever the work throws is
// stored in the host's error record, and nothing is thrown back into the host.
#pragma once

#include <exception>

#include "errors/Exceptions.h"
#include "shell/HostInterfaces.h"

namespace Vorna {
namespace PlugIn {

inline void StoreError(HostErrorRecord* error, std::int32_t code, ErrorDatum datum) noexcept {
    if (!error) return;
    error->code = code;
    error->datum = datum;
}

// Runs `work`; answers true when it returned. A std::exception reaches the host as
// ExceptionToErrorCode makes it; anything else as the unspecified kErrorText (null datum), as
// the entry guard reports it.
template <class Work>
bool RunReportingTo(HostErrorRecord* error, Work&& work) noexcept {
    try {
        work();
        return true;
    } catch (const std::exception& e) {
        try {
            std::int32_t code = 0;
            ErrorDatum datum = 0;
            ExceptionToErrorCode(e, code, datum);
            StoreError(error, code, datum);
        } catch (...) {
            StoreError(error, kErrorText, 0);
        }
    } catch (...) {
        StoreError(error, kErrorText, 0);
    }
    return false;
}

}  // namespace PlugIn
}  // namespace Vorna
