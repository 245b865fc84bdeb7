// The validator's checks, each a worker (ValidationWorkers.h) that reports by records:
//  - CheckModule: the six exports, the link version, the reference rules of the link, every
//    registered signature readable, nothing left behind after unloading, and a fault sweep of the
//    four lifecycle entries on each host generation. Emits a "registered" record per function to
//    validate.
//  - CheckFunction: calls of one function case by case (GeneratedCalls.h), each on a host of its
//    own with the module loaded afresh, fault-swept, and nothing left behind after unloading.
// Both emit an "unprovided" record for each catalogue function the module called that the
// stand-in host does not provide: the host's limit, which the report notes and never counts
// against the module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "GeneratedCalls.h"
#include "ValidationWorkers.h"

namespace Tools::Validation {

void CheckModule(const std::string& path, const std::vector<std::uint32_t>& versions,
                 RecordSink& sink);

// Validates cases [first, end) of the plan; emits a "case" record before each.
void CheckFunction(const std::string& path, const FunctionPlan& plan, std::size_t first,
                   RecordSink& sink);

}  // namespace Tools::Validation
