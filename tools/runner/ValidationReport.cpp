// The validation report: records gathered into it, and its text.
#include "ValidationReport.h"

#include <algorithm>
#include <cstdlib>
#include <iomanip>
#include <sstream>

#include "Wording.h"

namespace Tools {
namespace {

void AddFinding(std::vector<ValidationFinding>& findings, const std::string& category,
                const std::string& example) {
    for (ValidationFinding& f : findings) {
        if (f.category == category) {
            ++f.occurrences;
            return;
        }
    }
    findings.push_back(ValidationFinding{category, 1, example});
}

int ToInt(const std::string& text) { return std::atoi(text.c_str()); }

std::string Indented(const std::string& text, const std::string& indent) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\n') out += indent;
    }
    return out;
}

bool AddOnce(std::vector<std::string>& to, const std::string& text) {
    if (std::find(to.begin(), to.end(), text) != to.end()) return false;
    to.push_back(text);
    return true;
}

// A host function the stand-in host does not provide, as a note and in the list of them.
void AddUnprovided(std::vector<std::string>& list, std::vector<std::string>& notes,
                   const std::string& signature) {
    if (AddOnce(list, signature))
        notes.push_back("uses a host function the stand-in host does not provide: " + signature);
}

}  // namespace

namespace Validation {

std::vector<std::string> GatherModuleChecks(const WorkerOutcome& outcome,
                                            ValidationReport& report) {
    std::vector<std::string> signatures;
    for (const Record& r : outcome.records) {
        const std::string& tag = r[0];
        if (tag == "check" && r.size() >= 2) {
            report.moduleChecks.push_back(r[1]);
        } else if (tag == "finding" && r.size() >= 3) {
            AddFinding(report.moduleFindings, r[1], r[2]);
        } else if (tag == "registered" && r.size() >= 2) {
            signatures.push_back(r[1]);
        } else if (tag == "lifecycle" && r.size() >= 4) {
            report.lifecycleFaultPoints += ToInt(r[3]);
            report.lifecycle.push_back("lifecycle on " + r[1] + ": host calls " + r[2] + "; " +
                                       plural(ToInt(r[3]), "fault point"));
        } else if (tag == "unprovided" && r.size() >= 2) {
            AddUnprovided(report.moduleUnprovided, report.moduleNotes, r[1]);
        } else if (tag == "note" && r.size() >= 2) {
            AddOnce(report.moduleNotes, r[1]);
        } else if (tag == "failure" && r.size() >= 2) {
            AddFinding(report.moduleFindings, "validation failed", r[1]);
        }
    }
    if (!outcome.finished) {
        AddFinding(report.moduleFindings, "crash",
                   (outcome.progress.empty() ? "" : outcome.progress + ": ") + outcome.ending);
    }
    return signatures;
}

long GatherFunctionCalls(const WorkerOutcome& outcome, const FunctionPlan& plan,
                         FunctionValidation& fv) {
    long lastCase = -1;
    for (const Record& r : outcome.records) {
        const std::string& tag = r[0];
        if (tag == "case" && r.size() >= 3) {
            lastCase = ToInt(r[1]);
        } else if (tag == "swept" && r.size() >= 7) {
            ++fv.casesSwept;
            fv.hostCalls += ToInt(r[2]);
            fv.faultPoints += ToInt(r[3]) + ToInt(r[4]);
            if (ToInt(r[5]) > 0) {
                ++fv.errorsRaised.occurrences;
                if (fv.errorsRaised.example.empty()) {
                    fv.errorsRaised.example =
                        plan.cases[static_cast<std::size_t>(ToInt(r[1]))].describe() + ": \"" +
                        r[6] + "\"";
                }
            }
        } else if (tag == "finding" && r.size() >= 3) {
            AddFinding(fv.findings, r[1], r[2]);
        } else if (tag == "note" && r.size() >= 2) {
            AddOnce(fv.notes, r[1]);
        } else if (tag == "unprovided" && r.size() >= 2) {
            AddUnprovided(fv.unprovided, fv.notes, r[1]);
        } else if (tag == "failure" && r.size() >= 2) {
            AddFinding(fv.findings, "validation failed", r[1]);
        }
    }
    if (!outcome.finished) {
        const std::string where = lastCase >= 0
                                      ? plan.cases[static_cast<std::size_t>(lastCase)].describe()
                                      : "before the first call";
        AddFinding(fv.findings, "crash",
                   where + (outcome.progress.empty() ? "" : ", " + outcome.progress) + ": " +
                       outcome.ending);
    }
    return lastCase;
}

}  // namespace Validation

std::string VersionText(std::uint32_t version) {
    std::ostringstream out;
    out << std::uppercase << std::hex << std::setw(8) << std::setfill('0') << version;
    return out.str();
}

int ValidationReport::findingCount() const {
    std::size_t n = moduleFindings.size();
    for (const FunctionValidation& f : functions) n += f.findings.size();
    return static_cast<int>(n);
}

int ValidationReport::faultPoints() const {
    int n = lifecycleFaultPoints;
    for (const FunctionValidation& f : functions) n += f.faultPoints;
    return n;
}

std::vector<std::string> ValidationReport::unprovided() const {
    std::vector<std::string> out = moduleUnprovided;
    for (const FunctionValidation& f : functions) {
        for (const std::string& s : f.unprovided) AddOnce(out, s);
    }
    return out;
}

const FunctionValidation* ValidationReport::function(const std::string& name) const {
    for (const FunctionValidation& f : functions) {
        if (f.name == name) return &f;
    }
    return nullptr;
}

std::string FormatValidation(const ValidationReport& report) {
    std::ostringstream out;
    out << "validating " << report.module << " on host";
    if (report.hostVersions.size() > 1) out << "s";
    for (std::size_t i = 0; i < report.hostVersions.size(); ++i) {
        out << (i == 0                                ? " "
                : i + 1 == report.hostVersions.size() ? " and "
                                                      : ", ")
            << VersionText(report.hostVersions[i]);
    }
    out << (report.isolated ? " (each function in a child process)"
                            : " (in this process: a crash ends the validation)")
        << "\n";
    auto findings = [&](const std::vector<ValidationFinding>& list) {
        for (const ValidationFinding& f : list) {
            out << "  FINDING " << f.category;
            if (f.occurrences > 1) out << " (" << f.occurrences << " times)";
            out << ", first: " << Indented(f.example, "      ") << "\n";
        }
    };
    out << "module\n";
    for (const std::string& c : report.moduleChecks) out << "  ok: " << c << "\n";
    for (const std::string& c : report.lifecycle) out << "  " << c << "\n";
    for (const std::string& n : report.moduleNotes) out << "  note: " << n << "\n";
    findings(report.moduleFindings);
    for (const FunctionValidation& f : report.functions) {
        out << "function " << f.name << ": " << f.signature << "\n";
        for (const std::string& n : f.notes) out << "  note: " << n << "\n";
        if (f.casesPlanned > 0) {
            out << "  calls: " << f.casesSwept << " of " << f.casesPlanned << " (" << f.inputs
                << "), " << plural(f.faultPoints, "fault point") << " over "
                << plural(f.hostCalls, "host call") << "\n";
            out << "  errors raised (informational): ";
            if (f.errorsRaised.occurrences == 0) {
                out << "none\n";
            } else {
                out << "in " << plural(f.errorsRaised.occurrences, "call")
                    << ", first: " << f.errorsRaised.example << "\n";
            }
        }
        findings(f.findings);
        if (f.findings.empty()) out << "  no findings\n";
    }
    if (const std::size_t n = report.unprovided().size(); n > 0) {
        out << "host limits: the module uses " << plural(static_cast<long>(n), "host function")
            << " the stand-in host does not provide (see the notes; not findings)\n";
    }
    out << "validated " << plural(static_cast<long>(report.functions.size()), "function") << ": "
        << plural(report.findingCount(), "finding") << " ("
        << plural(report.faultPoints(), "fault point") << ")\n";
    return out.str();
}

}  // namespace Tools
