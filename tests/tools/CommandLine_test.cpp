// The runner's command line: options before the module or among the words after it, "--" to end
// them, and the preview's options.
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

TEST(CommandLine, OptionsMayFollowTheModuleTheFunctionAndItsArguments) {
    Options o = parseCommandLine({"m.so", "shiftImage", "in.tif", "-o", "r.tif", "100.7", "--time",
                                  "-40.2", "--png", "r.png", "--png-scale", "log"});
    EXPECT_TRUE(o.time);
    EXPECT_EQ(o.module, "m.so");
    EXPECT_EQ(o.function, "shiftImage");
    EXPECT_EQ(o.arguments, (std::vector<std::string>{"in.tif", "100.7", "-40.2"}));
    EXPECT_EQ(o.tiffOut, "r.tif");
    EXPECT_EQ(o.pngOut, "r.png");
    EXPECT_EQ(o.preview.curve, PreviewCurve::Log);
    EXPECT_TRUE(parseCommandLine({"m.so", "--validate"}).validate);
    EXPECT_TRUE(parseCommandLine({"m.so", "f", "--help"}).help);
}

TEST(CommandLine, AfterTheModuleOnlyOptionNamesAreOptions) {
    // Numbers and other text that starts with '-' stay arguments.
    Options o = parseCommandLine({"m.so", "f", "-1", "-x", "--times", "-", "-O"});
    EXPECT_EQ(o.arguments, (std::vector<std::string>{"-1", "-x", "--times", "-", "-O"}));
    EXPECT_FALSE(o.time);
    // Before the module they are options, and unknown ones.
    EXPECT_THROW_MESSAGE(parseCommandLine({"-x", "m.so", "f"}), UsageError, "unknown option '-x'");
    // "--" ends the options wherever it stands, and only the first one does.
    Options ended = parseCommandLine({"m.so", "f", "--", "--time", "-o", "--"});
    EXPECT_FALSE(ended.time);
    EXPECT_EQ(ended.arguments, (std::vector<std::string>{"--time", "-o", "--"}));
    Options dashed = parseCommandLine({"--", "-odd-module.so", "f", "--png", "p"});
    EXPECT_EQ(dashed.module, "-odd-module.so");
    EXPECT_EQ(dashed.arguments, (std::vector<std::string>{"--png", "p"}));
    // An option's value is the next word, whatever it looks like.
    EXPECT_EQ(parseCommandLine({"m.so", "f", "-o", "--time"}).tiffOut, "--time");
}

TEST(CommandLine, PreviewMappingOptions) {
    Options o = parseCommandLine(
        {"--png", "p.png", "--png-scale", "gamma=0.45", "--png-clip", "0.5", "m.so", "f"});
    EXPECT_EQ(o.preview.curve, PreviewCurve::Gamma);
    EXPECT_EQ(o.preview.parameter, 0.45);
    EXPECT_EQ(o.preview.clipPercent, 0.5);
    Options plain = parseCommandLine({"--png", "p.png", "m.so", "f"});
    EXPECT_EQ(plain.preview.curve, PreviewCurve::Linear);
    EXPECT_EQ(plain.preview.clipPercent, 0);
    EXPECT_EQ(parseCommandLine({"--png", "p", "--png-clip", "0", "m.so", "f"}).preview.clipPercent,
              0);
    for (const char* bad : {"-1", "50", "nan", "inf", "1%", ""}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW_MESSAGE(
            parseCommandLine({"--png", "p", "--png-clip", bad, "m.so", "f"}), UsageError,
            std::string("--png-clip takes a percentage from 0 up to 50, not '") + bad + "'");
    }
    EXPECT_THROW_MESSAGE(parseCommandLine({"--png", "p", "--png-scale", "gamma", "m.so", "f"}),
                         UsageError,
                         "--png-scale takes linear, gamma=G or log (or log=A), G and A positive "
                         "numbers, not 'gamma'");
    EXPECT_THROW_MESSAGE(parseCommandLine({"--png-scale", "log", "m.so", "f"}), UsageError,
                         "--png-scale and --png-clip shape the --png preview, which is not asked "
                         "for");
    EXPECT_THROW_MESSAGE(parseCommandLine({"-o", "x.tif", "--png-clip", "1", "m.so", "f"}),
                         UsageError,
                         "--png-scale and --png-clip shape the --png preview, which is not asked "
                         "for");
    EXPECT_THROW_MESSAGE(parseCommandLine({"--validate", "--png-clip", "1", "m.so"}), UsageError,
                         "--validate takes the module alone (and --host-version)");
}

TEST(CommandLine, DialogAnswersShownImagesAndRegions) {
    const Options o = parseCommandLine({"--dialog", "cancel", "m.so", "f", "a.tif", "--dialog",
                                        "ok=3", "--roi", "rect:1,2,5,6", "--roi", "point:0.5,7"});
    ASSERT_EQ(2u, o.dialogAnswers.size());
    EXPECT_FALSE(o.dialogAnswers[0].ok);
    EXPECT_TRUE(o.dialogAnswers[1].ok);
    EXPECT_EQ("3", o.dialogAnswers[1].value);
    EXPECT_FALSE(o.show) << "a region implies showing, --show itself stays unset";
    ASSERT_EQ(2u, o.rois.size());
    EXPECT_EQ(StandIn::RoiShape::Rectangle, o.rois[0].shape);
    EXPECT_EQ((std::vector<StandIn::RoiPoint>{{1, 2}, {5, 6}}), o.rois[0].points);
    EXPECT_EQ(StandIn::RoiShape::Point, o.rois[1].shape);
    EXPECT_TRUE(parseCommandLine({"--show", "m.so", "f"}).show);

    EXPECT_THROW_MESSAGE(parseCommandLine({"--dialog", "maybe", "m.so", "f"}), UsageError,
                         "--dialog: a dialog answer is 'ok', 'cancel' or 'ok=VALUE', not 'maybe'");
    for (const char* bad : {"rect:5,6,1,2", "rect:1,2,3", "line:1,2", "circle:1,2,3,4", "point:a,b",
                            "point:1,nan", "rect"}) {
        EXPECT_THROW_MESSAGE(
            parseCommandLine({"--roi", bad, "m.so", "f"}), UsageError,
            "--roi takes point:X,Y, line:X1,Y1,X2,Y2, rect:LEFT,TOP,RIGHT,BOTTOM or "
            "oval:LEFT,TOP,RIGHT,BOTTOM (numbers; right >= left, bottom >= top), not '" +
                std::string(bad) + "'");
    }
    EXPECT_THROW_MESSAGE(parseCommandLine({"--validate", "--show", "m.so"}), UsageError,
                         "--validate takes the module alone (and --host-version)");
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
    EXPECT_THROW_MESSAGE(parseCommandLine({"m.so", "f", "-o"}), UsageError, "-o needs a value");
    EXPECT_THROW_MESSAGE(parseCommandLine({"-o"}), UsageError, "-o needs a value");
    EXPECT_THROW_MESSAGE(parseCommandLine({"-o", "r.x", "--png", "r.x", "m.so", "f"}), UsageError,
                         "-o and --png name the same file, 'r.x'");
    EXPECT_THROW_MESSAGE(parseCommandLine({"--host-version", "3.4", "m.so", "f"}), UsageError,
                         "--host-version takes a hexadecimal version such as 03040400, not '3.4'");
    EXPECT_THROW_MESSAGE(parseCommandLine({"--list", "--png", "p.png", "m.so"}), UsageError,
                         "-o and --png need a function whose result they write");
}

}  // namespace
