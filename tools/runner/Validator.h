// photarion-run --validate MODULE: checks a module the way a host would want it checked before
// trusting it.
//
//  1. The module: its six exports (the loader's ModuleLoadError names missing ones), the link
//     version (2), the reference rules of the link (one environment reference after
//     QZPlugIn_Link_2, unchanged by a second link with the same pointer and by PlugInStartup, none
//     after unloading), every registered signature readable by the host's parser, nothing left
//     behind after unloading, and a fault sweep of the four lifecycle entries.
//  2. Every registered function, called with generated inputs on each host generation: images of
//     every real element kind (float32, float64, int8/16/32, uint8/16/32, binary) in the sizes
//     1x1, 2x3, 7x5 and 16x16, and for the other parameters the value sets 0, 1, -1.5 and a large
//     one (each set given to all of them at once, as the parameter's type allows). Every such call
//     is fault-swept (FaultSweep.h): each host call it makes fails in turn, then answers "stale"
//     in turn. Each call runs on a host of its own with the module loaded afresh, and must leave
//     nothing behind when the module unloads.
//
// Each function is validated in a child process of its own (and the module's checks in another),
// so that a crash is reported with the call that caused it and the remaining calls still run in a
// new child. Where there is no fork (Windows) everything runs in this process, and a crash ends
// the validation.
//
// Which calls. Every element kind meets every size; when a function also takes other values, each
// (kind, size) pair gets one value set, chosen so that every kind also meets every value set and
// every size every value set: all pairs of the three are covered in 36 calls per host rather than
// the 144 of every combination, which find nothing more for a function whose element handling
// and argument handling do not depend on each other. Every call is swept in full (no sampling of
// fault points): on images this small a call makes a few dozen host calls, and our module
// validates in about two seconds (some ten times longer under the sanitizers).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace Tools {

struct ValidationOptions {
    std::string module;
    std::vector<std::uint32_t> hostVersions{0x03040400, 0x030403FF};
    bool isolate = true;  // child processes where the platform has them
};

// One kind of finding (or of informational event) with how often it occurred and where first.
struct ValidationFinding {
    std::string category;  // e.g. "references left behind", "crash"
    int occurrences = 0;
    std::string example;  // the first occurrence: the call and what was found
};

struct FunctionValidation {
    std::string name;
    std::string signature;
    int casesPlanned = 0;
    int casesSwept = 0;
    int hostCalls = 0;    // host calls of the undisturbed calls, added up
    int faultPoints = 0;  // failing and stale runs
    std::string inputs;   // how the cases are made up, e.g. "9 element kinds x 4 sizes x 2 hosts"
    ValidationFinding errorsRaised;  // undisturbed calls that raised an error: informational
    std::vector<std::string> notes;  // e.g. why the function could not be called
    // Catalogue functions its calls used that the stand-in host does not provide: the host's
    // limit (each also a note), never a finding.
    std::vector<std::string> unprovided;
    std::vector<ValidationFinding> findings;
};

struct ValidationReport {
    std::string module;
    std::vector<std::uint32_t> hostVersions;
    std::vector<std::string> moduleChecks;      // passed checks, one line each
    std::vector<std::string> moduleNotes;       // informational, e.g. the host's limits
    std::vector<std::string> moduleUnprovided;  // as FunctionValidation::unprovided
    std::vector<ValidationFinding> moduleFindings;
    std::vector<std::string> lifecycle;  // per host: the entries' host calls and fault points
    int lifecycleFaultPoints = 0;
    std::vector<FunctionValidation> functions;
    bool isolated = false;

    // Distinct findings: per function (and for the module) one per category.
    int findingCount() const;
    int faultPoints() const;  // lifecycle and functions
    // The unprovided functions of the module and of every function, each once.
    std::vector<std::string> unprovided() const;
    const FunctionValidation* function(const std::string& name) const;
};

// Validates; never throws for anything the module does.
ValidationReport ValidateModule(const ValidationOptions& options);

// The readable report, ending with "validated N functions: F findings (P fault points)". A call
// of a host function the stand-in host does not provide is a note, "uses a host function the
// stand-in host does not provide: <signature>", under the module or the function.
std::string FormatValidation(const ValidationReport& report);

// A host version as the report writes it: eight upper-case hexadecimal digits ("030403FF").
std::string VersionText(std::uint32_t version);

// What --validate runs: the report to `out`; answers 0 when there is no finding, 1 otherwise.
int RunValidation(const ValidationOptions& options, std::ostream& out, std::ostream& err);

}  // namespace Tools
