// The runner's command line: options before the module, everything after it positional.
#include "CommandLine.h"

#include <gtest/gtest.h>

#include "ExpectThrow.h"

using namespace Tools;

namespace {

TEST(CommandLine, OptionsBeforeTheModuleAndArgumentsAfterIt) {
    Options o = parseCommandLine({"--time", "--host-version", "0x03030200", "-o", "r.tif", "--png",
                                  "r.png", "m.so", "shiftImage", "in.tif", "100.7", "-40.2"});
    EXPECT_TRUE(o.time);
    EXPECT_FALSE(o.list);
    EXPECT_EQ(o.hostVersion, 0x03030200u);
    EXPECT_EQ(o.tiffOut, "r.tif");
    EXPECT_EQ(o.pngOut, "r.png");
    EXPECT_EQ(o.module, "m.so");
    EXPECT_EQ(o.function, "shiftImage");
    EXPECT_EQ(o.arguments, (std::vector<std::string>{"in.tif", "100.7", "-40.2"}));
}

TEST(CommandLine, WordsAfterTheModuleAreNeverOptions) {
    Options o = parseCommandLine({"m.so", "f", "--time", "-o"});
    EXPECT_FALSE(o.time);
    EXPECT_EQ(o.arguments, (std::vector<std::string>{"--time", "-o"}));
    Options dashed = parseCommandLine({"--", "-odd-module.so", "f"});
    EXPECT_EQ(dashed.module, "-odd-module.so");
}

TEST(CommandLine, ListNeedsNoFunctionAndHelpNeedsNothing) {
    Options listed = parseCommandLine({"--list", "m.so"});
    EXPECT_TRUE(listed.list);
    EXPECT_TRUE(listed.function.empty());
    EXPECT_TRUE(parseCommandLine({"--help"}).help);
    EXPECT_TRUE(parseCommandLine({"--list", "-h"}).help);
}

TEST(CommandLine, MenusAndChosenCommandsNeedNoFunction) {
    Options o =
        parseCommandLine({"--menus", "--choose", "1,0", "--choose", "-7,2147483647", "m.so"});
    EXPECT_TRUE(o.menus);
    ASSERT_EQ(o.commands.size(), 2u);
    EXPECT_EQ(o.commands[0].id1, 1);
    EXPECT_EQ(o.commands[0].id2, 0);
    EXPECT_EQ(o.commands[1].id1, -7);
    EXPECT_EQ(o.commands[1].id2, 2147483647);
    EXPECT_TRUE(o.function.empty());
    EXPECT_EQ(parseCommandLine({"--choose", "2,3", "m.so", "f", "x"}).function, "f");
}

TEST(CommandLine, ChosenCommandsAreTwoIntegersInRange) {
    for (const char* bad : {"1", "1,", ",2", "1;2", "a,b", "1,2,3", "2147483648,0", "1.5,0"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW_MESSAGE(
            parseCommandLine({"--choose", bad, "m.so"}), UsageError,
            std::string("--choose takes a command as ID1,ID2 (two integers), not '") + bad + "'");
    }
}

TEST(CommandLine, MistakesAreUsageErrorsThatSayWhat) {
    EXPECT_THROW_MESSAGE(parseCommandLine({}), UsageError, "no module given");
    EXPECT_THROW_MESSAGE(parseCommandLine({"m.so"}), UsageError,
                         "no function given (or --list to see them)");
    EXPECT_THROW_MESSAGE(parseCommandLine({"--frobnicate", "m.so", "f"}), UsageError,
                         "unknown option '--frobnicate'");
    EXPECT_NO_THROW(parseCommandLine({"m.so", "f", "-o"}));
    EXPECT_THROW_MESSAGE(parseCommandLine({"-o"}), UsageError, "-o needs a value");
    EXPECT_THROW_MESSAGE(parseCommandLine({"--host-version", "3.4", "m.so", "f"}), UsageError,
                         "--host-version takes a hexadecimal version such as 03040400, not '3.4'");
    EXPECT_THROW_MESSAGE(parseCommandLine({"--list", "--png", "p.png", "m.so"}), UsageError,
                         "-o and --png need a function whose result they write");
}

}  // namespace
