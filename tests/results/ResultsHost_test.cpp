// The module-wide results stream writing into the stand-in host's results window: the pieces
// arrive in order as host strings, a refused "void Result( qz_string )" keeps the text for the
// next flush, and every string made for a piece is given back.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "LinkedHost.h"
#include "errors/ResultsStream.h"

namespace {

using TestSupport::LinkedHostTest;
using Vorna::PlugIn::results;

constexpr const char* kResult = "void Result( qz_string )";

class ResultsHostTest : public LinkedHostTest {
  protected:
    void SetUp() override {
        LinkedHostTest::SetUp();
        fFirst = host().results().size();
        fCalls = host().callCount(kResult);
    }
    void TearDown() override {
        results.clear();
        LinkedHostTest::TearDown();
    }
    // Pieces received since the test began.
    std::vector<std::string> pieces() const {
        const auto& all = TestSupport::TheHost().results();
        return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(fFirst),
                                        all.end());
    }
    int calls() { return host().callCount(kResult) - fCalls; }

  private:
    std::size_t fFirst = 0;
    int fCalls = 0;
};

TEST_F(ResultsHostTest, PiecesArriveInOrderAtTheBufferBoundaries) {
    std::string text;
    for (int i = 0; i < 600; ++i) text += static_cast<char>('A' + i % 26);
    for (char c : text) results << c;
    EXPECT_EQ(2, calls()) << "two full buffers went on their own";
    results << std::flush;
    ASSERT_EQ(3u, pieces().size());
    EXPECT_EQ(255u, pieces()[0].size());
    EXPECT_EQ(255u, pieces()[1].size());
    EXPECT_EQ(90u, pieces()[2].size());
    EXPECT_EQ(text, pieces()[0] + pieces()[1] + pieces()[2]);
}

TEST_F(ResultsHostTest, OverlongWriteArrivesWholeAfterAnEmptyPiece) {
    const std::string text(1000, 'x');
    results << text;
    ASSERT_EQ(2u, pieces().size());
    EXPECT_EQ("", pieces()[0]);
    EXPECT_EQ(text, pieces()[1]);
    results << std::flush;
    EXPECT_EQ(2, calls());
}

TEST_F(ResultsHostTest, RefusedPieceIsSentWithTheNextFlush) {
    results << "first line\n";
    host().injectFault(kResult, StandIn::Fault::failure("The results window is closed."));
    results << std::flush;
    EXPECT_TRUE(results.bad());
    EXPECT_TRUE(pieces().empty());

    results.clear();
    results << "second line" << std::endl;
    EXPECT_TRUE(results.good());
    ASSERT_EQ(1u, pieces().size());
    EXPECT_EQ("first line\nsecond line\n", pieces()[0]);
}

}  // namespace
