// The runner's session: a module loaded into the stand-in host and one of its functions called
// with the arguments of the command line.
#include "Session.h"

#include <chrono>
#include <filesystem>
#include <iomanip>
#include <optional>
#include <sstream>

#include "ArgumentValues.h"
#include "CallPlan.h"
#include "ForeignCall.h"
#include "Host.h"
#include "ImageIO.h"
#include "ImageResult.h"
#include "Menus.h"
#include "Module.h"
#include "Runner.h"
#include "Wording.h"

namespace Tools {
namespace {

using StandIn::ObjectKind;
using StandIn::Param;

std::string typeList(const StandIn::Signature& sig) {
    std::string text;
    for (const Param& p : sig.params) text += (text.empty() ? "" : ", ") + p.spelling();
    return text;
}

// What a command-line word can become: not another host object (no text makes a TagGroup) nor a
// number behind a pointer (the function's to write, and the runner prints no such value); the
// validator supplies both.
bool fromCommandLine(const ParamPlan& plan) {
    return plan.supply != Supply::ObjectHandle && plan.supply != Supply::ObjectAddress &&
           plan.supply != Supply::NumberAddress;
}

// What a parameter wants, for the message about an argument that is not one.
std::string expectation(const Param& p, const ParamPlan& plan) {
    if (plan.supply != Supply::Number) return p.spelling();
    switch (plan.reading) {
        case NumberReading::Integer:
            return "a whole number from " + std::to_string(plan.min) + " to " +
                   std::to_string(plan.max);
        case NumberReading::Real: return "a number";
        case NumberReading::Boolean: return "true or false";
    }
    return p.spelling();
}

// dlopen looks a bare file name up in the library path; the runner means the file.
std::string libraryPath(const std::string& path) {
    return path.find('/') == std::string::npos ? "./" + path : path;
}

std::string imageNameOf(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

// Host objects the runner made for a call (input images, strings): the runner holds one host
// count on each and gives it back when the call is over.
class MadeObjects {
  public:
    explicit MadeObjects(StandIn::Host& host) : fHost(host) {}
    ~MadeObjects() {
        for (Vorna::Handle h : fHandles) {
            if (fHost.hostReferences(h) > 0) fHost.drop(h);
        }
    }
    MadeObjects(const MadeObjects&) = delete;
    MadeObjects& operator=(const MadeObjects&) = delete;
    Vorna::Handle add(Vorna::Handle h) {
        fHandles.push_back(h);
        return h;
    }

  private:
    StandIn::Host& fHost;
    std::vector<Vorna::Handle> fHandles;
};

class Session {
  public:
    Session(const Options& options, std::ostream& out, std::ostream& err)
        : fOptions(options),
          fOut(out),
          fErr(err),
          fHost(options.hostVersion.value_or(StandIn::kDefaultHostVersion)) {
        interceptOutput();
        StandIn::DialogAnswers answers;
        answers.inOrder = options.dialogAnswers;
        fHost.setDialogAnswers(answers);
    }

    int run() {
        const std::string path = libraryPath(fOptions.module);
        std::error_code ec;
        auto status = std::filesystem::status(path, ec);
        if (!std::filesystem::exists(status))
            return fail("module file '" + fOptions.module + "' not found");
        if (std::filesystem::is_directory(status))
            return fail("module '" + fOptions.module + "' is a directory");
        std::optional<StandIn::Module> module;
        try {
            module.emplace(StandIn::Module::load(path));
        } catch (const StandIn::ModuleLoadError& e) {
            return fail(std::string("cannot load module: ") + e.what());
        }
        int result = runLoaded(*module);
        return std::max(result, finish(*module));
    }

  private:
    int fail(const std::string& message, int status = kExitFailure) {
        fErr << "error: " << message << "\n";
        return status;
    }

    // Results text to stdout as it arrives; alerts to stderr, each one a failure.
    void interceptOutput() {
        fHost.define("void Result( qz_string )", [this](StandIn::NativeCall& c) {
            Vorna::Handle s = c.handle(0);
            if (!fHost.isAlive(s) || fHost.kindOf(s) != ObjectKind::String) {
                throw StandIn::ScriptError("Result: " + StandIn::hexHandle(s) +
                                           " is not a valid string.");
            }
            fOut << fHost.readString(s) << std::flush;
        });
        fHost.define("void ShowAlert( string, long )", [this](StandIn::NativeCall& c) {
            fErr << "error: " << c.text(0) << "\n";
            ++fAlerts;
        });
    }

    // Prints the errors the module raised since the last check; answers whether there were any
    // (alerts included). A host function the stand-in host does not provide, called since, is
    // named with the host's message unless an error printed carried it.
    bool newFailures() {
        const auto& raised = fHost.raisedErrorRecords();
        bool any = fAlerts != fAlertsSeen;
        fAlertsSeen = fAlerts;
        for (; fErrorsSeen < raised.size(); ++fErrorsSeen) {
            const StandIn::RaisedError& e = raised[fErrorsSeen];
            const std::string text = e.throwable ? e.message : "(an error without a Throwable)";
            fErr << "error: " << text << "\n";
            fPrinted += text + "\n";
            any = true;
        }
        const std::vector<std::string>& unprovided = fHost.unprovidedCalls();
        for (; fUnprovidedSeen < unprovided.size(); ++fUnprovidedSeen) {
            const std::string message = StandIn::notProvidedMessage(unprovided[fUnprovidedSeen]);
            if (fPrinted.find(message) == std::string::npos) fErr << "note: " << message << "\n";
        }
        return any;
    }

    int runLoaded(StandIn::Module& module) {
        const std::int32_t version = module.version();
        if (version != Vorna::kLinkVersion) {
            return fail("the module speaks link version " + std::to_string(version) +
                        "; this host speaks version " + std::to_string(Vorna::kLinkVersion));
        }
        module.link(fHost);
        module.startup();
        fStarted = true;
        if (newFailures()) return fail("the module failed to start");
        if (fOptions.list) {
            for (const StandIn::Registration& r : fHost.registrations()) {
                if (!r.withdrawn) fOut << r.signature << "\n";
            }
        }
        if (int status = useMenus(); status != kExitSuccess) return status;
        if (fOptions.function.empty()) return kExitSuccess;
        const StandIn::Registration* registration = findRegistration();
        if (!registration) return unknownFunction();
        StandIn::Signature sig;
        try {
            sig = StandIn::parseRegistrationSignature(registration->signature);
        } catch (const StandIn::SignatureError& e) {
            return fail("cannot read the signature of " + fOptions.function + ": " + e.what());
        }
        return call(*registration, sig);
    }

    // --menus and --choose: reads the module's menus and chooses its commands as the user would.
    int useMenus() {
        try {
            if (fOptions.menus) fOut << fMenus.describe();
            for (const MenuCommand& c : fOptions.commands) {
                const std::string command = std::to_string(c.id1) + "," + std::to_string(c.id2);
                const bool handled = fMenus.choose(c.id1, c.id2);
                if (newFailures()) return fail("menu command " + command + " failed");
                if (!handled) return fail("no menu of the module handles command " + command);
            }
        } catch (const StandIn::ModuleError& e) {
            return fail(std::string("the module's menus reported: ") + e.what());
        } catch (const std::logic_error& e) {
            return fail(std::string("cannot choose a menu command: ") + e.what());
        }
        return kExitSuccess;
    }

    // The live registration of the function; among several of one name, the first whose
    // parameter count matches the arguments.
    const StandIn::Registration* findRegistration() const {
        const StandIn::Registration* first = nullptr;
        for (const StandIn::Registration& r : fHost.registrations()) {
            if (r.withdrawn || r.name != fOptions.function) continue;
            if (!first) first = &r;
            try {
                if (StandIn::parseRegistrationSignature(r.signature).params.size() ==
                    fOptions.arguments.size())
                    return &r;
            } catch (const StandIn::SignatureError&) {
            }
        }
        return first;
    }

    int unknownFunction() {
        std::string names;
        for (const StandIn::Registration& r : fHost.registrations()) {
            if (!r.withdrawn) names += (names.empty() ? "" : ", ") + r.name;
        }
        return fail("the module registers no function '" + fOptions.function + "'; " +
                        (names.empty() ? "it registers none" : "it registers: " + names),
                    kExitUsage);
    }

    int call(const StandIn::Registration& registration, const StandIn::Signature& sig) {
        const std::string& name = fOptions.function;
        std::optional<ResultPlan> resultPlan = planResult(sig.result);
        if (!resultPlan) {
            return fail(name + " returns " + sig.result.spelling() +
                        ", which the runner cannot receive");
        }
        std::vector<ParamPlan> plans;
        for (std::size_t i = 0; i < sig.params.size(); ++i) {
            std::optional<ParamPlan> plan = planParam(sig.params[i]);
            if (!plan || !fromCommandLine(*plan)) {
                return fail("parameter " + std::to_string(i + 1) + " of " + name + " is of type " +
                            sig.params[i].spelling() + ", which the runner cannot supply");
            }
            plans.push_back(*plan);
        }
        if (fOptions.arguments.size() != sig.params.size()) {
            std::string types = sig.params.empty() ? "" : " (" + typeList(sig) + ")";
            return fail(name + " takes " + plural(sig.params.size(), "argument") + types + ", " +
                            std::to_string(fOptions.arguments.size()) +
                            " given; its signature is " + sig.text,
                        kExitUsage);
        }
        if ((!fOptions.tiffOut.empty() || !fOptions.pngOut.empty()) && !resultPlan->image) {
            return fail("-o and --png write an image result, but " + name + " returns " +
                            sig.result.spelling(),
                        kExitUsage);
        }
        // An output that cannot be written would waste the computation.
        for (const std::string* path : {&fOptions.tiffOut, &fOptions.pngOut}) {
            if (path->empty()) continue;
            try {
                checkWritable(*path);
            } catch (const ImageIOError& e) {
                return fail(std::string(e.what()) + "; " + name + " was not called");
            }
        }

        // Everything the arguments point to lives until the call is over.
        MadeObjects made(fHost);
        std::vector<Vorna::Handle> handles(sig.params.size(), 0);
        std::vector<ForeignValue> values;
        for (std::size_t i = 0; i < sig.params.size(); ++i) {
            std::optional<ForeignValue> v = argument(i, sig.params[i], plans[i], made, handles[i]);
            if (!v) return fArgumentStatus;
            values.push_back(*v);
        }
        if (fOptions.show || !fOptions.rois.empty()) {
            if (int status = showFirstImage(sig, plans, handles)) return status;
        }

        const auto start = std::chrono::steady_clock::now();
        ForeignValue result;
        try {
            result = callForeign(registration.entry, resultPlan->foreign, values);
        } catch (const ForeignCallError& e) {
            return fail("cannot call " + name + ": " + e.what());
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (fOptions.time) reportTime(elapsed.count());

        const bool failed = newFailures();
        if (resultPlan->object) {
            return std::max(failed ? kExitFailure : kExitSuccess,
                            takeResult(result.u32, *resultPlan, failed));
        }
        if (failed) return kExitFailure;
        if (resultPlan->foreign == ForeignType::Void) return kExitSuccess;
        if (resultPlan->reading == NumberReading::Boolean) {
            fOut << (result.u8 != 0 ? "true" : "false") << "\n";
        } else {
            fOut << formatNumber(result) << "\n";
        }
        return kExitSuccess;
    }

    // One argument's value; on failure prints why, sets fArgumentStatus and answers nothing.
    std::optional<ForeignValue> argument(std::size_t i, const Param& p, const ParamPlan& plan,
                                         MadeObjects& made, Vorna::Handle& handle) {
        const std::string& text = fOptions.arguments[i];
        switch (plan.supply) {
            case Supply::ImageAddress:
            case Supply::ImageHandle: {
                std::optional<Vorna::Handle> image = readImage(text, made);
                if (!image) return std::nullopt;
                handle = *image;
                return plan.supply == Supply::ImageAddress ? ForeignValue::pointer(&handle)
                                                           : ForeignValue::uint32(handle);
            }
            case Supply::StringHandle:
                handle = made.add(fHost.makeString(text));
                return ForeignValue::uint32(handle);
            case Supply::Text: return ForeignValue::pointer(const_cast<char*>(text.c_str()));
            case Supply::Number:
                if (std::optional<ForeignValue> v = parseNumber(plan, text)) return v;
                break;
            case Supply::ObjectHandle:
            case Supply::ObjectAddress:
            case Supply::NumberAddress: break;  // refused when planned
        }
        fArgumentStatus = fail("argument " + std::to_string(i + 1) + " of " + fOptions.function +
                                   ", '" + text + "', is not " +
                                   (plan.reading == NumberReading::Boolean
                                        ? expectation(p, plan)
                                        : "a " + p.spelling() + " (" + expectation(p, plan) + ")"),
                               kExitUsage);
        return std::nullopt;
    }

    // --show and --roi: the first image argument shown as the application shows an image it
    // opened, with the regions on its display.
    int showFirstImage(const StandIn::Signature& sig, const std::vector<ParamPlan>& plans,
                       const std::vector<Vorna::Handle>& handles) {
        for (std::size_t i = 0; i < sig.params.size(); ++i) {
            if (plans[i].supply != Supply::ImageAddress && plans[i].supply != Supply::ImageHandle)
                continue;
            const Vorna::Handle display = fHost.showImage(handles[i]);
            for (const StandIn::RoiSpec& spec : fOptions.rois) {
                const Vorna::Handle roi = fHost.makeRoi(spec);
                fHost.addRoi(display, roi);
                fHost.drop(roi);  // the display holds it now
            }
            return kExitSuccess;
        }
        return fail(
            "--show and --roi need an image argument, and " + fOptions.function + " takes none",
            kExitUsage);
    }

    std::optional<Vorna::Handle> readImage(const std::string& path, MadeObjects& made) {
        try {
            Raster r = Tools::readImage(path);
            return made.add(fHost.createImage(imageSpecOf(r, imageNameOf(path)), r.bytes.data(),
                                              r.bytes.size()));
        } catch (const ImageIOError& e) {
            fArgumentStatus = fail(e.what());
        } catch (const std::invalid_argument& e) {
            fArgumentStatus = fail(path + ": " + e.what());
        } catch (const std::exception&) {
            // Memory exhausted: std::bad_alloc, or whatever a loaded module's new-handler throws.
            fArgumentStatus = fail(path + ": not enough memory to read the image");
        }
        return std::nullopt;
    }

    void reportTime(double seconds) {
        std::ostringstream s;
        s << std::fixed;
        if (seconds < 10)
            s << std::setprecision(1) << seconds * 1000 << " ms";
        else
            s << std::setprecision(2) << seconds << " s";
        fErr << "time: " << fOptions.function << " took " << s.str() << "\n";
    }

    // Takes over the object handle the function returned: the module's count passes to the host,
    // which gives it back once the result is delivered.
    int takeResult(Vorna::Handle h, const ResultPlan& plan, bool failed) {
        const std::string& name = fOptions.function;
        if (h == 0) {
            if (failed) return kExitFailure;
            if (plan.image) return fail(name + " returned no image and raised no error");
            fOut << "(none)\n";
            return kExitSuccess;
        }
        if (!fHost.isAlive(h))
            return fail(name + " returned " + StandIn::hexHandle(h) +
                        ", which is no live host object");
        if (fHost.moduleReferences(h) <= 0) {
            return fail(name + " returned " + StandIn::hexHandle(h) +
                        " without a reference for the host");
        }
        fHost.keep(h);
        int status = failed ? kExitFailure : kExitSuccess;
        const ObjectKind kind = *fHost.kindOf(h);
        if (failed) {
            // The host has the error; the image, if any, is not worth writing.
        } else if (plan.image && kind != ObjectKind::Image) {
            status = fail(name + " returned a " + StandIn::kindName(kind) +
                          " where its signature promises an image");
        } else if (kind == ObjectKind::Image) {
            status = deliverImage(fHost.image(h), fOptions, fOut, fErr);
        } else if (kind == ObjectKind::String) {
            fOut << fHost.readString(h) << "\n";
        } else {
            fOut << StandIn::kindName(kind) << " " << StandIn::hexHandle(h) << "\n";
        }
        fHost.drop(h);
        return status;
    }

    // Cleanup and shutdown when started, unload, and the leak report.
    int finish(StandIn::Module& module) {
        int status = kExitSuccess;
        if (fStarted) {
            module.cleanup();
            module.shutdown();
            if (newFailures()) status = fail("the module failed to shut down");
        }
        const bool gone = module.unload();
        if (!gone) status = fail("the module library is still loaded after unloading it");
        StandIn::LeakReport report = fHost.leakReport();
        if (!report.clean()) {
            fErr << "error: the module left behind:\n";
            std::istringstream lines(report.toString());
            for (std::string line; std::getline(lines, line);) fErr << "  " << line << "\n";
            status = kExitFailure;
        }
        return status;
    }

    const Options& fOptions;
    std::ostream& fOut;
    std::ostream& fErr;
    StandIn::Host fHost;
    // Defines the host's menu and tool functions, so that a module may install menus.
    StandIn::Menus fMenus{fHost};
    bool fStarted = false;
    int fAlerts = 0;
    int fAlertsSeen = 0;
    std::size_t fErrorsSeen = 0;
    std::string fPrinted;  // the errors printed so far, one a line
    std::size_t fUnprovidedSeen = 0;
    int fArgumentStatus = kExitFailure;
};

}  // namespace

int RunSession(const Options& options, std::ostream& out, std::ostream& err) {
    Session session(options, out, err);
    return session.run();
}

}  // namespace Tools
