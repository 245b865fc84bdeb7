// photarion-run --validate on a module that calls host functions the stand-in host does not
// provide: the host's limits are notes, never findings, and every other check still runs.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Runner.h"
#include "Validator.h"

namespace {

using Tools::FunctionValidation;
using Tools::ValidationReport;

const std::string kOpenFile = "PFFileReference OpenFileForReading( string )";
const std::string kAcquisition = "void AbortAllAcquisitionDaemons(  )";
const std::string kNote = "uses a host function the stand-in host does not provide: ";

bool Has(const std::vector<std::string>& list, const std::string& text) {
    for (const std::string& s : list) {
        if (s == text) return true;
    }
    return false;
}

class HostLimits : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        Tools::ValidationOptions options;
        options.module = HOST_LIMITS_MODULE_PATH;
        options.hostVersions = {0x03040400};
        sReport = Tools::ValidateModule(options);
        std::cout << Tools::FormatValidation(sReport);
    }
    static const FunctionValidation& function(const char* name) {
        static const FunctionValidation kMissing{};
        const FunctionValidation* f = sReport.function(name);
        EXPECT_TRUE(f) << name;
        return f ? *f : kMissing;
    }
    static ValidationReport sReport;
};
ValidationReport HostLimits::sReport;

TEST_F(HostLimits, AreNotesAndNoFindings) {
    EXPECT_EQ(0, sReport.findingCount()) << Tools::FormatValidation(sReport);
    EXPECT_EQ((std::vector<std::string>{kAcquisition}), sReport.moduleUnprovided)
        << "called by the Run hook in the lifecycle sweep";
    EXPECT_TRUE(Has(sReport.moduleNotes, kNote + kAcquisition));
    for (const char* name : {"SettingsFlag", "WidthOrSettings"}) {
        const FunctionValidation& f = function(name);
        EXPECT_EQ((std::vector<std::string>{kOpenFile}), f.unprovided) << name;
        EXPECT_EQ((std::vector<std::string>{kNote + kOpenFile}), f.notes) << name;
        EXPECT_TRUE(f.findings.empty()) << name;
    }
    EXPECT_EQ((std::vector<std::string>{kAcquisition, kOpenFile}), sReport.unprovided());

    const std::string text = Tools::FormatValidation(sReport);
    EXPECT_NE(std::string::npos, text.find("  note: " + kNote + kOpenFile + "\n")) << text;
    EXPECT_NE(std::string::npos,
              text.find("host limits: the module uses 2 host functions the stand-in host does "
                        "not provide (see the notes; not findings)\nvalidated 2 functions: 0 "
                        "findings ("))
        << text;
}

TEST_F(HostLimits, TheOtherChecksGoOn) {
    EXPECT_TRUE(Has(sReport.moduleChecks, "registered functions: 2, every signature parses"));
    const FunctionValidation& flag = function("SettingsFlag");
    EXPECT_EQ("long SettingsFlag( string)", flag.signature);
    EXPECT_EQ(4, flag.casesSwept);
    EXPECT_EQ(0, flag.hostCalls) << "its one host call is the host's limit";
    EXPECT_EQ(4, flag.errorsRaised.occurrences);
    EXPECT_NE(std::string::npos, flag.errorsRaised.example.find(
                                     "The stand-in host does not provide '" + kOpenFile + "'."))
        << flag.errorsRaised.example;

    // The width is asked of the host first: that call is swept as every other one is.
    const FunctionValidation& width = function("WidthOrSettings");
    EXPECT_EQ(36, width.casesSwept);
    EXPECT_EQ(36, width.hostCalls);
    EXPECT_EQ(2 * width.hostCalls, width.faultPoints);
    EXPECT_EQ(0, width.errorsRaised.occurrences) << width.errorsRaised.example;
}

TEST(HostLimitsCommandLine, AValidationWithOnlyLimitsSucceeds) {
    std::ostringstream out, err;
    EXPECT_EQ(0,
              Tools::RunMain({"--validate", "--host-version", "03040400", HOST_LIMITS_MODULE_PATH},
                             out, err))
        << out.str() << err.str();
    EXPECT_NE(std::string::npos, out.str().find("validated 2 functions: 0 findings")) << out.str();
}

}  // namespace
