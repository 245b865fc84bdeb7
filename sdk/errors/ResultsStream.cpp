// The results stream: a buffer of 255 pending chars in front of the host's results window.
#include "errors/ResultsStream.h"

#include <cstring>

#include "hostcall/References.h"
#include "shell/PlugInMain.h"

namespace Vorna {
namespace PlugIn {
namespace {

const FrameworkUnitUsers sUsers;

void HandOver(const char* text, std::size_t length) {
    PlugInMain::GetCallbacks().result(text, static_cast<std::uint32_t>(length));
}

}  // namespace

ResultsStreamBuff::ResultsStreamBuff() : fBuffer{}, fBufferSize(kBufferSize) { Reset(); }

ResultsStreamBuff::~ResultsStreamBuff() = default;

void ResultsStreamBuff::Reset() { setp(fBuffer, fBuffer + fBufferSize - 1); }

void ResultsStreamBuff::SendPending() {
    *pptr() = '\0';
    HandOver(fBuffer, Pending());
}

int ResultsStreamBuff::sync() {
    if (Pending() == 0) return 0;
    try {
        SendPending();
        Reset();
    } catch (...) {
        // The host refused the text: keep it for the next flush and let the stream go bad.
        return -1;
    }
    return 0;
}

ResultsStreamBuff::int_type ResultsStreamBuff::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::eof();
    if (pptr() == epptr()) sync();
    if (pptr() == epptr()) return traits_type::eof();
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

std::streamsize ResultsStreamBuff::xsputn(const char_type* text, std::streamsize n) {
    if (n <= 0) return 0;
    if (epptr() - pptr() < n) sync();
    if (epptr() - pptr() >= n) {
        std::memcpy(pptr(), text, static_cast<std::size_t>(n));
        pbump(static_cast<int>(n));
        return n;
    }
    // Longer than the whole put area: whatever is pending first (normally nothing, so the host
    // gets an empty piece), then the caller's text straight from where it lies. The buffer is
    // emptied as soon as its piece is out, so a refusal of the second piece cannot send the
    // first one twice. Failures here leave through the stream's own handling.
    SendPending();
    Reset();
    HandOver(text, static_cast<std::size_t>(n));
    return n;
}

// Both module-wide objects live in this unit: the buffer is constructed before the stream and
// destroyed after it. Neither destruction flushes.
namespace {
ResultsStreamBuff sResultsStreamBuff;
}  // namespace

std::ostream results(&sResultsStreamBuff);

}  // namespace PlugIn
}  // namespace Vorna
