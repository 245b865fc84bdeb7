// The runner in process, against the test module (every value type and failure) and, when it is
// built, the real module.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>

#include "ImageIO.h"
#include "SampleImage.h"
#include "ToolsTestSupport.h"

using namespace Tools;
using ToolsTest::run;
using ToolsTest::RunResult;
using ToolsTest::ScratchDirectory;

namespace {

const std::string kModule = RUNNER_TEST_MODULE;

RunResult runTest(std::vector<std::string> words) {
    words.insert(words.begin(), kModule);
    return run(words);
}

// Options before the module.
RunResult runTestWith(std::vector<std::string> options, const std::vector<std::string>& words) {
    options.push_back(kModule);
    options.insert(options.end(), words.begin(), words.end());
    return run(options);
}

std::string floatTiff(const ScratchDirectory& dir, const std::string& name, std::uint32_t width,
                      std::uint32_t height, const std::vector<float>& values) {
    writeTiff(dir.file(name), makeRaster(ElementType::Float32, width, height, values));
    return dir.file(name);
}

// ---- The command line and the module file -------------------------------------------------------

TEST(RunnerCommandLine, HelpAndUsageErrors) {
    RunResult help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind(
                  "usage: photarion-run [--list] [--time] [--host-version HEX] [-o OUT.tif]", 0),
              0u);
    EXPECT_EQ(help.err, "");

    RunResult none = run({});
    EXPECT_EQ(none.status, kExitUsage);
    EXPECT_EQ(none.err, "error: no module given\nrun 'photarion-run --help' for the usage\n");
    EXPECT_EQ(run({"--bogus", kModule, "AddOne", "1"}).status, kExitUsage);
}

TEST(RunnerModuleFile, MissingDirectoryAndNonLibraryFilesAreClearErrors) {
    ScratchDirectory dir;
    RunResult missing = run({dir.file("absent.so"), "AddOne", "1"});
    EXPECT_EQ(missing.status, kExitFailure);
    EXPECT_EQ(missing.err, "error: module file '" + dir.file("absent.so") + "' not found\n");

    RunResult directory = run({dir.file(""), "AddOne", "1"});
    EXPECT_EQ(directory.status, kExitFailure);
    EXPECT_EQ(directory.err, "error: module '" + dir.file("") + "' is a directory\n");

    std::ofstream(dir.file("text.so")) << "not a library";
    RunResult text = run({dir.file("text.so"), "AddOne", "1"});
    EXPECT_EQ(text.status, kExitFailure);
    EXPECT_EQ(
        text.err.rfind("error: cannot load module: cannot load " + dir.file("text.so") + ": ", 0),
        0u)
        << text;
}

TEST(RunnerModuleFile, ALibraryWithoutTheSixExportsIsNamedWithWhatItLacks) {
    RunResult r = run({INCOMPLETE_MODULE, "AddOne", "1"});
    EXPECT_EQ(r.status, kExitFailure);
    EXPECT_EQ(r.err,
              std::string("error: cannot load module: ") + INCOMPLETE_MODULE +
                  " lacks the exports QZPlugIn_Link_2, PlugInRun, PlugInShutdown, PlugInCleanup\n");
}

TEST(RunnerModuleFile, AModuleOfAnotherLinkVersionIsNotLinked) {
    RunResult r = run({RUNNER_TEST_MODULE_V3, "AddOne", "1"});
    EXPECT_EQ(r.status, kExitFailure);
    EXPECT_EQ(r.err, "error: the module speaks link version 3; this host speaks version 2\n") << r;
}

TEST(RunnerModuleFile, ABareFileNameIsTheFileInTheWorkingDirectory) {
    ScratchDirectory dir;
    std::filesystem::copy_file(kModule, dir.file("copied.so"));
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.file(""));
    RunResult r = run({"copied.so", "AddOne", "1"});
    std::filesystem::current_path(before);
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out, "2\n");
}

// ---- Finding the function and reading its arguments ---------------------------------------------

TEST(RunnerFunctions, ListShowsEveryRegistrationInOrder) {
    RunResult r = run({"--list", kModule});
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out.rfind("long AddOne(long)\nfloat Half(float)\nBoolean IsPositive(double)\n", 0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("\nRealImagePtr Negate(ImageRef *)\n"), std::string::npos);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 21);
}

TEST(RunnerFunctions, UnknownFunctionListsTheRegisteredOnes) {
    RunResult r = runTest({"Nope"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(r.err.rfind("error: the module registers no function 'Nope'; it registers: AddOne, "
                          "Half, IsPositive, ",
                          0),
              0u)
        << r.err;
    EXPECT_NE(r.err.find(", LockAndForget, Unreachable\n"), std::string::npos) << r.err;
}

TEST(RunnerFunctions, WrongNumberOfArgumentsShowsTheSignature) {
    RunResult few = runTest({"AddOne"});
    EXPECT_EQ(few.status, kExitUsage);
    EXPECT_EQ(
        few.err,
        "error: AddOne takes 1 argument (long), 0 given; its signature is long AddOne(long)\n");
    RunResult many = runTest({"HostVersion", "1"});
    EXPECT_EQ(many.status, kExitUsage);
    EXPECT_EQ(
        many.err,
        "error: HostVersion takes 0 arguments, 1 given; its signature is ulong HostVersion()\n");
    RunResult mix = runTest({"Mix", "1"});
    EXPECT_EQ(mix.err,
              "error: Mix takes 6 arguments (double, float, short, uint16, ulong, Boolean), 1 "
              "given; its signature "
              "is double Mix(double,float,short,uint16,ulong,Boolean)\n");
}

TEST(RunnerFunctions, ArgumentsThatAreNotOfTheirTypeSayWhatIsWanted) {
    struct Case {
        std::vector<std::string> words;
        std::string message;
    };
    const Case cases[] = {
        {{"AddOne", "x"},
         "argument 1 of AddOne, 'x', is not a long (a whole number from -2147483648 to "
         "2147483647)"},
        {{"AddOne", "2147483648"},
         "argument 1 of AddOne, '2147483648', is not a long (a whole number from -2147483648 to "
         "2147483647)"},
        {{"Twice", "-1"},
         "argument 1 of Twice, '-1', is not a ulong (a whole number from 0 to 4294967295)"},
        {{"Negate16", "40000"},
         "argument 1 of Negate16, '40000', is not a short (a whole number from -32768 to 32767)"},
        {{"Half", "1e39"}, "argument 1 of Half, '1e39', is not a float (a number)"},
        {{"IsPositive", "one"}, "argument 1 of IsPositive, 'one', is not a double (a number)"},
        {{"Mix", "1", "2", "3", "70000", "5", "1"},
         "argument 4 of Mix, '70000', is not a uint16 (a whole number from 0 to 65535)"},
        {{"Mix", "1", "2", "3", "4", "5", "maybe"},
         "argument 6 of Mix, 'maybe', is not true or false"},
        {{"CharCode", "128"},
         "argument 1 of CharCode, '128', is not a char (a whole number from -128 to 127)"},
        {{"CharCode", "A"},
         "argument 1 of CharCode, 'A', is not a char (a whole number from -128 to 127)"},
        {{"ColourValue", "-1"},
         "argument 1 of ColourValue, '-1', is not a RGB (a whole number from 0 to 4294967295)"},
    };
    for (const Case& c : cases) {
        RunResult r = runTest(c.words);
        EXPECT_EQ(r.status, kExitUsage) << c.words[0];
        EXPECT_EQ(r.err, "error: " + c.message + "\n");
        EXPECT_EQ(r.out, "");
    }
}

TEST(RunnerFunctions, ParametersTheRunnerCannotSupplyAreNamed) {
    RunResult r = runTest({"Unreachable", "1"});
    EXPECT_EQ(r.status, kExitFailure);
    EXPECT_EQ(
        r.err,
        "error: parameter 1 of Unreachable is of type complex, which the runner cannot supply\n");
}

// ---- Values in and out --------------------------------------------------------------------------

TEST(RunnerValues, NumberResultsArePrintedAlone) {
    EXPECT_EQ(runTest({"AddOne", "-42"}).out, "-41\n");
    EXPECT_EQ(runTest({"AddOne", "0x7f"}).out, "128\n");
    EXPECT_EQ(runTest({"Half", "1"}).out, "0.5\n");
    EXPECT_EQ(runTest({"Half", "-40.2"}).out, "-20.1\n");
    EXPECT_EQ(runTest({"IsPositive", "-0.5"}).out, "false\n");
    EXPECT_EQ(runTest({"IsPositive", "1e-300"}).out, "true\n");
    EXPECT_EQ(runTest({"Negate16", "-32768"}).out, "-32768\n") << "the short result wraps";
    EXPECT_EQ(runTest({"Twice", "4000000000"}).out, "3705032704\n") << "the ulong result wraps";
    RunResult ok = runTest({"AddOne", "1"});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.err, "");
}

TEST(RunnerValues, EveryArgumentReachesItsParameter) {
    RunResult r = runTest({"Mix", "1.25", "-2.5", "-300", "65535", "4000000000", "yes"});
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out, "d=1.25 f=-2.5 s=-300 u=65535 ul=4000000000 b=1\n-1.25\n");
}

// What the validator can generate, the runner can read: char and RGB were refused before the
// two shared one planner.
TEST(RunnerValues, CharAndColourArgumentsAreIntegersOfTheirWidth) {
    EXPECT_EQ(runTest({"CharCode", "-128"}).out, "-128\n");
    EXPECT_EQ(runTest({"CharCode", "0x7f"}).out, "127\n");
    EXPECT_EQ(runTest({"ColourValue", "0xFF8000"}).out, "16744448\n");
    RunResult widest = runTest({"ColourValue", "4294967295"});
    EXPECT_EQ(widest.status, 0) << widest;
    EXPECT_EQ(widest.out, "4294967295\n");
}

TEST(RunnerValues, TextAndHostStrings) {
    EXPECT_EQ(runTest({"Length", "h\xe9llo w\xf6rld"}).out, "11\n");
    EXPECT_EQ(runTest({"Length", ""}).out, "0\n");
    RunResult said = runTest({"Say", "hello there"});
    EXPECT_EQ(said.status, 0);
    EXPECT_EQ(said.out, "hello there\n");
    RunResult greeted = runTest({"Greeting", "World"});
    EXPECT_EQ(greeted.status, 0) << greeted;
    EXPECT_EQ(greeted.out, "Hello, World!\n");
}

TEST(RunnerValues, TheModuleSeesTheHostVersionAsked) {
    EXPECT_EQ(runTest({"HostVersion"}).out, std::to_string(0x03040400) + "\n");
    EXPECT_EQ(runTestWith({"--host-version", "03030200"}, {"HostVersion"}).out,
              std::to_string(0x03030200) + "\n");
}

TEST(RunnerValues, TimeOfTheCallGoesToStderr) {
    RunResult r = runTestWith({"--time"}, {"AddOne", "1"});
    EXPECT_EQ(r.out, "2\n");
    EXPECT_TRUE(std::regex_match(r.err, std::regex("time: AddOne took [0-9]+\\.[0-9] ms\n")))
        << r.err;
}

// ---- Failures of the module ---------------------------------------------------------------------

TEST(RunnerFailures, RaisedErrorsAndAlertsGoToStderrAndFail) {
    RunResult failed = runTest({"Fail", "Something broke."});
    EXPECT_EQ(failed.status, kExitFailure);
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(failed.err, "error: Something broke.\n");

    RunResult warned = runTest({"Warn", "Careful now."});
    EXPECT_EQ(warned.status, kExitFailure);
    EXPECT_EQ(warned.err, "error: Careful now.\n");
}

TEST(RunnerFailures, WhatTheModuleLeavesBehindIsReported) {
    RunResult leaked = runTest({"LeakString", "kept"});
    EXPECT_EQ(leaked.status, kExitFailure);
    EXPECT_EQ(leaked.out, "0\n");
    EXPECT_TRUE(std::regex_match(leaked.err,
                                 std::regex("error: the module left behind:\n"
                                            "  held: String 0x[0-9a-f]+ count 1 \\(\"kept\"\\)\n")))
        << leaked.err;

    ScratchDirectory dir;
    RunResult locked = runTest({"LockAndForget", floatTiff(dir, "in.tif", 2, 1, {1, 2})});
    EXPECT_EQ(locked.status, kExitFailure);
    EXPECT_TRUE(std::regex_match(
        locked.err, std::regex("error: the module left behind:\n"
                               "  image left locked: image 0x[0-9a-f]+ \"in\" by GetDataPtr\n")))
        << locked.err;
}

TEST(RunnerFailures, AnImageFunctionThatReturnsNothingFails) {
    ScratchDirectory dir;
    RunResult r = runTest({"Nothing", floatTiff(dir, "in.tif", 1, 1, {1})});
    EXPECT_EQ(r.status, kExitFailure);
    EXPECT_EQ(r.err, "error: Nothing returned no image and raised no error\n");
}

// ---- Images -------------------------------------------------------------------------------------

TEST(RunnerImages, ImageResultIsSummarisedAndWrittenAsTiffAndPreview) {
    ScratchDirectory dir;
    const std::string in = floatTiff(dir, "in.tif", 3, 2, {1, 2, 3, 4, 5, 6});
    RunResult r =
        runTestWith({"-o", dir.file("out.tif"), "--png", dir.file("out.png")}, {"Negate", in});
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out,
              "image \"Negated\": 3 x 2 float32, values -6 to -1\n"
              "wrote " +
                  dir.file("out.tif") +
                  " (32-bit float TIFF)\n"
                  "wrote " +
                  dir.file("out.png") + " (8-bit preview PNG, linear: black at -6, white at -1)\n");
    EXPECT_EQ(r.err, "");
    Raster tiff = readTiff(dir.file("out.tif"));
    EXPECT_EQ(tiff.type, ElementType::Float32);
    EXPECT_EQ(toFloats(tiff), (std::vector<float>{-1, -2, -3, -4, -5, -6}));
    EXPECT_EQ(readPng(dir.file("out.png")).bytes,
              (std::vector<unsigned char>{255, 204, 153, 102, 51, 0}));
}

TEST(RunnerImages, ImagesMadeWithoutInputAreWrittenToo) {
    ScratchDirectory dir;
    RunResult r = runTestWith({"-o", dir.file("ramp.tif")}, {"Ramp", "4", "3"});
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out.rfind("image \"Ramp\": 4 x 3 float32, values 0 to 2003\n", 0), 0u) << r.out;
    Raster ramp = readTiff(dir.file("ramp.tif"));
    EXPECT_EQ(ramp.width, 4u);
    EXPECT_EQ(ramp.value(1 * 4 + 2), 1002);
}

TEST(RunnerImages, TheInputKeepsItsElementKindForTheModuleToHandle) {
    ScratchDirectory dir;
    writeTiff(dir.file("words.tif"), makeRaster<std::uint16_t>(ElementType::UInt16, 2, 1, {1, 2}));
    RunResult r = runTestWith({"-o", dir.file("out.tif")}, {"Negate", dir.file("words.tif")});
    EXPECT_EQ(r.status, kExitFailure);
    EXPECT_EQ(r.err, "error: Negate needs a 32-bit float image.\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.tif")))
        << "nothing is written after an error";
}

TEST(RunnerImages, UnreadableImageArgumentsAreErrorsNamingTheFile) {
    ScratchDirectory dir;
    RunResult missing = runTest({"Negate", dir.file("absent.tif")});
    EXPECT_EQ(missing.status, kExitFailure);
    EXPECT_EQ(missing.err, "error: " + dir.file("absent.tif") + ": No such file or directory\n");

    std::ofstream(dir.file("notes.txt")) << "notes";
    RunResult foreign = runTest({"Negate", dir.file("notes.txt")});
    EXPECT_EQ(foreign.status, kExitFailure);
    EXPECT_EQ(foreign.err,
              "error: " + dir.file("notes.txt") + ": is neither a TIFF nor a PNG file\n");
}

TEST(RunnerImages, OutputsNeedAnImageResultAndAWritablePlace) {
    ScratchDirectory dir;
    RunResult number = runTestWith({"-o", dir.file("x.tif")}, {"AddOne", "1"});
    EXPECT_EQ(number.status, kExitUsage);
    EXPECT_EQ(number.err, "error: -o and --png write an image result, but AddOne returns long\n");

    RunResult unwritable = runTestWith({"-o", dir.file("no/such/dir/x.tif")}, {"Ramp", "2", "2"});
    EXPECT_EQ(unwritable.status, kExitFailure);
    EXPECT_EQ(unwritable.err, "error: " + dir.file("no/such/dir/x.tif") +
                                  ": No such file or directory; Ramp was not called\n")
        << "and no leak report";
}

// ---- The real module ----------------------------------------------------------------------------

#ifdef PHOTARION_MODULE

const std::string kRealModule = PHOTARION_MODULE;

// The object-model plug-in of tests/package: a region drawn with --roi on the shown image, the
// dialog answered with --dialog.
TEST(RunnerOnTheObjectModel, RegionsAndDialogAnswersReachThePlugIn) {
    ScratchDirectory dir;
    std::vector<float> values(6 * 5);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(i);
    writeTiff(dir.file("in.tif"), makeRaster(ElementType::Float32, 6, 5, values));
    RunResult kept = run({"--roi", "rect:1,2,4,4", "--dialog", "cancel", "-o", dir.file("r.tif"),
                          MODEL_PLUGIN, "RegionReport", dir.file("in.tif"), "Kept"});
    ASSERT_EQ(kept.status, 0) << kept;
    EXPECT_EQ(kept.out.substr(0, kept.out.find('\n')),
              "RegionReport: Kept region, 3 x 2 at (1, 2), mean 17, 5 tags, 2 corners, shown as "
              "\"Kept region\"");
    EXPECT_EQ(toFloats(readTiff(dir.file("r.tif"))), (std::vector<float>{13, 14, 15, 19, 20, 21}));

    RunResult inverted = run({"--roi", "rect:0,0,1,1", "--dialog", "ok=true", MODEL_PLUGIN,
                              "RegionReport", dir.file("in.tif"), "One"});
    ASSERT_EQ(inverted.status, 0) << inverted;
    EXPECT_NE(inverted.out.find("1 x 1 at (0, 0), mean 0, inverted"), std::string::npos)
        << inverted;

    RunResult unshown = run({MODEL_PLUGIN, "RegionReport", dir.file("in.tif"), "None"});
    EXPECT_EQ(unshown.status, 1) << unshown;
    EXPECT_EQ(unshown.err,
              "error: ImageGetImageDisplay: index 0 is out of range for 0 displays.\n");
    RunResult shownOnly = run({"--show", MODEL_PLUGIN, "RegionReport", dir.file("in.tif"), "Bare"});
    EXPECT_EQ(shownOnly.err, "error: RegionReport needs a region drawn on the image.\n");
}

TEST(RunnerOnTheModule, ListsItsTwoFunctions) {
    RunResult r = run({"--list", kRealModule});
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out,
              "RealImagePtr shiftImage(ImageRef *,float,float)\nRealImagePtr "
              "HoughTransform(ImageRef *)\n");
}

TEST(RunnerOnTheModule, ShiftTruncatesTheOffsetsAndWrapsAround) {
    ScratchDirectory dir;
    const std::uint32_t size = 64;
    Raster sample = makeSampleImage(size);
    writeTiff(dir.file("sample.tif"), sample);
    RunResult r = run({"-o", dir.file("shifted.tif"), kRealModule, "shiftImage",
                       dir.file("sample.tif"), "100.7", "-40.2"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.err, "");
    Raster shifted = readTiff(dir.file("shifted.tif"));
    ASSERT_EQ(shifted.width, size);
    // 100.7 → 100 ≡ 36 columns right, -40.2 → -40 ≡ 24 rows down.
    for (std::uint32_t y = 0; y < size; ++y) {
        for (std::uint32_t x = 0; x < size; ++x) {
            ASSERT_EQ(shifted.value(((y + 24) % size) * size + (x + 36) % size),
                      sample.value(y * size + x))
                << x << "," << y;
        }
    }
}

TEST(RunnerOnTheModule, ShiftConvertsIntegerInputToFloat) {
    ScratchDirectory dir;
    writeTiff(dir.file("words.tif"),
              makeRaster<std::uint16_t>(ElementType::UInt16, 3, 1, {1, 65535, 3}));
    RunResult r = run(
        {"-o", dir.file("out.tif"), kRealModule, "shiftImage", dir.file("words.tif"), "1", "0"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(toFloats(readTiff(dir.file("out.tif"))), (std::vector<float>{3, 1, 65535}));
}

// Every line of the sample gathers nearly all its votes in the bins the sample tool predicts, for
// an even side and an odd one (whose angle step is not 180 / n degrees).
TEST(RunnerOnTheModule, HoughPeaksWhereTheSampleLinesPredict) {
    ScratchDirectory dir;
    for (const std::uint32_t size : {96u, 97u}) {
        SCOPED_TRACE(size);
        writeTiff(dir.file("sample.tif"), makeSampleImage(size));
        RunResult r = run(
            {"-o", dir.file("hough.tif"), kRealModule, "HoughTransform", dir.file("sample.tif")});
        ASSERT_EQ(r.status, 0) << r;
        const std::string side = std::to_string(size);
        EXPECT_EQ(r.out.rfind("image \"Hough Transform\": " + side + " x " + side + " float32", 0),
                  0u)
            << r.out;
        Raster hough = readTiff(dir.file("hough.tif"));
        ASSERT_EQ(hough.width, size);
        for (const SampleLine& line : sampleLines()) {
            Raster alone = makeSampleImage(size, {line});
            double votes = 0;
            for (std::size_t i = 0; i < alone.elementCount(); ++i) votes += alone.value(i);
            const HoughBin bin = expectedHoughPeak(line, size);
            // The votes within two rows of the predicted one, in a column.
            auto near = [&](std::uint32_t column) {
                double sum = 0;
                for (std::uint32_t row = bin.row >= 2 ? bin.row - 2 : 0;
                     row <= std::min(bin.row + 2, size - 1); ++row) {
                    sum += hough.value(row * size + column % size);
                }
                return sum;
            };
            EXPECT_GE(near(bin.column), 0.9 * votes) << "line at " << line.angleDegrees;
            // And its highest element is higher than those of the columns beside it: the line's
            // angle is nearest the predicted column.
            auto peak = [&](std::uint32_t column) {
                double top = 0;
                for (std::uint32_t row = bin.row >= 2 ? bin.row - 2 : 0;
                     row <= std::min(bin.row + 2, size - 1); ++row) {
                    top = std::max(top, hough.value(row * size + column % size));
                }
                return top;
            };
            EXPECT_GT(peak(bin.column), peak(bin.column + 1)) << "line at " << line.angleDegrees;
            EXPECT_GT(peak(bin.column), peak(bin.column + size - 1)) << line.angleDegrees;
        }
    }
}

#endif

}  // namespace
