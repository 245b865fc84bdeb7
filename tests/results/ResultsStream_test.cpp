// The results stream buffer against a callbacks table whose `result` entry records every piece:
// when text leaves the buffer, in which pieces, from where, and what a refused hand-over leaves.
// No host is linked, so the framework takes its callbacks table from the provider set here.
#include "errors/ResultsStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "shell/PlugInMain.h"

namespace {

using Vorna::PlugIn::ResultsStreamBuff;

struct Piece {
    const char* text;      // where the bytes lay
    std::uint32_t length;  // what the stream said to send
    std::string bytes;     // the bytes themselves
    char behind;           // the byte behind them
};

std::vector<Piece> sPieces;
int sAttempts = 0;
std::set<int> sRefused;  // numbers of the hand-overs to refuse, counting from 1 in each test

void RecordResult(const char* text, std::uint32_t length) {
    if (sRefused.count(++sAttempts)) throw std::runtime_error("results window refused the text");
    sPieces.push_back({text, length, std::string(text, length), text[length]});
}

// Only the results entry is used here.
const Vorna::PlugIn::PlugInCallbacks* Provide() {
    static const Vorna::PlugIn::PlugInCallbacks table = [] {
        Vorna::PlugIn::PlugInCallbacks t{};
        t.result = RecordResult;
        return t;
    }();
    return &table;
}

// A buffer with the operations the stream calls, reachable directly.
class Buffer : public ResultsStreamBuff {
  public:
    using ResultsStreamBuff::overflow;
    using ResultsStreamBuff::xsputn;
    std::size_t pending() const { return static_cast<std::size_t>(pptr() - pbase()); }
};

class ResultsStreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Vorna::SetCallbacksProvider(Provide);
        sPieces.clear();
        sAttempts = 0;
        sRefused.clear();
    }
    Buffer buffer;
    std::ostream out{&buffer};
};

TEST_F(ResultsStreamTest, ShortTextWaitsForAFlushAndIsTerminatedInTheBuffer) {
    out << "0123456789";
    EXPECT_EQ(0, sAttempts) << "nothing leaves without a flush";
    out.flush();
    ASSERT_EQ(1u, sPieces.size());
    const char* bufferAddress = sPieces[0].text;

    out << "abc";
    out.flush();
    ASSERT_EQ(2u, sPieces.size());
    EXPECT_EQ("abc", sPieces[1].bytes);
    EXPECT_EQ(3u, sPieces[1].length);
    EXPECT_EQ(bufferAddress, sPieces[1].text) << "buffered text is sent from the buffer";
    EXPECT_EQ('\0', sPieces[1].behind) << "the '3' of the earlier text is overwritten";
    EXPECT_EQ(0u, buffer.pending());

    out.flush();
    EXPECT_EQ(2, sAttempts) << "nothing pending, no hand-over";
    EXPECT_TRUE(out.good());
}

TEST_F(ResultsStreamTest, FullBufferIsSentByTheNextChar) {
    for (int i = 0; i < 255; ++i) out.put(static_cast<char>('a' + i % 26));
    EXPECT_EQ(0, sAttempts) << "255 chars fit";
    EXPECT_EQ(255u, buffer.pending());
    out.put('!');
    ASSERT_EQ(1u, sPieces.size());
    EXPECT_EQ(255u, sPieces[0].length);
    EXPECT_EQ('\0', sPieces[0].behind) << "the reserved last byte takes the NUL";
    EXPECT_EQ(1u, buffer.pending()) << "the 256th char stays pending";
    out.flush();
    ASSERT_EQ(2u, sPieces.size());
    EXPECT_EQ("!", sPieces[1].bytes);
}

TEST_F(ResultsStreamTest, OverlongWriteGoesStraightFromTheCallersText) {
    for (std::size_t n : {256u, 300u}) {
        sPieces.clear();
        const std::string text(n, 'L');
        out.write(text.data(), static_cast<std::streamsize>(n));
        ASSERT_EQ(2u, sPieces.size()) << n;
        EXPECT_EQ(0u, sPieces[0].length) << "an empty piece first";
        EXPECT_EQ('\0', sPieces[0].behind);
        EXPECT_EQ(n, sPieces[1].length);
        EXPECT_EQ(text.data(), sPieces[1].text) << "not copied through the buffer";
        EXPECT_EQ(0u, buffer.pending());
    }
    out.flush();
    EXPECT_EQ(4, sAttempts) << "nothing pending afterwards";
}

TEST_F(ResultsStreamTest, WriteThatDoesNotFitBehindPendingTextFlushesFirst) {
    out << std::string(100, 'p');
    out << std::string(200, 'q');
    ASSERT_EQ(1u, sPieces.size());
    EXPECT_EQ(std::string(100, 'p'), sPieces[0].bytes);
    EXPECT_EQ(200u, buffer.pending());
    out.flush();
    ASSERT_EQ(2u, sPieces.size());
    EXPECT_EQ(std::string(200, 'q'), sPieces[1].bytes);
}

TEST_F(ResultsStreamTest, RefusedFlushKeepsTheTextAndMarksTheStream) {
    out << "kept";
    sRefused = {1};
    out.flush();
    EXPECT_TRUE(out.bad());
    EXPECT_TRUE(sPieces.empty());
    EXPECT_EQ(4u, buffer.pending());

    out.clear();
    out << " and more";
    out.flush();
    EXPECT_TRUE(out.good());
    ASSERT_EQ(1u, sPieces.size());
    EXPECT_EQ("kept and more", sPieces[0].bytes);
}

TEST_F(ResultsStreamTest, RefusedFlushOfAFullBufferFailsTheNextChar) {
    out << std::string(255, 'f');
    sRefused = {1};
    EXPECT_EQ(ResultsStreamBuff::traits_type::eof(), buffer.sputc('x'));
    EXPECT_EQ(255u, buffer.pending());
    EXPECT_EQ('y', buffer.sputc('y')) << "the next hand-over works";
    ASSERT_EQ(1u, sPieces.size());
    EXPECT_EQ(std::string(255, 'f'), sPieces[0].bytes);
    EXPECT_EQ(1u, buffer.pending());
}

TEST_F(ResultsStreamTest, RefusedFlushBeforeALongWriteIsRetriedOnTheOverlongPath) {
    out << std::string(100, 'a');
    sRefused = {1};
    const std::string text(200, 'b');
    EXPECT_EQ(200, buffer.xsputn(text.data(), 200));
    ASSERT_EQ(2u, sPieces.size());
    EXPECT_EQ(std::string(100, 'a'), sPieces[0].bytes) << "the kept text goes first";
    EXPECT_EQ(text.data(), sPieces[1].text) << "then the caller's text, unbuffered";
    EXPECT_EQ(0u, buffer.pending());
}

TEST_F(ResultsStreamTest, RefusedOverlongWriteReachesTheWriterThroughTheStream) {
    const std::string text(300, 'o');
    sRefused = {2, 4};
    out.write(text.data(), 300);
    EXPECT_TRUE(out.bad()) << "the stream's own handling catches it";
    ASSERT_EQ(1u, sPieces.size());
    EXPECT_EQ(0u, sPieces[0].length);
    out.clear();
    out.flush();
    EXPECT_EQ(2, sAttempts) << "the empty piece is not sent twice";

    out.exceptions(std::ios::badbit);
    EXPECT_THROW(out.write(text.data(), 300), std::runtime_error) << "the host's own failure";
    out.exceptions(std::ios::goodbit);
    out.clear();
}

TEST_F(ResultsStreamTest, EndOfFileIsNoChar) {
    out << "z";
    EXPECT_EQ(ResultsStreamBuff::traits_type::eof(),
              buffer.overflow(ResultsStreamBuff::traits_type::eof()));
    EXPECT_EQ(1u, buffer.pending());
    EXPECT_EQ(0, sAttempts);
}

TEST_F(ResultsStreamTest, DestructionDoesNotFlush) {
    {
        Buffer local;
        std::ostream stream(&local);
        stream << "never sent";
    }
    EXPECT_EQ(0, sAttempts);
}

TEST_F(ResultsStreamTest, ModuleWideStreamUsesTheSameRules) {
    Vorna::PlugIn::results << "value " << 42;
    EXPECT_EQ(0, sAttempts);
    Vorna::PlugIn::results << std::endl;
    ASSERT_EQ(1u, sPieces.size());
    EXPECT_EQ("value 42\n", sPieces[0].bytes);
}

}  // namespace
