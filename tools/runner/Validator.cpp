// The module validator behind photarion-run --validate: see Validator.h.
//
// The work is done by "workers" that emit records (lists of text fields); the parent process
// gathers them into the report. Isolated, a worker runs in a forked child and its records come
// through a pipe, one line each, as they are made, while the run in progress is noted in a page
// shared with the parent (too frequent for the pipe): when the child dies, the last "case" record
// and that note say which call it died in, and a new child carries on after that call.
#include "Validator.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <iterator>
#include <optional>
#include <sstream>

#ifndef _WIN32
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "FaultSweep.h"
#include "ForeignCall.h"
#include "Host.h"
#include "Menus.h"
#include "Module.h"

namespace Tools {
namespace {

using StandIn::ElementType;
using StandIn::ObjectKind;
using StandIn::Param;
using StandIn::ValueKind;

// A child that takes longer than this is stopped and reported; the function's remaining calls
// are not run.
constexpr unsigned kChildTimeLimitSeconds = 600;

const ElementType kElementTypes[] = {
    ElementType::Float32, ElementType::Float64, ElementType::Int8,
    ElementType::Int16,   ElementType::Int32,   ElementType::UInt8,
    ElementType::UInt16,  ElementType::UInt32,  ElementType::Binary,
};
struct ImageSize {
    std::uint32_t width;
    std::uint32_t height;
};
const ImageSize kImageSizes[] = {{1, 1}, {2, 3}, {7, 5}, {16, 16}};
constexpr int kValueSets = 4;
const char* const kValueSetNames[kValueSets] = {"0", "1", "-1.5", "large"};
// The pairing of value sets with (kind, size) covers all pairs only with enough of both.
static_assert(std::size(kImageSizes) >= kValueSets && std::size(kElementTypes) >= kValueSets);

std::string VersionText(std::uint32_t version) {
    std::ostringstream out;
    out << std::uppercase << std::hex << std::setw(8) << std::setfill('0') << version;
    return out.str();
}

// ---- Records --------------------------------------------------------------------------------

using Record = std::vector<std::string>;

#ifndef _WIN32
// One record as one line through the pipe.
std::string Encode(const Record& record) {
    std::string line;
    for (std::size_t i = 0; i < record.size(); ++i) {
        if (i) line += '\t';
        for (char c : record[i]) {
            switch (c) {
                case '\\': line += "\\\\"; break;
                case '\t': line += "\\t"; break;
                case '\n': line += "\\n"; break;
                default: line += c;
            }
        }
    }
    return line;
}

Record Decode(const std::string& line) {
    Record record(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            record.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char n = line[++i];
            record.back() += n == 't' ? '\t' : n == 'n' ? '\n' : n;
        } else {
            record.back() += c;
        }
    }
    return record;
}
#endif

class RecordSink {
  public:
    virtual ~RecordSink() = default;
    virtual void emit(const Record& record) = 0;
    // Notes what the worker is doing now (replacing the last note), for a crash report.
    virtual void progress(const std::string& what) = 0;
};

class VectorSink : public RecordSink {
  public:
    void emit(const Record& record) override { records.push_back(record); }
    void progress(const std::string&) override {}
    std::vector<Record> records;
};

using Worker = std::function<void(RecordSink&)>;

struct WorkerOutcome {
    std::vector<Record> records;
    bool finished = false;  // the worker got to its end
    bool timedOut = false;
    std::string ending;    // how an unfinished child ended
    std::string progress;  // its last progress note
};

void RunWorker(const Worker& work, RecordSink& sink) {
    try {
        work(sink);
    } catch (const std::exception& e) {
        sink.emit({"failure", e.what()});
    } catch (...) {
        sink.emit({"failure", "an exception of unknown type"});
    }
    sink.emit({"done"});
}

WorkerOutcome InProcess(const Worker& work) {
    VectorSink sink;
    RunWorker(work, sink);
    WorkerOutcome outcome;
    outcome.records = std::move(sink.records);
    outcome.finished = true;
    return outcome;
}

#ifndef _WIN32
constexpr bool kCanIsolate = true;

// The progress note, in memory shared by parent and child.
struct ProgressPage {
    char text[512];
};

class PipeSink : public RecordSink {
  public:
    PipeSink(int fd, ProgressPage* page) : fFd(fd), fPage(page) {}
    void progress(const std::string& what) override {
        const std::size_t n = std::min(what.size(), sizeof fPage->text - 1);
        std::memcpy(fPage->text, what.data(), n);
        fPage->text[n] = '\0';
    }
    void emit(const Record& record) override {
        const std::string line = Encode(record) + "\n";
        std::size_t done = 0;
        while (done < line.size()) {
            const ssize_t n = ::write(fFd, line.data() + done, line.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) _exit(3);  // the parent is gone
            done += static_cast<std::size_t>(n);
        }
    }

  private:
    int fFd;
    ProgressPage* fPage;
};

// The shared page, unmapped when the parent is done with it.
class SharedProgress {
  public:
    SharedProgress() {
        void* p = ::mmap(nullptr, sizeof(ProgressPage), PROT_READ | PROT_WRITE,
                         MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::runtime_error(std::string("mmap: ") + std::strerror(errno));
        fPage = static_cast<ProgressPage*>(p);
        fPage->text[0] = '\0';
    }
    ~SharedProgress() { ::munmap(fPage, sizeof(ProgressPage)); }
    SharedProgress(const SharedProgress&) = delete;
    SharedProgress& operator=(const SharedProgress&) = delete;
    ProgressPage* page() const { return fPage; }

  private:
    ProgressPage* fPage;
};

WorkerOutcome InChild(const Worker& work) {
    SharedProgress progress;
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    }
    if (pid == 0) {
        ::close(fds[0]);
        ::alarm(kChildTimeLimitSeconds);
        PipeSink sink(fds[1], progress.page());
        RunWorker(work, sink);
        _exit(0);  // no static destructors, no buffers of the parent flushed twice
    }
    ::close(fds[1]);
    WorkerOutcome outcome;
    std::string pending;
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        pending.append(chunk, static_cast<std::size_t>(n));
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos;
             start = end + 1) {
            outcome.records.push_back(Decode(pending.substr(start, end - start)));
        }
        pending.erase(0, start);
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.finished = !outcome.records.empty() && outcome.records.back() == Record{"done"};
    outcome.progress = progress.page()->text;
    if (!outcome.finished) {
        if (WIFSIGNALED(status)) {
            const int signal = WTERMSIG(status);
            outcome.timedOut = signal == SIGALRM;
            outcome.ending =
                outcome.timedOut
                    ? "stopped after " + std::to_string(kChildTimeLimitSeconds) + " s"
                    : "killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
        } else if (WIFEXITED(status)) {
            outcome.ending =
                "the process exited with status " + std::to_string(WEXITSTATUS(status));
        } else {
            outcome.ending = "the process ended abnormally";
        }
    }
    return outcome;
}
#else
constexpr bool kCanIsolate = false;

WorkerOutcome InChild(const Worker& work) { return InProcess(work); }
#endif

// ---- Leak reports as findings ----------------------------------------------------------------

void EmitLeaks(RecordSink& sink, const StandIn::LeakReport& leaks, const std::string& where) {
    std::string held;
    for (const auto& o : leaks.objects) {
        std::ostringstream line;
        line << "held: " << StandIn::kindName(o.kind) << " 0x" << std::hex << o.handle << std::dec
             << " count " << o.moduleCount;
        if (!o.description.empty()) line << " (" << o.description << ")";
        held += line.str() + "\n";
    }
    for (const auto& i : leaks.interfaces)
        held += "referenced: " + i.what + " x" + std::to_string(i.references) + "\n";
    for (const auto& s : leaks.stringLoans) held += "string loan not returned: " + s + "\n";
    auto emit = [&](StandIn::FindingKind kind, std::string text) {
        if (text.empty()) return;
        text.pop_back();
        sink.emit({"finding", StandIn::findingKindName(kind), where + ":\n" + text});
    };
    emit(StandIn::FindingKind::ReferencesLeft, held);
    std::string locked;
    for (const auto& s : leaks.lockedImages) locked += "image left locked: " + s + "\n";
    emit(StandIn::FindingKind::LocksLeft, locked);
    std::string anomalies;
    for (const auto& s : leaks.anomalies) anomalies += "anomaly: " + s + "\n";
    emit(StandIn::FindingKind::Anomaly, anomalies);
}

// ---- The module's own checks (a worker) -------------------------------------------------------

void CheckModule(const std::string& path, const std::vector<std::uint32_t>& versions,
                 RecordSink& sink) {
    auto finding = [&](const std::string& category, const std::string& text) {
        sink.emit({"finding", category, text});
    };
    sink.progress("loading the module");
    std::optional<StandIn::Module> module;
    try {
        module.emplace(StandIn::Module::load(path));
    } catch (const StandIn::ModuleLoadError& e) {
        finding("exports", e.what());
        return;
    }
    sink.emit({"check", "exports: all six present"});

    sink.progress("asking the link version");
    const std::int32_t version = module->version();
    if (version != Vorna::kLinkVersion) {
        finding("link version", "QZPlugIn_GetVersion answers " + std::to_string(version) +
                                    "; the host speaks " + std::to_string(Vorna::kLinkVersion));
        return;
    }
    sink.emit({"check", "link version: " + std::to_string(Vorna::kLinkVersion)});

    StandIn::Host host(versions.front());
    StandIn::Menus menus(host);  // the host's menu and tool functions, as a real host has them
    sink.progress("linking");
    module->link(host);
    const int afterLink = host.environmentReferences();
    module->link(host);
    const int afterRelink = host.environmentReferences();
    sink.progress("starting up");
    module->startup();
    const int afterStartup = host.environmentReferences();
    for (const StandIn::RaisedError& e : host.raisedErrorRecords()) {
        finding("startup failed", "PlugInStartup raised \"" + e.message + "\"");
    }
    std::vector<std::string> signatures;
    for (const StandIn::Registration& r : host.registrations()) {
        try {
            StandIn::parseSignature(r.signature);
            if (r.entry) signatures.push_back(r.signature);
        } catch (const StandIn::SignatureError& e) {
            finding("signature", "\"" + r.signature + "\" does not parse: " + e.what());
        }
    }
    auto isRegistration = [](const std::string& anomaly) {
        return anomaly.rfind("registration", 0) == 0;
    };
    for (const std::string& a : host.anomalies()) {
        if (isRegistration(a)) finding("registration", a);
    }
    sink.progress("shutting down and unloading");
    module->shutdown();
    const bool gone = module->unload();
    const int afterUnload = host.environmentReferences();
    const std::string counts = std::to_string(afterLink) + " after link, " +
                               std::to_string(afterRelink) + " after the same link again, " +
                               std::to_string(afterStartup) + " after startup, " +
                               std::to_string(afterUnload) + " after unload";
    if (afterLink == 1 && afterRelink == 1 && afterStartup == 1 && afterUnload == 0) {
        sink.emit({"check", "environment references: " + counts});
    } else {
        finding("environment references", counts + " (expected 1, 1, 1, 0)");
    }
    if (!gone)
        finding(StandIn::findingKindName(StandIn::FindingKind::NotUnloaded),
                "the library stays loaded");
    StandIn::LeakReport leaks = host.leakReport();
    // Refused registrations were reported above.
    leaks.anomalies.erase(
        std::remove_if(leaks.anomalies.begin(), leaks.anomalies.end(), isRegistration),
        leaks.anomalies.end());
    EmitLeaks(sink, leaks, "after unloading");
    sink.emit(
        {"check",
         "registered functions: " + std::to_string(signatures.size()) +
             (signatures.size() == host.registrations().size() ? ", every signature parses" : "")});

    for (std::uint32_t v : versions) {
        StandIn::Host lifecycleHost(v);
        StandIn::Menus lifecycleMenus(lifecycleHost);
        StandIn::SweepOptions options;
        const std::string hostText = "host " + VersionText(v);
        options.beforeRun = [&](const std::string& run) {
            sink.progress("lifecycle on " + hostText + ", " + run);
        };
        const StandIn::SweepReport report = StandIn::SweepLifecycle(
            lifecycleHost, [&] { return StandIn::Module::load(path); }, options);
        std::string calls;
        for (const StandIn::SweptCallCounts& c : report.calls) {
            calls +=
                (calls.empty() ? "" : ", ") + std::to_string(c.hostCalls) + " in " + c.caseName;
        }
        sink.emit({"lifecycle", hostText, calls, std::to_string(report.faultPoints())});
        for (const StandIn::SweepFinding& f : report.findings) {
            sink.emit({"finding", StandIn::findingKindName(f.kind),
                       "lifecycle on " + hostText + ", " + f.caseName + ", " + f.fault + ":\n" +
                           f.detail});
        }
    }
    for (const std::string& s : signatures) sink.emit({"registered", s});
}

// ---- Calling a function with generated arguments ----------------------------------------------

enum class Supply {
    ImageAddress,   // ImageRef *: the address of an image handle
    ImageHandle,    // an image type by value
    StringHandle,   // qz_string
    ObjectHandle,   // another object kind: an empty object of that kind
    ObjectAddress,  // a pointer to another object kind's handle
    Text,           // string
    Number,
    NumberAddress,  // a pointer to a number
};

struct ParamPlan {
    Supply supply = Supply::Number;
    ForeignType foreign = ForeignType::Int32;  // of the number (also behind a pointer)
    ValueKind kind = ValueKind::Long;
    ObjectKind objectKind = ObjectKind::Image;
};

std::optional<ForeignType> NumberType(const Param& p) {
    switch (p.kind) {
        case ValueKind::Boolean: return ForeignType::UInt8;
        case ValueKind::Char: return ForeignType::Int8;
        case ValueKind::Short: return ForeignType::Int16;
        case ValueKind::UInt16: return ForeignType::UInt16;
        case ValueKind::Long:
            if (p.carriesAddress) return std::nullopt;
            return ForeignType::Int32;
        case ValueKind::ULong:
        case ValueKind::RGB:
        case ValueKind::Token: return ForeignType::UInt32;
        case ValueKind::Float: return ForeignType::Float;
        case ValueKind::Double: return ForeignType::Double;
        default: return std::nullopt;
    }
}

std::optional<ParamPlan> PlanParam(const Param& p) {
    ParamPlan plan;
    plan.kind = p.kind;
    if (p.kind == ValueKind::Object && p.objectKind) {
        plan.objectKind = *p.objectKind;
        if (plan.objectKind == ObjectKind::Image) {
            plan.supply = p.pointer ? Supply::ImageAddress : Supply::ImageHandle;
        } else if (plan.objectKind == ObjectKind::String && !p.pointer) {
            plan.supply = Supply::StringHandle;
        } else {
            plan.supply = p.pointer ? Supply::ObjectAddress : Supply::ObjectHandle;
        }
        plan.foreign = p.pointer ? ForeignType::Pointer : ForeignType::UInt32;
        return plan;
    }
    if (p.kind == ValueKind::Text && !p.pointer) {
        plan.supply = Supply::Text;
        plan.foreign = ForeignType::Pointer;
        return plan;
    }
    std::optional<ForeignType> number = NumberType(p);
    if (!number) return std::nullopt;
    plan.supply = p.pointer ? Supply::NumberAddress : Supply::Number;
    plan.foreign = *number;
    return plan;
}

struct ResultPlan {
    ForeignType foreign = ForeignType::Void;
    bool object = false;
};

std::optional<ResultPlan> PlanResult(const Param& r) {
    if (r.pointer) return std::nullopt;
    if (r.kind == ValueKind::Void) return ResultPlan{};
    if (r.kind == ValueKind::Object) return ResultPlan{ForeignType::UInt32, true};
    std::optional<ForeignType> number = NumberType(r);
    if (!number) return std::nullopt;
    return ResultPlan{*number, false};
}

ForeignValue NumberValue(const ParamPlan& plan, int set) {
    const bool low = set < 2;  // 0 and 1 are the same for every type
    switch (plan.foreign) {
        case ForeignType::UInt8:  // Boolean
            return ForeignValue::uint8(set == 0 ? 0 : 1);
        case ForeignType::Int8:
            return ForeignValue::int8(static_cast<std::int8_t>(low ? set : set == 2 ? -1 : 127));
        case ForeignType::Int16:
            return ForeignValue::int16(static_cast<std::int16_t>(low        ? set
                                                                 : set == 2 ? -1
                                                                            : INT16_MAX));
        case ForeignType::UInt16:
            return ForeignValue::uint16(static_cast<std::uint16_t>(low        ? set
                                                                   : set == 2 ? 2
                                                                              : UINT16_MAX));
        case ForeignType::Int32: return ForeignValue::int32(low ? set : set == 2 ? -1 : INT32_MAX);
        case ForeignType::UInt32:
            return ForeignValue::uint32(low        ? static_cast<std::uint32_t>(set)
                                        : set == 2 ? 2u
                                                   : UINT32_MAX);
        case ForeignType::Float:
            return ForeignValue::float32(low ? static_cast<float>(set) : set == 2 ? -1.5f : 1e30f);
        default: return ForeignValue::float64(low ? set : set == 2 ? -1.5 : 1e30);
    }
}

const std::string& TextValue(int set) {
    static const std::string kTexts[kValueSets] = {"", "1", "-1.5", std::string(1000, 'x')};
    return kTexts[set];
}

// Deterministic element values of every kind: small, mixed signs where the type has them.
std::vector<unsigned char> ImageBytes(ElementType type, std::size_t count) {
    const std::size_t size = StandIn::elementSize(type);
    std::vector<unsigned char> bytes(count * size);
    for (std::size_t i = 0; i < count; ++i) {
        const int pattern = static_cast<int>(i * 37 % 23) - 11;
        unsigned char* at = bytes.data() + i * size;
        auto put = [&](auto value) { std::memcpy(at, &value, sizeof value); };
        switch (type) {
            case ElementType::Float32: put(static_cast<float>(pattern) * 0.75f); break;
            case ElementType::Float64: put(static_cast<double>(pattern) * 0.375); break;
            case ElementType::Int8: put(static_cast<std::int8_t>(pattern)); break;
            case ElementType::Int16: put(static_cast<std::int16_t>(pattern * 300)); break;
            case ElementType::Int32: put(static_cast<std::int32_t>(pattern * 70000)); break;
            case ElementType::UInt8: put(static_cast<std::uint8_t>(pattern + 11)); break;
            case ElementType::UInt16: put(static_cast<std::uint16_t>((pattern + 11) * 2000)); break;
            case ElementType::UInt32:
                put(static_cast<std::uint32_t>((pattern + 11) * 190000));
                break;
            case ElementType::Binary: put(static_cast<std::uint8_t>(i % 2)); break;
            default: break;
        }
    }
    return bytes;
}

// One validated call: the host generation, the input image and the set of other values.
struct Case {
    std::uint32_t version = 0;
    bool image = false;
    ElementType type = ElementType::Float32;
    ImageSize size{1, 1};
    int valueSet = -1;  // -1: the function takes no other values

    std::string describe() const {
        std::string text;
        if (image) {
            text = std::string(StandIn::elementTypeName(type)) + " " + std::to_string(size.width) +
                   "x" + std::to_string(size.height);
        }
        if (valueSet >= 0)
            text += (text.empty() ? "" : ", ") + std::string("values ") + kValueSetNames[valueSet];
        return text + (text.empty() ? "" : ", ") + "host " + VersionText(version);
    }
};

struct FunctionPlan {
    StandIn::Signature signature;
    std::vector<ParamPlan> params;
    ResultPlan result;
    std::vector<Case> cases;
    std::string inputs;   // how the cases are made up
    std::string refusal;  // why the function cannot be called, if it cannot
};

FunctionPlan PlanFunction(const std::string& signatureText,
                          const std::vector<std::uint32_t>& versions) {
    FunctionPlan plan;
    plan.signature = StandIn::parseSignature(signatureText);
    const StandIn::Signature& sig = plan.signature;
    std::optional<ResultPlan> result = PlanResult(sig.result);
    if (!result) {
        plan.refusal = "its result type " + sig.result.spelling() + " cannot be received";
        return plan;
    }
    plan.result = *result;
    bool image = false;
    bool values = false;
    for (std::size_t i = 0; i < sig.params.size(); ++i) {
        std::optional<ParamPlan> p = PlanParam(sig.params[i]);
        if (!p) {
            plan.refusal = "parameter " + std::to_string(i + 1) + " of type " +
                           sig.params[i].spelling() + " cannot be supplied";
            return plan;
        }
        image = image || p->supply == Supply::ImageAddress || p->supply == Supply::ImageHandle;
        values = values || p->supply == Supply::Number || p->supply == Supply::NumberAddress ||
                 p->supply == Supply::Text || p->supply == Supply::StringHandle;
        plan.params.push_back(*p);
    }
    // With images and other values both, the value set of element kind t at size s is
    // (t + s) mod 4: every kind meets every size, every kind every value set and every size every
    // value set (all pairs), in a quarter of the calls of every combination.
    const std::string hosts =
        std::to_string(versions.size()) + " host" + (versions.size() == 1 ? "" : "s");
    if (image) {
        plan.inputs =
            std::to_string(std::size(kElementTypes)) + " element kinds x " +
            std::to_string(std::size(kImageSizes)) + " sizes x " + hosts +
            (values ? ", " + std::to_string(kValueSets) + " value sets paired with them" : "");
    } else {
        plan.inputs = (values ? std::to_string(kValueSets) + " value sets x " : "") + hosts;
    }
    for (std::uint32_t v : versions) {
        const std::size_t sizeCount = image ? std::size(kImageSizes) : 1;
        const std::size_t typeCount = image ? std::size(kElementTypes) : 1;
        for (std::size_t s = 0; s < sizeCount; ++s) {
            for (std::size_t t = 0; t < typeCount; ++t) {
                const int pairedSet = static_cast<int>((t + s) % kValueSets);
                for (int set = 0; set < (values && !image ? kValueSets : 1); ++set) {
                    Case c;
                    c.version = v;
                    c.image = image;
                    c.type = kElementTypes[t];
                    c.size = kImageSizes[s];
                    c.valueSet = !values ? -1 : image ? pairedSet : set;
                    plan.cases.push_back(c);
                }
            }
        }
    }
    return plan;
}

// The swept call of one case: makes the arguments, calls the entry through libffi and answers
// what it returned.
StandIn::SweptCall MakeCall(const FunctionPlan& plan, const Case& c, void* entry) {
    return [&plan, c, entry](StandIn::CallInputs& inputs) -> StandIn::CallResult {
        const std::size_t n = plan.params.size();
        std::vector<Vorna::Handle> handles(n, 0);  // the words that Address supplies point to
        std::vector<ForeignValue> numbers(n);      // what NumberAddress supplies points to
        std::vector<ForeignValue> arguments;
        for (std::size_t i = 0; i < n; ++i) {
            const ParamPlan& p = plan.params[i];
            const int set = std::max(c.valueSet, 0);
            switch (p.supply) {
                case Supply::ImageAddress:
                case Supply::ImageHandle: {
                    StandIn::ImageSpec spec;
                    spec.type = c.type;
                    spec.sizes = {c.size.width, c.size.height};
                    spec.name = "input";
                    const std::vector<unsigned char> bytes =
                        ImageBytes(c.type, std::size_t{c.size.width} * c.size.height);
                    handles[i] = inputs.image(spec, bytes.data(), bytes.size());
                    arguments.push_back(p.supply == Supply::ImageAddress
                                            ? ForeignValue::pointer(&handles[i])
                                            : ForeignValue::uint32(handles[i]));
                    break;
                }
                case Supply::StringHandle:
                    handles[i] = inputs.string(TextValue(set));
                    arguments.push_back(ForeignValue::uint32(handles[i]));
                    break;
                case Supply::ObjectHandle:
                case Supply::ObjectAddress:
                    handles[i] = inputs.object(p.objectKind);
                    arguments.push_back(p.supply == Supply::ObjectAddress
                                            ? ForeignValue::pointer(&handles[i])
                                            : ForeignValue::uint32(handles[i]));
                    break;
                case Supply::Text:
                    arguments.push_back(
                        ForeignValue::pointer(const_cast<char*>(TextValue(set).c_str())));
                    break;
                case Supply::Number: arguments.push_back(NumberValue(p, set)); break;
                case Supply::NumberAddress:
                    numbers[i] = NumberValue(p, set);
                    arguments.push_back(ForeignValue::pointer(&numbers[i].d));
                    break;
            }
        }
        const ForeignValue answer = callForeign(entry, plan.result.foreign, arguments);
        StandIn::CallResult result;
        if (plan.result.object) {
            result.handle = answer.u32;
        } else if (plan.result.foreign != ForeignType::Void) {
            // The value's bytes (the union starts with the value whatever its width).
            std::size_t width = 8;
            switch (plan.result.foreign) {
                case ForeignType::UInt8:
                case ForeignType::Int8: width = 1; break;
                case ForeignType::Int16:
                case ForeignType::UInt16: width = 2; break;
                case ForeignType::Int32:
                case ForeignType::UInt32:
                case ForeignType::Float: width = 4; break;
                default: break;
            }
            result.value.assign(reinterpret_cast<const char*>(&answer.d), width);
        }
        return result;
    };
}

// Validates cases [first, end) of one function (a worker).
void CheckFunction(const std::string& path, const FunctionPlan& plan, std::size_t first,
                   RecordSink& sink) {
    const std::string& name = plan.signature.name;
    for (std::size_t i = first; i < plan.cases.size(); ++i) {
        const Case& c = plan.cases[i];
        const std::string where = c.describe();
        sink.emit({"case", std::to_string(i), where});
        sink.progress("loading and starting the module");
        StandIn::Host host(c.version);
        StandIn::Menus menus(host);
        StandIn::Module module = StandIn::Module::load(path);
        module.link(host);
        module.startup();
        void* entry = nullptr;
        for (const StandIn::Registration& r : host.registrations()) {
            if (!r.withdrawn && r.signature == plan.signature.text) entry = r.entry;
        }
        if (!entry) {
            sink.emit({"note", "not registered on host " + VersionText(c.version)});
            continue;
        }
        StandIn::SweepOptions options;
        options.beforeRun = [&](const std::string& run) { sink.progress(run); };
        const StandIn::SweepReport report =
            StandIn::SweepCall(host, name, where, MakeCall(plan, c, entry), options);
        for (const StandIn::SweptCallCounts& counts : report.calls) {
            sink.emit({"swept", std::to_string(i), std::to_string(counts.hostCalls),
                       std::to_string(counts.failurePoints), std::to_string(counts.stalePoints),
                       std::to_string(counts.raisedUndisturbed), counts.firstRaised});
        }
        for (const StandIn::SweepFinding& f : report.findings) {
            sink.emit({"finding", StandIn::findingKindName(f.kind),
                       where + ", " + f.fault + ":\n" + f.detail});
        }
        sink.progress("shutting down and unloading");
        module.shutdown();
        if (!module.unload()) {
            sink.emit({"finding", StandIn::findingKindName(StandIn::FindingKind::NotUnloaded),
                       where + ": the library stays loaded"});
        }
        EmitLeaks(sink, host.leakReport(), where + ", after unloading");
    }
}

// ---- Gathering ---------------------------------------------------------------------------------

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
        const Worker work = [&](RecordSink& sink) { CheckFunction(path, plan, first, sink); };
        const WorkerOutcome outcome = isolate ? InChild(work) : InProcess(work);
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
                if (std::find(fv.notes.begin(), fv.notes.end(), r[1]) == fv.notes.end())
                    fv.notes.push_back(r[1]);
            } else if (tag == "failure" && r.size() >= 2) {
                AddFinding(fv.findings, "validation failed", r[1]);
            }
        }
        if (outcome.finished) break;
        const std::string where = lastCase >= 0
                                      ? plan.cases[static_cast<std::size_t>(lastCase)].describe()
                                      : "before the first call";
        AddFinding(fv.findings, "crash",
                   where + (outcome.progress.empty() ? "" : ", " + outcome.progress) + ": " +
                       outcome.ending);
        if (outcome.timedOut || lastCase < static_cast<long>(first)) break;
        first = static_cast<std::size_t>(lastCase) + 1;
    }
    return fv;
}

std::string Indented(const std::string& text, const std::string& indent) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\n') out += indent;
    }
    return out;
}

std::string Plural(long n, const std::string& word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace

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

const FunctionValidation* ValidationReport::function(const std::string& name) const {
    for (const FunctionValidation& f : functions) {
        if (f.name == name) return &f;
    }
    return nullptr;
}

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

    const Worker moduleWork = [&](RecordSink& sink) {
        CheckModule(path, report.hostVersions, sink);
    };
    const WorkerOutcome checked = report.isolated ? InChild(moduleWork) : InProcess(moduleWork);
    std::vector<std::string> signatures;
    for (const Record& r : checked.records) {
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
                                       Plural(ToInt(r[3]), "fault point"));
        } else if (tag == "failure" && r.size() >= 2) {
            AddFinding(report.moduleFindings, "validation failed", r[1]);
        }
    }
    if (!checked.finished) {
        AddFinding(report.moduleFindings, "crash",
                   (checked.progress.empty() ? "" : checked.progress + ": ") + checked.ending);
    }
    for (const std::string& s : signatures) {
        report.functions.push_back(ValidateFunction(path, s, report.hostVersions, report.isolated));
    }
    return report;
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
    findings(report.moduleFindings);
    for (const FunctionValidation& f : report.functions) {
        out << "function " << f.name << ": " << f.signature << "\n";
        for (const std::string& n : f.notes) out << "  note: " << n << "\n";
        if (f.casesPlanned > 0) {
            out << "  calls: " << f.casesSwept << " of " << f.casesPlanned << " (" << f.inputs
                << "), " << Plural(f.faultPoints, "fault point") << " over "
                << Plural(f.hostCalls, "host call") << "\n";
            out << "  errors raised (informational): ";
            if (f.errorsRaised.occurrences == 0) {
                out << "none\n";
            } else {
                out << "in " << Plural(f.errorsRaised.occurrences, "call")
                    << ", first: " << f.errorsRaised.example << "\n";
            }
        }
        findings(f.findings);
        if (f.findings.empty()) out << "  no findings\n";
    }
    out << "validated " << Plural(static_cast<long>(report.functions.size()), "function") << ": "
        << Plural(report.findingCount(), "finding") << " ("
        << Plural(report.faultPoints(), "fault point") << ")\n";
    return out.str();
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
