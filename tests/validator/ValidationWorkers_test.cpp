// The validator's plumbing: records survive the pipe whatever they hold, a child that dies is
// reported with its last records and progress note, and the gathering turns that into one crash
// finding at the right call.
#include "ValidationWorkers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include "GeneratedCalls.h"
#include "ValidationReport.h"

namespace {

using namespace Tools::Validation;

TEST(ValidationRecords, EveryFieldSurvivesTheLineEncoding) {
    const Record records[] = {
        {"finding", "references left behind", "case 1:\nheld: String\tcount 1"},
        {"note", "back\\slash \\t not a tab", ""},
        {"", "", ""},
        {"done"},
    };
    for (const Record& r : records) {
        const std::string line = EncodeRecord(r);
        EXPECT_EQ(line.find('\n'), std::string::npos) << "one line per record";
        EXPECT_EQ(DecodeRecord(line), r) << line;
    }
}

TEST(ValidationWorkers, AnExceptionEndsTheWorkerWithAFailureRecord) {
    const Worker work = [](RecordSink& sink) {
        sink.emit({"check", "first"});
        throw std::runtime_error("gave up");
    };
    for (bool child : {false, true}) {
        const WorkerOutcome outcome = child ? RunInChild(work) : RunInProcess(work);
        EXPECT_TRUE(outcome.finished) << child;
        EXPECT_EQ(outcome.records,
                  (std::vector<Record>{{"check", "first"}, {"failure", "gave up"}, {"done"}}));
    }
}

#ifndef _WIN32
TEST(ValidationWorkers, AChildThatDiesLeavesItsRecordsAndLastProgressNote) {
    const WorkerOutcome aborted = RunInChild([](RecordSink& sink) {
        sink.emit({"case", "0", "first"});
        sink.progress("warm-up");
        sink.emit({"case", "1", "second"});
        sink.progress("failing host call 3");
        std::abort();
    });
    EXPECT_FALSE(aborted.finished);
    EXPECT_FALSE(aborted.timedOut);
    EXPECT_EQ(aborted.records.size(), 2u);
    EXPECT_EQ(aborted.progress, "failing host call 3");
    EXPECT_EQ(aborted.ending,
              "killed by signal " + std::to_string(SIGABRT) + " (" + strsignal(SIGABRT) + ")");

    const WorkerOutcome exited = RunInChild([](RecordSink&) { _exit(5); });
    EXPECT_FALSE(exited.finished);
    EXPECT_EQ(exited.ending, "the process exited with status 5");
    EXPECT_EQ(exited.progress, "");
}
#endif

TEST(ValidationGathering, ACrashIsOneFindingAtTheCaseItBegan) {
    const FunctionPlan plan = PlanFunction("void F(long)", {0x03040400});
    ASSERT_EQ(plan.cases.size(), 4u);
    WorkerOutcome outcome;
    outcome.records = {{"case", "0", plan.cases[0].describe()},
                       {"swept", "0", "3", "3", "3", "0", ""},
                       {"case", "1", plan.cases[1].describe()}};
    outcome.progress = "stale host call 2";
    outcome.ending = "killed by signal 11 (Segmentation fault)";
    Tools::FunctionValidation function;
    EXPECT_EQ(GatherFunctionCalls(outcome, plan, function), 1);
    EXPECT_EQ(function.casesSwept, 1);
    EXPECT_EQ(function.hostCalls, 3);
    EXPECT_EQ(function.faultPoints, 6);
    ASSERT_EQ(function.findings.size(), 1u);
    EXPECT_EQ(function.findings[0].category, "crash");
    EXPECT_EQ(function.findings[0].example,
              "values 1, host 03040400, stale host call 2: killed by signal 11 (Segmentation "
              "fault)");

    // The next child crashes too: one more occurrence of the same finding, the first example.
    outcome.records = {{"case", "2", plan.cases[2].describe()}};
    EXPECT_EQ(GatherFunctionCalls(outcome, plan, function), 2);
    ASSERT_EQ(function.findings.size(), 1u);
    EXPECT_EQ(function.findings[0].occurrences, 2);
    EXPECT_NE(function.findings[0].example.find("values 1,"), std::string::npos);
}

}  // namespace
