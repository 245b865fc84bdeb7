#include "errors/Exceptions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <typeinfo>

#include "errors/EdgeGuard.h"
#include "shell/PlugInMain.h"

namespace Vorna {
namespace {

const FrameworkUnitUsers sUsers;

ErrorManager* sErrorManager = nullptr;

// Module-wide text buffers: each text stays valid until the buffer's next use.
char sAssertionText[kErrorTextBufferSize];
char sRaisedMessage[kErrorTextBufferSize];
char sExceptionText[kErrorTextBufferSize];
char sNumberedMessage[kErrorTextBufferSize];
char sAlertText[kErrorTextBufferSize];
char sHostMessage[kHostMessageBufferSize];

// Copies at most n characters of text and a NUL at the end of the n + 1 byte buffer.
void CopyCut(char* buffer, const char* text, std::size_t n) {
    std::size_t length = 0;
    while (length < n && text[length] != '\0') ++length;
    std::memcpy(buffer, text, length);
    std::memset(buffer + length, 0, n + 1 - length);
}

// Runs `op` on the current manager, or on a plain one when none is installed.
template <class Op>
auto WithManager(Op op) {
    if (sErrorManager) return op(*sErrorManager);
    ErrorManager plain;
    return op(plain);
}

bool IsTextCode(std::int32_t code) { return code == kErrorTextCopied || code == kErrorText; }

}  // namespace

// ---- Exceptions ------------------------------------------------------------------------------

const char* vorna_exception::what() const noexcept {
    std::uint32_t n = GetErrorString(fCode, fData, sExceptionText, kErrorTextBufferSize - 1);
    sExceptionText[n] = '\0';
    return sExceptionText;
}

const char* PlugIn::qzplugin_exception::what() const noexcept {
    sHostMessage[0] = '\0';
    if (!fThrowable) return sHostMessage;
    EnvironmentScope scope;
    if (!scope.HasContext()) return sHostMessage;
    HostCallContext* context = scope.Context();
    qz_string message(context->table->throwableMessage(context, fThrowable.get()), kAdopt);
    std::uint32_t n = message.CopyText(kEncodingNarrow, sHostMessage, kHostMessageBufferSize - 1);
    sHostMessage[n] = '\0';
    return sHostMessage;
}

// ---- Managers --------------------------------------------------------------------------------

void ErrorManager::RaiseError(std::int32_t code, ErrorDatum datum) {
    throw vorna_exception(code, datum);
}

void ErrorManager::ReportWarning(std::int32_t, ErrorDatum) {}

void ErrorManager::ShowErrorAlert(std::int32_t, ErrorDatum, std::int32_t) {}

std::uint32_t ErrorManager::GetErrorString(std::int32_t code, ErrorDatum datum, char* buffer,
                                           std::uint32_t bufferSize) {
    const char* text;
    if (IsTextCode(code)) {
        text = datum ? reinterpret_cast<const char*>(datum) : "An unspecified error has occurred.";
    } else {
        std::snprintf(sNumberedMessage, sizeof sNumberedMessage, "An error (%d,%lld) has occurred.",
                      static_cast<int>(code), static_cast<long long>(datum));
        text = sNumberedMessage;
    }
    auto n = static_cast<std::uint32_t>(std::strlen(text));
    if (!buffer || bufferSize == 0) return n;
    n = std::min(n, bufferSize - 1);
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return n;
}

void PlugIn::PlugInErrorManager::RaiseError(std::int32_t code, ErrorDatum datum) {
    throw vorna_exception(code, datum);
}

void PlugIn::PlugInErrorManager::ShowErrorAlert(std::int32_t code, ErrorDatum datum,
                                                std::int32_t alertKind) {
    GetErrorString(code, datum, sAlertText, kErrorTextBufferSize);
    PlugInMain::GetCallbacks().show_alert(sAlertText, alertKind);
}

std::uint32_t PlugIn::PlugInErrorManager::GetErrorString(std::int32_t code, ErrorDatum datum,
                                                         char* buffer, std::uint32_t bufferSize) {
    EnvironmentScope scope;
    if (!scope.HasContext()) return 0;
    HostCallContext* context = scope.Context();
    Throwable throwable(context->table->newThrowable(context, code, datum), kAdopt);
    qz_string message(context->table->throwableMessage(context, throwable.get()), kAdopt);
    if (!buffer || bufferSize == 0) return message.CopyText(kEncodingNarrow, nullptr, 0);
    std::uint32_t n = message.CopyText(kEncodingNarrow, buffer, bufferSize - 1);
    buffer[n] = '\0';
    return n;
}

ErrorManager* SetErrorManager(ErrorManager* manager) {
    ErrorManager* previous = sErrorManager;
    sErrorManager = manager;
    return previous;
}

// ---- Free functions --------------------------------------------------------------------------

void RaiseError(std::int32_t code, ErrorDatum datum) {
    WithManager([&](ErrorManager& m) { m.RaiseError(code, datum); });
    // A manager whose RaiseError returns would leave the caller running on; raise plainly.
    throw vorna_exception(code, datum);
}

void ReportWarning(std::int32_t code, ErrorDatum datum) {
    WithManager([&](ErrorManager& m) { m.ReportWarning(code, datum); });
}

void ShowErrorAlert(std::int32_t code, ErrorDatum datum, std::int32_t alertKind) {
    WithManager([&](ErrorManager& m) { m.ShowErrorAlert(code, datum, alertKind); });
}

std::uint32_t GetErrorString(std::int32_t code, ErrorDatum datum, char* buffer,
                             std::uint32_t bufferSize) {
    return WithManager(
        [&](ErrorManager& m) { return m.GetErrorString(code, datum, buffer, bufferSize); });
}

void HandleError(std::int32_t code, ErrorDatum datum, std::int32_t severity) {
    if (severity == 0 || severity == 1)
        RaiseError(code, datum);
    else if (severity == 2)
        ReportWarning(code, datum);
}

void ThrowMessage(const char* text) {
    CopyCut(sRaisedMessage, text, kErrorTextBufferSize - 1);
    RaiseError(kErrorTextCopied, reinterpret_cast<ErrorDatum>(sRaisedMessage));
}

void ThrowErrorMessage(const char* text) {
    RaiseError(kErrorText, reinterpret_cast<ErrorDatum>(text));
}

void ThrowOutOfMemory() { RaiseError(kErrorOutOfMemory, kOutOfMemoryDatum); }

bool ReportAssertion(const char* file, int line, const char* condition, std::int32_t severity) {
    std::snprintf(sAssertionText, sizeof sAssertionText,
                  "File \"%s\", Line %d: Assertion \"%s\" Failed!", file, line, condition);
    HandleError(kErrorText, reinterpret_cast<ErrorDatum>(sAssertionText), severity);
    return false;
}

bool IsUserAbort(const std::exception& e) {
    auto* ve = dynamic_cast<const vorna_exception*>(&e);
    return ve && ve->fCode == -128;
}

// ---- The edges' ladder ------------------------------------------------------------------------

namespace {

ErrorDatum CopyExceptionText(const char* text) {
    CopyCut(sExceptionText, text, kErrorTextBufferSize - 1);
    return reinterpret_cast<ErrorDatum>(sExceptionText);
}

// The ladder's answer for an exception held as a std::exception outside its handler, for the
// conversions below; the edges use CurrentEdgeError itself.
EdgeError EdgeErrorOf(const std::exception& e) {
    using Source = EdgeError::Source;
    if (auto* host = dynamic_cast<const PlugIn::qzplugin_exception*>(&e))
        return {Source::Host, host, kErrorTextCopied, 0};
    if (auto* own = dynamic_cast<const vorna_exception*>(&e))
        return {Source::Module, nullptr, own->fCode, own->fData};
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return {Source::OutOfMemory, nullptr, kErrorOutOfMemory, kOutOfMemoryDatum};
    return {Source::Standard, nullptr, kErrorTextCopied, CopyExceptionText(e.what())};
}

}  // namespace

EdgeError CurrentEdgeError() noexcept {
    using Source = EdgeError::Source;
    try {
        throw;
    } catch (const PlugIn::qzplugin_exception& e) {
        return {Source::Host, &e, kErrorTextCopied, 0};
    } catch (const vorna_exception& e) {
        return {Source::Module, nullptr, e.fCode, e.fData};
    } catch (const std::bad_alloc&) {
        return {Source::OutOfMemory, nullptr, kErrorOutOfMemory, kOutOfMemoryDatum};
    } catch (const std::exception& e) {
        return {Source::Standard, nullptr, kErrorTextCopied, CopyExceptionText(e.what())};
    } catch (...) {
        return {Source::Unknown, nullptr, kErrorText, 0};
    }
}

Handle EdgeErrorToThrowable(const EdgeError& error) noexcept {
    if (error.hostError) return Throwable(error.hostError->fThrowable).release();
    EnvironmentScope scope;
    if (!scope.HasContext()) return 0;
    HostCallContext* context = scope.Context();
    return context->table->newThrowable(context, error.code, error.datum);
}

void EdgeErrorToCode(const EdgeError& error, std::int32_t& code, ErrorDatum& datum) noexcept {
    code = error.code;
    datum = error.hostError ? CopyExceptionText(error.hostError->what()) : error.datum;
}

void ExceptionToErrorCode(const std::exception& e, std::int32_t& code, ErrorDatum& datum) {
    EdgeErrorToCode(EdgeErrorOf(e), code, datum);
}

Handle ExceptionToHostError(const std::exception& e) {
    return EdgeErrorToThrowable(EdgeErrorOf(e));
}

void OutOfMemoryHandler() { ThrowOutOfMemory(); }

}  // namespace Vorna
