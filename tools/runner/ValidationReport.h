// Gathering the workers' records into the validation report (its text is FormatValidation in
// Validator.h). A finding of a category already found counts as one more occurrence of it.
#pragma once

#include <string>
#include <vector>

#include "GeneratedCalls.h"
#include "ValidationWorkers.h"
#include "Validator.h"

namespace Tools::Validation {

// The records of CheckModule: passed checks, findings, lifecycle counts; a crash of its worker.
// Answers the signatures to validate.
std::vector<std::string> GatherModuleChecks(const WorkerOutcome& outcome, ValidationReport& report);

// The records of one CheckFunction worker, and a crash finding when it did not finish. Answers
// the index of the last case the worker began, -1 when it began none.
long GatherFunctionCalls(const WorkerOutcome& outcome, const FunctionPlan& plan,
                         FunctionValidation& function);

}  // namespace Tools::Validation
