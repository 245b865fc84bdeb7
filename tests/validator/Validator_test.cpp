// photarion-run --validate: our module validates clean; the faulty module is caught, function by
// function, with the crash of one function isolated from the others.
#include "Validator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

#include "CommandLine.h"
#include "Runner.h"

namespace {

using Tools::FunctionValidation;
using Tools::ValidationFinding;
using Tools::ValidationReport;

std::set<std::string> Categories(const std::vector<ValidationFinding>& findings) {
    std::set<std::string> out;
    for (const ValidationFinding& f : findings) out.insert(f.category);
    return out;
}

ValidationReport Validate(const std::string& module, std::vector<std::uint32_t> hosts = {}) {
    Tools::ValidationOptions options;
    options.module = module;
    if (!hosts.empty()) options.hostVersions = hosts;
    const auto start = std::chrono::steady_clock::now();
    ValidationReport report = Tools::ValidateModule(options);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::cout << Tools::FormatValidation(report) << "(took " << took.count() << " s)\n";
    return report;
}

TEST(Validator, OurModuleValidatesCleanOnEveryInput) {
    const ValidationReport report = Validate(MODULE_PATH);
    EXPECT_EQ(0, report.findingCount()) << Tools::FormatValidation(report);
    EXPECT_TRUE(report.isolated);
    ASSERT_EQ(2u, report.functions.size());
    const FunctionValidation* shift = report.function("shiftImage");
    const FunctionValidation* hough = report.function("HoughTransform");
    ASSERT_TRUE(shift && hough);
    // 9 element kinds x 4 sizes x 2 hosts; the offsets' value sets are paired with them.
    EXPECT_EQ(72, shift->casesPlanned);
    EXPECT_EQ(72, hough->casesPlanned);
    for (const FunctionValidation* f : {shift, hough}) {
        EXPECT_EQ(f->casesPlanned, f->casesSwept) << f->name;
        EXPECT_EQ(2 * f->hostCalls, f->faultPoints)
            << f->name << ": each host call fails once and goes stale once";
        EXPECT_EQ(0, f->errorsRaised.occurrences) << f->errorsRaised.example;
        EXPECT_TRUE(f->notes.empty());
    }
    EXPECT_NE(std::string::npos, Tools::FormatValidation(report).find(
                                     "validated 2 functions: 0 findings (" +
                                     std::to_string(report.faultPoints()) + " fault points)\n"));
}

TEST(Validator, EveryFaultOfTheFaultyModuleIsCaughtInItsOwnFunction) {
    // One host generation: both are our own module's case above.
    const ValidationReport report = Validate(FAULTY_MODULE_PATH, {0x03040400});
    ASSERT_EQ(6u, report.functions.size());
    auto categories = [&](const char* name) {
        const FunctionValidation* f = report.function(name);
        return f ? Categories(f->findings) : std::set<std::string>{"(not validated)"};
    };
    using Set = std::set<std::string>;
    EXPECT_EQ(Set{"references left behind"}, categories("LeakyCopy"));
    EXPECT_EQ(Set{"image left locked"}, categories("ForgetsUnlock"));
    EXPECT_EQ(Set{"crash"}, categories("Crashes"));
    EXPECT_EQ(Set{"failure not reported"}, categories("SwallowsFailure"));
    EXPECT_EQ(Set{"stale handle not retried"}, categories("NoRetry"));
    EXPECT_EQ(Set{"bad result handle"}, categories("ReturnsBorrowed"));
    // The Run hook's leak, found by the lifecycle sweep.
    EXPECT_EQ(Set{"references left behind"}, Categories(report.moduleFindings));
    EXPECT_EQ(7, report.findingCount());

    // Every one-pixel call crashes, whatever the element kind; every other call still runs.
    const FunctionValidation& crashes = *report.function("Crashes");
    ASSERT_EQ(1u, crashes.findings.size());
    EXPECT_EQ(9, crashes.findings[0].occurrences);
    EXPECT_NE(std::string::npos,
              crashes.findings[0].example.find("float32 1x1, host 03040400, warm-up"))
        << crashes.findings[0].example;
    EXPECT_EQ(crashes.casesPlanned - 9, crashes.casesSwept);
    for (const FunctionValidation& f : report.functions) {
        if (&f != &crashes) {
            EXPECT_EQ(f.casesPlanned, f.casesSwept) << f.name;
        }
    }
}

TEST(Validator, ParametersAndResultsOfEveryKindAreSupplied) {
    // The runner's test module: numbers of every width, text, strings, images, object and value
    // results, and a few deliberate faults of its own. (Its AddOne overflows on the largest long,
    // which the sanitizers report as a crash; it is left out here.)
    const ValidationReport report = Validate(RUNNER_TEST_MODULE_PATH, {0x03040400});
    auto function = [&](const char* name) -> const FunctionValidation& {
        static const FunctionValidation kMissing{};
        const FunctionValidation* f = report.function(name);
        EXPECT_TRUE(f) << name;
        return f ? *f : kMissing;
    };
    for (const char* name : {"Half", "IsPositive", "Negate16", "Twice", "Mix", "CharCode",
                             "ColourValue", "Length", "Greeting"}) {
        const FunctionValidation& f = function(name);
        EXPECT_EQ(4, f.casesPlanned) << name << ": one call per value set";
        EXPECT_EQ(4, f.casesSwept) << name;
    }
    EXPECT_EQ(1, function("HostVersion").casesSwept) << "no parameters: one call per host";
    EXPECT_EQ(4, function("Fail").errorsRaised.occurrences);
    EXPECT_EQ(std::set<std::string>{"references left behind"},
              Categories(function("LeakString").findings));
    const FunctionValidation& unreachable = function("Unreachable");
    EXPECT_EQ(0, unreachable.casesPlanned);
    EXPECT_EQ(
        (std::vector<std::string>{"not called: parameter 1 of type complex cannot be supplied"}),
        unreachable.notes);
    for (const char* name :
         {"Half", "IsPositive", "Twice", "CharCode", "ColourValue", "Length", "Greeting"}) {
        EXPECT_TRUE(function(name).findings.empty()) << name;
    }
}

TEST(Validator, ModulesThatCannotBeLinkedAreReportedWithoutCalls) {
    ValidationReport report = Validate(INCOMPLETE_MODULE_PATH);
    EXPECT_EQ(std::set<std::string>{"exports"}, Categories(report.moduleFindings));
    EXPECT_TRUE(report.functions.empty());

    report = Validate("/no/such/module.so");
    EXPECT_EQ(std::set<std::string>{"module file"}, Categories(report.moduleFindings));
}

TEST(Validator, InProcessValidationReportsTheSame) {
    // What runs where there is no fork: same findings for a module that does not crash.
    Tools::ValidationOptions options;
    options.module = MODULE_PATH;
    options.isolate = false;
    options.hostVersions = {0x030403FF};
    const ValidationReport report = Tools::ValidateModule(options);
    EXPECT_FALSE(report.isolated);
    EXPECT_EQ(0, report.findingCount()) << Tools::FormatValidation(report);
    ASSERT_EQ(2u, report.functions.size());
    EXPECT_EQ(36, report.function("shiftImage")->casesSwept);
    EXPECT_NE(std::string::npos,
              Tools::FormatValidation(report).find("on host 030403FF (in this process"));
}

TEST(Validator, TheCommandLineTakesTheModuleAloneAndAnswersTheExitStatus) {
    Tools::Options o =
        Tools::parseCommandLine({"--validate", "--host-version", "030403FF", "m.so"});
    EXPECT_TRUE(o.validate);
    EXPECT_EQ("m.so", o.module);
    EXPECT_THROW(Tools::parseCommandLine({"--validate", "m.so", "HoughTransform"}),
                 Tools::UsageError);
    EXPECT_THROW(Tools::parseCommandLine({"--validate", "--list", "m.so"}), Tools::UsageError);

    std::ostringstream out, err;
    EXPECT_EQ(
        1, Tools::RunMain({"--validate", "--host-version", "03040400", INCOMPLETE_MODULE_PATH}, out,
                          err));
    EXPECT_NE(std::string::npos, out.str().find("on host 03040400 (each function")) << out.str();
    EXPECT_NE(std::string::npos,
              out.str().find("validated 0 functions: 1 finding (0 fault points)"))
        << out.str();
    out.str("");
    EXPECT_EQ(0,
              Tools::RunMain({"--validate", "--host-version", "030403FF", MODULE_PATH}, out, err));
    EXPECT_NE(std::string::npos, out.str().find("validated 2 functions: 0 findings ("))
        << out.str();
}

}  // namespace
