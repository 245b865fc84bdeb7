// The runner on a module that calls host functions the stand-in host does not provide, and that
// registers its functions with a person's spacing.
#include <gtest/gtest.h>

#include "ImageIO.h"
#include "ToolsTestSupport.h"

using namespace Tools;
using ToolsTest::run;
using ToolsTest::RunResult;
using ToolsTest::ScratchDirectory;

namespace {

const std::string kModule = HOST_LIMITS_MODULE;
const std::string kOpenFileMessage =
    "The stand-in host does not provide 'PFFileReference OpenFileForReading( string )'.";

TEST(RunnerHostLimits, RegistrationsKeepTheirTextAndAreFoundByName) {
    RunResult listed = run({"--list", kModule});
    EXPECT_EQ(listed.status, kExitSuccess) << listed;
    EXPECT_EQ(listed.out,
              "long SettingsFlag( string)\nlong  WidthOrSettings(ImageRef*, string )\n");

    RunResult few = run({kModule, "WidthOrSettings", "only-one"});
    EXPECT_EQ(few.status, kExitUsage);
    EXPECT_NE(few.err.find("WidthOrSettings takes 2 arguments (ImageRef *, string), 1 given; its "
                           "signature is long  WidthOrSettings(ImageRef*, string )"),
              std::string::npos)
        << few;
}

TEST(RunnerHostLimits, AFailedCallNamesTheFunctionTheHostLacks) {
    RunResult r = run({kModule, "SettingsFlag", "settings.txt"});
    EXPECT_EQ(r.status, kExitFailure);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "error: " + kOpenFileMessage + "\n") << "said once";
}

TEST(RunnerHostLimits, ACallThatCarriesOnStillHearsTheHostsMessage) {
    ScratchDirectory dir;
    writeTiff(dir.file("in.tif"),
              makeRaster(ElementType::Float32, 7, 2, std::vector<float>(14, 1.0f)));
    RunResult r = run({kModule, "WidthOrSettings", dir.file("in.tif"), "settings.txt"});
    EXPECT_EQ(r.status, kExitSuccess) << r;
    EXPECT_EQ(r.out, "7\n");
    EXPECT_EQ(r.err, "note: " + kOpenFileMessage + "\n");
}

}  // namespace
