// Error texts, their limits, the two managers and the conversions at the module's edges.
#include "errors/Exceptions.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "LinkedHost.h"

namespace {

using namespace Vorna;
using TestSupport::LinkedHostTest;

// Runs a test body with no error manager installed, as before the module loaded.
struct PlainManager {
    PlainManager() : fPrevious(SetErrorManager(nullptr)) {}
    ~PlainManager() { SetErrorManager(fPrevious); }
    ErrorManager* fPrevious;
};

ErrorDatum Text(const char* text) { return reinterpret_cast<ErrorDatum>(text); }

class ErrorsTest : public LinkedHostTest {};

TEST_F(ErrorsTest, PlainTextsAndTheirCuts) {
    PlainManager plain;
    char buffer[64];
    EXPECT_EQ(34u, GetErrorString(kErrorText, 0, buffer, 64));
    EXPECT_STREQ("An unspecified error has occurred.", buffer);
    EXPECT_EQ(28u, GetErrorString(5, 7, buffer, 64));
    EXPECT_STREQ("An error (5,7) has occurred.", buffer);
    EXPECT_EQ(9u, GetErrorString(5, 7, buffer, 10));
    EXPECT_STREQ("An error ", buffer);
    buffer[0] = 'x';
    EXPECT_EQ(28u, GetErrorString(5, 7, nullptr, 64));
    EXPECT_EQ(28u, GetErrorString(5, 7, buffer, 0));
    EXPECT_EQ('x', buffer[0]) << "nothing written without room";
    EXPECT_EQ(0u, GetErrorString(5, 7, buffer, 1));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(3u, GetErrorString(kErrorTextCopied, Text("abc"), buffer, 64));
    EXPECT_EQ(std::string("An error (-1,-14) has occurred."),
              (GetErrorString(-1, -14, buffer, 64), buffer));
}

TEST_F(ErrorsTest, ModuleExceptionsTextFollowsTheCurrentManager) {
    const std::string long_text(400, 'm');
    vorna_exception e(kErrorText, Text(long_text.c_str()));
    EXPECT_EQ(std::string(254, 'm'), e.what()) << "the host's text, cut to 254";
    {
        PlainManager plain;
        EXPECT_EQ(std::string(254, 'm'), e.what());
        EXPECT_STREQ("An error (28810,14) has occurred.",
                     vorna_exception(kErrorOutOfMemory, 14).what());
    }
    EXPECT_STREQ("Out of range.", vorna_exception(kErrorText, Text("Out of range.")).what());
}

TEST_F(ErrorsTest, RaisingFunctionsThrowWithTheirCodes) {
    const std::string long_text(300, 'c');
    try {
        ThrowMessage(long_text.c_str());
        FAIL();
    } catch (const vorna_exception& e) {
        EXPECT_EQ(kErrorTextCopied, e.fCode);
        EXPECT_NE(Text(long_text.c_str()), e.fData) << "a copy, not the caller's text";
        EXPECT_EQ(std::string(255, 'c'), reinterpret_cast<const char*>(e.fData));
    }
    static const char kLiteral[] = "literal";
    try {
        ThrowErrorMessage(kLiteral);
        FAIL();
    } catch (const vorna_exception& e) {
        EXPECT_EQ(kErrorText, e.fCode);
        EXPECT_EQ(Text(kLiteral), e.fData);
    }
    try {
        ThrowOutOfMemory();
        FAIL();
    } catch (const vorna_exception& e) {
        EXPECT_EQ(kErrorOutOfMemory, e.fCode);
        EXPECT_EQ(14, e.fData);
    }
}

TEST_F(ErrorsTest, SeveritiesDecideBetweenRaisingWarningAndNothing) {
    EXPECT_THROW(HandleError(1, 2, 0), vorna_exception);
    EXPECT_THROW(HandleError(1, 2, 1), vorna_exception);
    EXPECT_NO_THROW(HandleError(1, 2, 2));
    EXPECT_NO_THROW(HandleError(1, 2, -1));
    EXPECT_NO_THROW(HandleError(1, 2, 3));
    EXPECT_FALSE(ReportAssertion("Menu", 1, "x", 2));
    EXPECT_FALSE(ReportAssertion("Menu", 1, "x", 7));
}

TEST_F(ErrorsTest, AssertionTextHasItsFixedFormatAndLimit) {
    try {
        ReportAssertion("ImageUtility", 325, "a < b", 1);
        FAIL();
    } catch (const vorna_exception& e) {
        EXPECT_EQ(kErrorText, e.fCode);
        EXPECT_STREQ("File \"ImageUtility\", Line 325: Assertion \"a < b\" Failed!",
                     reinterpret_cast<const char*>(e.fData));
    }
    const std::string condition(300, 'q');
    try {
        ReportAssertion("F", 1, condition.c_str(), 0);
        FAIL();
    } catch (const vorna_exception& e) {
        const std::string text = reinterpret_cast<const char*>(e.fData);
        EXPECT_EQ(255u, text.size());
        EXPECT_EQ(0u, text.find("File \"F\", Line 1: Assertion \"qqq"));
    }
}

TEST_F(ErrorsTest, HostExceptionsCarryTheHostsThrowable) {
    EXPECT_STREQ("", PlugIn::qzplugin_exception().what());
    Handle throwable = host().makeThrowable(std::string(2000, 'h'));
    {
        PlugIn::qzplugin_exception e(throwable);  // adds a count of its own
        EXPECT_EQ(2, host().referenceCount(throwable));
        EXPECT_EQ(std::string(1023, 'h'), e.what());
        PlugIn::qzplugin_exception copy(e);
        EXPECT_EQ(3, host().referenceCount(throwable));

        Handle back = ExceptionToHostError(e);
        EXPECT_EQ(throwable, back) << "the host gets back the very Throwable it reported";
        EXPECT_EQ(4, host().referenceCount(throwable));
        host().keep(back);
        host().drop(back);

        std::int32_t code;
        ErrorDatum datum;
        ExceptionToErrorCode(e, code, datum);
        EXPECT_EQ(kErrorTextCopied, code);
        EXPECT_EQ(std::string(255, 'h'), reinterpret_cast<const char*>(datum));
    }
    EXPECT_EQ(1, host().referenceCount(throwable));
    host().drop(throwable);
}

TEST_F(ErrorsTest, OtherExceptionsBecomeNewThrowablesWithTheirText) {
    std::int32_t code;
    ErrorDatum datum;
    ExceptionToErrorCode(std::length_error(std::string(400, 'L')), code, datum);
    EXPECT_EQ(kErrorTextCopied, code);
    EXPECT_EQ(std::string(255, 'L'), reinterpret_cast<const char*>(datum));

    ExceptionToErrorCode(vorna_exception(12, 34), code, datum);
    EXPECT_EQ(12, code);
    EXPECT_EQ(34, datum);

    Handle made = ExceptionToHostError(vorna_exception(kErrorText, Text("made by the module")));
    EXPECT_EQ("made by the module", host().throwableMessage(made));
    EXPECT_EQ(1, host().moduleReferences(made));
    host().keep(made);
    host().drop(made);
}

TEST_F(ErrorsTest, AlertsGoToTheHostWithTheHostsText) {
    ShowErrorAlert(kErrorText, Text("Careful"), 2);
    ASSERT_EQ(1u, host().alerts().size());
    EXPECT_EQ("Careful", host().alerts()[0].text);
    EXPECT_EQ(2, host().alerts()[0].kind);
    PlainManager plain;
    ShowErrorAlert(kErrorText, Text("Quiet"), 2);
    EXPECT_EQ(1u, host().alerts().size()) << "the plain manager shows nothing";
}

TEST_F(ErrorsTest, ManagersAndNewHandlerAreInstalledWhileLoaded) {
    EXPECT_EQ(&OutOfMemoryHandler, std::get_new_handler());
    ErrorManager mine;
    ErrorManager* previous = SetErrorManager(&mine);
    EXPECT_NE(nullptr, dynamic_cast<PlugIn::PlugInErrorManager*>(previous));
    EXPECT_EQ(&mine, SetErrorManager(previous));
    EXPECT_THROW(OutOfMemoryHandler(), vorna_exception);
}

TEST_F(ErrorsTest, UserAbortIsRecognisedByItsCode) {
    EXPECT_TRUE(IsUserAbort(vorna_exception(-128, 0)));
    EXPECT_FALSE(IsUserAbort(vorna_exception(-127, 0)));
    EXPECT_FALSE(IsUserAbort(std::runtime_error("x")));
}

}  // namespace
