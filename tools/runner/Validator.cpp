// The module validator behind photarion-run --validate (see Validator.h): the module's checks in
// one worker, then each function's calls in workers of their own, a new one after each crash.
// Where workers run: ValidationWorkers; what they check: ModuleChecks; the inputs of the calls:
// GeneratedCalls; their records gathered into the report, and its text: ValidationReport.
#include "Validator.h"

#include <filesystem>

#include "GeneratedCalls.h"
#include "ModuleChecks.h"
#include "ValidationReport.h"
#include "ValidationWorkers.h"

namespace Tools {
namespace {

using namespace Validation;

WorkerOutcome Run(const Worker& work, bool isolate) {
    return isolate ? RunInChild(work) : RunInProcess(work);
}

// A child that crashes ends with the call it crashed in; the next child carries on after it.
FunctionValidation ValidateFunction(const std::string& path, const std::string& signature,
                                    const std::vector<std::uint32_t>& versions, bool isolate) {
    FunctionValidation fv;
    fv.signature = signature;
    fv.errorsRaised.category = "errors raised";
    const FunctionPlan plan = PlanFunction(signature, versions);
    fv.name = plan.signature.name;
    if (!plan.refusal.empty()) {
        fv.notes.push_back("not called: " + plan.refusal);
        return fv;
    }
    fv.casesPlanned = static_cast<int>(plan.cases.size());
    fv.inputs = plan.inputs;

    std::size_t first = 0;
    while (first < plan.cases.size()) {
        const WorkerOutcome outcome =
            Run([&](RecordSink& sink) { CheckFunction(path, plan, first, sink); }, isolate);
        const long lastCase = GatherFunctionCalls(outcome, plan, fv);
        if (outcome.finished || outcome.timedOut || lastCase < static_cast<long>(first)) break;
        first = static_cast<std::size_t>(lastCase) + 1;
    }
    return fv;
}

}  // namespace

ValidationReport ValidateModule(const ValidationOptions& options) {
    ValidationReport report;
    report.module = options.module;
    report.hostVersions = options.hostVersions;
    if (report.hostVersions.empty()) report.hostVersions = ValidationOptions{}.hostVersions;
    report.isolated = options.isolate && kCanIsolate;
    // dlopen looks a bare file name up in the library path; the validator means the file.
    const std::string path =
        options.module.find('/') == std::string::npos ? "./" + options.module : options.module;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        report.moduleFindings.push_back({"module file", 1, "'" + options.module + "' is no file"});
        return report;
    }

    const WorkerOutcome checked = Run(
        [&](RecordSink& sink) { CheckModule(path, report.hostVersions, sink); }, report.isolated);
    for (const std::string& s : GatherModuleChecks(checked, report)) {
        report.functions.push_back(ValidateFunction(path, s, report.hostVersions, report.isolated));
    }
    return report;
}

int RunValidation(const ValidationOptions& options, std::ostream& out, std::ostream& err) {
    ValidationReport report;
    try {
        report = ValidateModule(options);
    } catch (const std::exception& e) {
        err << "error: cannot validate: " << e.what() << "\n";
        return 1;
    }
    out << FormatValidation(report);
    return report.findingCount() == 0 ? 0 : 1;
}

}  // namespace Tools
