// Failures inside the module travel as exceptions until the edge where the host called in.
//
//  - vorna_exception: a failure the module detected itself, an error code with a datum;
//  - qzplugin_exception: a failure the host reported, carrying the host's own Throwable.
//
// Module code raises its own errors only through the free functions below (ThrowMessage,
// ThrowErrorMessage, ThrowOutOfMemory, RaiseError, ReportAssertion), so that the installed error
// manager decides the exception and its text. At the edges where the host called in, one ladder
// (errors/EdgeGuard.h) turns whatever was thrown into what the host understands;
// ExceptionToHostError and ExceptionToErrorCode give its answers for an exception object.
#pragma once

#include <cstdint>
#include <exception>

#include "hostcall/References.h"
#include "shell/Boundary.h"

namespace Vorna {

// The error codes (kErrorTextCopied, kErrorText, kErrorOutOfMemory) are the host's:
// shell/Boundary.h.

// Sizes of the module-wide text buffers; texts are cut to one less than these.
constexpr std::size_t kErrorTextBufferSize = 256;
constexpr std::size_t kHostMessageBufferSize = 1024;

class vorna_exception : public std::exception {
  public:
    vorna_exception(std::int32_t code, ErrorDatum data) noexcept : fCode(code), fData(data) {}
    ~vorna_exception() override = default;
    // The current error manager's text for the code, at most 254 characters, in a buffer that
    // stays valid until the next call.
    const char* what() const noexcept override;
    void GetError(std::int32_t& code, ErrorDatum& data) const {
        code = fCode;
        data = fData;
    }

    std::int32_t fCode;
    ErrorDatum fData;
};

namespace PlugIn {

class qzplugin_exception : public std::exception {
  public:
    // No Throwable: the host reported nothing (for instance before it linked).
    qzplugin_exception() noexcept = default;
    // Takes over a Throwable reference the caller owns.
    qzplugin_exception(Handle throwable, AdoptTag) noexcept : fThrowable(throwable, kAdopt) {}
    // Adds a reference of its own.
    explicit qzplugin_exception(Handle throwable) : fThrowable(throwable) {}
    ~qzplugin_exception() override = default;
    // The host's message for the Throwable, at most 1023 characters; empty without one.
    const char* what() const noexcept override;

    Throwable fThrowable;
};

}  // namespace PlugIn

// Decides how errors are raised, warned about, shown and put into words.
class ErrorManager {
  public:
    virtual void RaiseError(std::int32_t code, ErrorDatum datum);  // throws vorna_exception
    virtual void ReportWarning(std::int32_t code, ErrorDatum datum);
    virtual void ShowErrorAlert(std::int32_t code, ErrorDatum datum, std::int32_t alertKind);
    // Writes at most bufferSize - 1 characters and a NUL; answers the length written, or the
    // full length when buffer is null or bufferSize 0.
    virtual std::uint32_t GetErrorString(std::int32_t code, ErrorDatum datum, char* buffer,
                                         std::uint32_t bufferSize);
};

namespace PlugIn {

// The manager installed while the module is loaded: texts and alerts come from the host.
class PlugInErrorManager : public ErrorManager {
  public:
    void RaiseError(std::int32_t code, ErrorDatum datum) override;
    void ShowErrorAlert(std::int32_t code, ErrorDatum datum, std::int32_t alertKind) override;
    std::uint32_t GetErrorString(std::int32_t code, ErrorDatum datum, char* buffer,
                                 std::uint32_t bufferSize) override;
};

}  // namespace PlugIn

// Makes `manager` current (null allowed) and answers the one that was current.
ErrorManager* SetErrorManager(ErrorManager* manager);

// The current manager's operations; with none installed, those of a plain ErrorManager.
[[noreturn]] void RaiseError(std::int32_t code, ErrorDatum datum);
void ReportWarning(std::int32_t code, ErrorDatum datum);
void ShowErrorAlert(std::int32_t code, ErrorDatum datum, std::int32_t alertKind);
std::uint32_t GetErrorString(std::int32_t code, ErrorDatum datum, char* buffer,
                             std::uint32_t bufferSize);

// Severity 0 or 1 raises, 2 warns, anything else does nothing.
void HandleError(std::int32_t code, ErrorDatum datum, std::int32_t severity);

// Raises kErrorTextCopied with a copy of text cut to 255 characters.
[[noreturn]] void ThrowMessage(const char* text);
// Raises kErrorText with the caller's own text, which must outlive the exception.
[[noreturn]] void ThrowErrorMessage(const char* text);
[[noreturn]] void ThrowOutOfMemory();

// Reports a failed invariant: "File "<file>", Line <line>: Assertion "<condition>" Failed!".
// Severity 0 or 1 raises kErrorText, 2 warns; answers false.
bool ReportAssertion(const char* file, int line, const char* condition, std::int32_t severity);

// True for a vorna_exception with code -128.
bool IsUserAbort(const std::exception& e);

// Any exception as a code and datum, as the edges report it (errors/EdgeGuard.h): texts are cut
// to 255 characters, std::bad_alloc is kErrorOutOfMemory.
void ExceptionToErrorCode(const std::exception& e, std::int32_t& code, ErrorDatum& datum);

// Any exception as a host Throwable; the caller owns one reference to the answer.
Handle ExceptionToHostError(const std::exception& e);

// The runtime's new-handler while the module is loaded: exhausted memory raises
// kErrorOutOfMemory with datum 14.
void OutOfMemoryHandler();

}  // namespace Vorna
