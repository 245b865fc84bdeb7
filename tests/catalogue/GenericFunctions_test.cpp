// The stand-in host's generic functions: what they log and answer, and that the host's real
// functions keep their behaviour beside them.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "SweepSupport.h"

namespace CatalogueTest {
namespace {

using namespace Vorna;

class RealAndGeneric : public TestSupport::LinkedHostTest {};

TEST_F(RealAndGeneric, RealFunctionsKeepTheirBehaviourAndTheRestAnswerGenerically) {
    // One real function is taken away for the test, to be answered generically in its place.
    const std::string cloneRow = "ImageRef ImageClone( ImageRef )";
    StandIn::NativeHandler realClone = host().handlerOf(cloneRow);
    host().undefine(cloneRow);
    auto log = StandIn::defineGenericFunctions(host(), CatalogueSignatures());
    const std::vector<std::string>& defined = log->defined();
    auto isGeneric = [&defined](const std::string& signature) {
        return std::find(defined.begin(), defined.end(), signature) != defined.end();
    };
    EXPECT_FALSE(isGeneric("RealImagePtr CreateFloatImage( string, long, long )"));
    EXPECT_FALSE(isGeneric("void ShowAlert( string, long )"));
    EXPECT_FALSE(isGeneric("void Result( qz_string )"));
    EXPECT_FALSE(isGeneric("void *ImageLockData( Image *im, uint32 lock_flags )"));
    EXPECT_TRUE(isGeneric("void Beep(  )"));
    EXPECT_TRUE(isGeneric(cloneRow));
    EXPECT_LT(defined.size(), QZ::kCatalogueSize);

    ImageRef made = QZ::CreateFloatImage("made", 3, 2);
    StandIn::ImageInfo info = host().image(made.get());
    EXPECT_EQ(info.sizes, (std::vector<std::uint32_t>{3, 2}));
    EXPECT_EQ(info.name, "made");
    EXPECT_EQ(QZ::ImageGetDimensionSize(made, 0), 3u) << "a real answer, not a generic one";
    QZ::ShowAlert("real alert", 1);
    ASSERT_FALSE(host().alerts().empty());
    EXPECT_EQ(host().alerts().back().text, "real alert");
    EXPECT_EQ(log->callCount(), 0u);

    QZ::Beep();
    EXPECT_EQ(log->callCount(), 1u);
    ImageRef clone = QZ::ImageClone(made);
    EXPECT_EQ(log->callCount(), 2u);
    EXPECT_EQ(log->lastCall().params[0].handle, made.get());
    EXPECT_TRUE(log->lastCall().params[0].validObject);
    info = host().image(clone.get());
    EXPECT_EQ(info.sizes, (std::vector<std::uint32_t>{1, 1})) << "a fresh 1 x 1 image";
    EXPECT_EQ(info.name, "ImageClone");

    for (const std::string& signature : defined) host().undefine(signature);
    host().define(cloneRow, realClone);
}

TEST_F(RealAndGeneric, ABadSignatureDefinesNothing) {
    EXPECT_THROW(StandIn::defineGenericFunctions(host(), {"void FineOne(  )", "void BadOne( )"}),
                 StandIn::SignatureError);
    EXPECT_FALSE(host().isDefined("void FineOne(  )"));
}

TEST_F(RealAndGeneric, TheLogHasNoLastCallBeforeTheFirst) {
    auto log = StandIn::defineGenericFunctions(host(), {});
    EXPECT_EQ(log->callCount(), 0u);
    EXPECT_THROW(log->lastCall(), std::logic_error);
}

TEST_F(RealAndGeneric, RecordsAreVisibleOnlyWhileANativeCallRuns) {
    EXPECT_EQ(host().currentRecords(), nullptr);
    const std::string signature = "void DontInterpret( double )";
    StandIn::NativeHandler kept;
    if (host().isDefined(signature)) kept = host().handlerOf(signature);
    double seen = 0;
    host().define(signature, [this, &seen](StandIn::NativeCall& c) {
        ScriptArgRecord* records = host().currentRecords();
        ASSERT_NE(records, nullptr);
        std::memcpy(&seen, records[0].bytes, sizeof seen);
        EXPECT_EQ(seen, c.float64(0));
    });
    QZ::DontInterpret(2.5);
    EXPECT_EQ(seen, 2.5);
    EXPECT_EQ(host().currentRecords(), nullptr);
    if (kept)
        host().define(signature, kept);
    else
        host().undefine(signature);
}

class GenericAnswers : public GenericHostTest {};

TEST_F(GenericAnswers, ValueResultsFollowTheSeedOfTheSignature) {
    Vorna::Handle made = host().makeObject(StandIn::ObjectKind::Function);
    Function function(made);
    const std::string signature = "ulong FunctionCountParameters( Function )";
    std::uint32_t first = QZ::FunctionCountParameters(function);
    std::uint32_t second = function.CountParameters();
    EXPECT_EQ(first, StandIn::genericSeed(signature, 0));
    EXPECT_EQ(second, first) << "the same answer every time";
    EXPECT_NE(StandIn::genericSeed(signature, 1), StandIn::genericSeed(signature, 0));
    EXPECT_NE(StandIn::genericSeed("long GetDepth( ImageRef )", 0), first);
    host().drop(made);
}

TEST_F(GenericAnswers, OutPointersAreWrittenWithTheirRecordsSeed) {
    ImageRef image(host().makeObject(StandIn::ObjectKind::Image));
    std::int32_t width = -1, height = -1;
    QZ::GetSize(image, &width, &height);
    EXPECT_EQ(static_cast<std::uint32_t>(width),
              StandIn::genericSeed("void GetSize( ImageRef, long *, long * )", 1));
    EXPECT_EQ(static_cast<std::uint32_t>(height),
              StandIn::genericSeed("void GetSize( ImageRef, long *, long * )", 2));
    const StandIn::GenericCall& call = lastCall();
    std::int32_t found;
    std::memcpy(&found, call.params[1].found.data(), sizeof found);
    EXPECT_EQ(found, -1) << "what the caller's variable held before";
    host().drop(image.get());
}

TEST_F(GenericAnswers, NullPointersAndEmptyReferencesAreLoggedAndLeftAlone) {
    ImageRef empty;
    QZ::GetSize(empty, nullptr, nullptr);
    const StandIn::GenericCall& call = lastCall();
    ASSERT_EQ(call.params.size(), 3u);
    EXPECT_EQ(call.params[0].handle, 0u);
    EXPECT_FALSE(call.params[0].validObject);
    EXPECT_TRUE(call.params[1].null);
    EXPECT_TRUE(call.params[1].written.empty());
    EXPECT_TRUE(call.params[2].null);

    QZ::GetName(empty, nullptr);
    EXPECT_TRUE(lastCall().params[1].null) << "a null stringbuffer";
    EXPECT_TRUE(lastCall().params[1].written.empty());

    bool untouched = QZ::GetNamedImage(nullptr, "name");
    EXPECT_TRUE(lastCall().params[0].null) << "a null reference out-parameter";
    EXPECT_TRUE(lastCall().made.empty()) << "nothing made for it";
    (void)untouched;
}

TEST_F(GenericAnswers, BooleanOutParametersComeBackAsZeroOrOne) {
    // Whatever byte the host leaves in the cell, the caller's bool reads 0 or 1.
    bool value = false;
    bool result = QZ::GetBoolean("question", true, &value);
    const StandIn::GenericCall& call = lastCall();
    ASSERT_EQ(call.params[2].found.size(), 1u);
    EXPECT_EQ(call.params[2].found[0], 0) << "the cell held the caller's false";
    unsigned char stored;
    std::memcpy(&stored, &value, 1);
    EXPECT_EQ(stored, call.params[2].written[0] ? 1 : 0);
    EXPECT_NE(call.params[2].written[0], 1) << "the host's true is never 1";
    EXPECT_EQ(result, call.result[0] != 0);
}

TEST_F(GenericAnswers, AStringBufferReceivesTheGenericText) {
    ImageRef image(host().makeObject(StandIn::ObjectKind::Image));
    char buffer[32] = "unchanged";
    QZ::GetLabel(image, buffer);
    EXPECT_STREQ(buffer, StandIn::kGenericBufferText);
    EXPECT_EQ(lastCall().signature, "void GetLabel( ImageRef, stringbuffer )");
    host().drop(image.get());
}

}  // namespace
}  // namespace CatalogueTest
