// The module's standard output stream onto the host's results window.
//
//     Vorna::PlugIn::results << "Mean: " << mean << std::endl;
//
// Text collects in a 255-character buffer and reaches the host ("void Result( qz_string )") in
// pieces: on flush (std::flush, std::endl), when the buffer is full, or whole when one write is
// longer than the buffer can hold. Newlines are ordinary characters and send nothing by
// themselves. Text still pending when the module unloads is not sent.
//
// A hand-over the host refuses is reported through the stream's state (badbit after a flush) and
// the text stays pending; clear() the stream and flush again to send it.
#pragma once

#include <cstddef>
#include <ostream>
#include <streambuf>

namespace Vorna {
namespace PlugIn {

class ResultsStreamBuff : public std::streambuf {
  public:
    static constexpr std::size_t kBufferSize = 256;

    ResultsStreamBuff();
    // Does not flush: pending text is dropped.
    ~ResultsStreamBuff() override;
    ResultsStreamBuff(const ResultsStreamBuff&) = delete;
    ResultsStreamBuff& operator=(const ResultsStreamBuff&) = delete;

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char_type* text, std::streamsize n) override;
    // Hands the pending text to the host: 0 on success or when nothing is pending, -1 when the
    // host refused it (the text then stays pending).
    int sync() override;

  private:
    // Makes the whole put area available again: nothing pending.
    void Reset();
    std::size_t Pending() const { return static_cast<std::size_t>(pptr() - pbase()); }
    // Terminates the pending text and sends it; throws what the host reports.
    void SendPending();

    // The put area is all but the last char, which is kept for the NUL written behind the
    // pending text before each hand-over.
    char fBuffer[kBufferSize];
    std::size_t fBufferSize;
};

// The module-wide results stream.
extern std::ostream results;

}  // namespace PlugIn
}  // namespace Vorna
