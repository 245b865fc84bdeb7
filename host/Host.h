// The stand-in host application: plays the host's side of the binary interface in tests and in
// the command-line runner.
//
// One Host object is one running host. It offers the three interface objects a module talks to
// (environment, call contexts, class interfaces) as real function tables, keeps the reference
// counts of its objects (images, strings, throwables, functions, ...), resolves and runs its own
// native script functions by signature, records registrations, raised errors, results text and
// alerts, injects faults on request, logs every slot call and reports what a module leaked.
//
// Counting model. Every object has a total count, made of counts the module holds and counts the
// host itself holds ("host counts"): registrations, pending errors of call contexts, objects made
// through the helpers below for a test. Leak reports look at module counts only. Handles are unique
// across all hosts of the process, so a handle from another host is recognisably foreign.
//
// Resolution (environment slot 8): every successful resolution answers a NEW Function handle with
// one count for the caller, even for a signature resolved before. invalidateFunctionHandles() makes
// every handle issued so far for a signature stale (calls answer status 3), so tests can watch a
// module re-resolve. Calls (call-context slot 12) through handle 0, a dead, withdrawn or stale
// handle answer 3. Every answer other than 0 leaves a pending Throwable on the call context
// (slot 7), whose message says what went wrong; a fault's message for injected failures.
//
// The host knows the whole catalogue of host script functions (Catalogue.h). A catalogue row it
// has no function for resolves all the same, to a function whose every call answers 1 with the
// pending message "The stand-in host does not provide '<signature>'." (notProvidedMessage): the
// host's limit, never a fault to inject. A handle answers whatever is defined under its signature
// at the time of the call: a function defined later wins, and undefining a built-in one falls
// back to the limit. A signature outside the catalogue that is not defined resolves to 0.
//
// Typical use in a test:
//     StandIn::Host host;                                   // version 0x03040400
//     host.define("long Twice( long )", [](StandIn::NativeCall& c) { c.setResult(2 * c.int32(0));
//     }); host.injectFault("long Twice( long )", StandIn::Fault::failure("boom").onNthCall(2));
//     auto before = host.snapshot();
//     ... drive the module (StandIn::Module) ...
//     EXPECT_TRUE(host.leakReport(before).clean()) << host.leakReport(before).toString();
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CallLog.h"
#include "Catalogue.h"
#include "Dialogs.h"
#include "Faults.h"
#include "Images.h"
#include "LeakReport.h"
#include "NativeCall.h"
#include "ObjectKinds.h"
#include "Signature.h"
#include "Views.h"
#include "shell/Boundary.h"

namespace StandIn {

constexpr std::uint32_t kDefaultHostVersion = QZ_FIRST_VERSION_WITH_IMAGE_LOCKING;

// The error codes a module raises, as the boundary defines them.
constexpr std::int32_t kErrorTextCopied = QZ_ERROR_TEXT_COPIED;
constexpr std::int32_t kErrorText = QZ_ERROR_TEXT;
constexpr std::int32_t kErrorOutOfMemory = QZ_ERROR_OUT_OF_MEMORY;
// "0x1a2b": how the host's messages write a handle.
std::string hexHandle(Vorna::Handle h);

// This host's text for a text code without a text.
extern const char* const kUnspecifiedErrorText;  // "An unspecified error has occurred."

// A function a module registered through environment slot 6.
struct Registration {
    std::string signature;  // exactly as registered
    std::string name;       // parsed function name ("" if the signature did not parse)
    void* entry = nullptr;
    Vorna::Handle function = 0;
    bool withdrawn = false;
};

// An error handed to the host through call-context slot 8.
struct RaisedError {
    Vorna::Handle throwable = 0;  // 0 when the module raised "no Throwable"
    std::int32_t code = 0;        // the code the Throwable was made with (0 for host-made ones)
    std::string message;          // copied at the moment of raising
};

struct Alert {
    std::string text;
    std::int32_t kind = 0;
};

class Host {
  public:
    explicit Host(std::uint32_t version = kDefaultHostVersion);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // ---- Configuration ----------------------------------------------------------------------
    void setVersion(std::uint32_t version);
    std::uint32_t version() const;
    // Environment slot 3 answers null while set.
    void setRefuseCallContexts(bool refuse);
    // "ImageIsDataTypeFloat" also answers true for complex images (as some hosts do).
    void setComplexCountsAsFloat(bool yes);
    // New images made by host functions are filled with a non-zero pattern instead of zeros.
    void setGarbageFillNewImages(bool yes);
    // ImageGetLockedData reports this many dimensions instead of the real count (0: real count).
    void setReportedDimensionCount(std::uint32_t count);

    // ---- Interface objects ------------------------------------------------------------------
    // The environment to hand to QZPlugIn_Link_2. The host itself holds no count on it; the
    // module's counts are tracked and reported.
    Vorna::HostEnvironment* environment();
    int environmentReferences() const;  // counts the module holds on the environment
    int callContextsCreated() const;
    int openCallContexts() const;  // call contexts whose count has not reached 0
    // Counts the module holds on the class interface of a kind / of any key (0 if never asked).
    int classInterfaceReferences(ObjectKind kind) const;
    int classInterfaceReferences(const std::string& typeKey) const;
    // Type keys asked for that this host does not know (a generic interface was answered).
    std::vector<std::string> unknownTypeKeys() const;
    // A fresh call context with one count for the caller, as slot 3 would give (for tests that
    // play the module's part themselves).
    Vorna::HostCallContext* newCallContext();

    // ---- Objects ----------------------------------------------------------------------------
    bool isAlive(Vorna::Handle h) const;
    bool isKnown(Vorna::Handle h) const;  // issued by this host, alive or dead
    std::optional<ObjectKind> kindOf(Vorna::Handle h) const;
    int referenceCount(Vorna::Handle h) const;  // total count (0 for dead/unknown)
    int moduleReferences(Vorna::Handle h) const;
    int hostReferences(Vorna::Handle h) const;
    // Turns one of the module's counts into a host count: use it for a handle a registered
    // function returned to the host (e.g. the result image of HoughTransform).
    void keep(Vorna::Handle h);
    // Drops one host count (throws std::logic_error if the host holds none).
    void drop(Vorna::Handle h);

    // Strings. Helpers answer a handle carrying one host count.
    Vorna::Handle makeString(const std::string& latin1Text);
    Vorna::Handle makeStringUTF16(const std::u16string& units);
    std::string readString(Vorna::Handle s) const;  // 8-bit form (Latin-1; '?' beyond it)
    std::u16string readStringUTF16(Vorna::Handle s) const;

    // An object of any kind without content (a display, a tag group, ...), carrying one host count.
    Vorna::Handle makeObject(ObjectKind kind);

    // Throwables: a host-made one carrying one host count; a Throwable's message.
    Vorna::Handle makeThrowable(const std::string& message, std::int32_t code = 0);
    std::string throwableMessage(Vorna::Handle t) const;

    // ---- Native script functions ------------------------------------------------------------
    // Defines (or redefines) a native function under its exact signature. A function with
    // minVersion is not resolved while the host's version is lower. Throws SignatureError.
    void define(const std::string& signature, NativeHandler handler, std::uint32_t minVersion = 0);
    void undefine(const std::string& signature);
    bool isDefined(const std::string& signature) const;
    // The handler and minimum version of a defined function (e.g. to wrap a built-in one and
    // restore it later). Throw std::out_of_range for an undefined signature.
    NativeHandler handlerOf(const std::string& signature) const;
    std::uint32_t minVersionOf(const std::string& signature) const;
    // Calls made through slot 12 that reached the function (faulted ones included), and
    // resolutions through slot 8, per signature since the host was made.
    int callCount(const std::string& signature) const;
    int resolveCount(const std::string& signature) const;
    // Signatures slot 8 was asked for and could not resolve.
    std::vector<std::string> unresolvedSignatures() const;

    // ---- The catalogue and what this host provides of it -------------------------------------
    // Every row of the catalogue, in catalogue order, and whether a signature is one (exact text).
    static const std::vector<std::string>& catalogue();
    static bool inCatalogue(const std::string& signature);
    // Whether this host answers the signature with a function of its own now: defined (built in,
    // by a helper such as Menus, or by define()) and resolvable at this host's version.
    bool provides(const std::string& signature) const;
    // The catalogue rows this host provides now, and the others, in catalogue order. Of the
    // others, a row defined for a later host version resolves to 0 here (as on a host of this
    // generation); every other one resolves to a function that fails each call with
    // notProvidedMessage().
    std::vector<std::string> providedFunctions() const;
    std::vector<std::string> unprovidedFunctions() const;
    // Calls (slot 12) that reached a catalogue function this host does not provide, since the
    // host was made, and their signatures in the order of their first call.
    int unprovidedCallCount() const;
    const std::vector<std::string>& unprovidedCalls() const;
    // Every Function handle issued so far for this signature answers status 3 from now on.
    void invalidateFunctionHandles(const std::string& signature);

    // ---- Registrations made by the module -----------------------------------------------------
    const std::vector<Registration>& registrations() const;  // in registration order
    std::vector<std::string> withdrawals() const;            // names, in withdrawal order
    // The entry address of the live registration of a name, or null.
    void* registrationEntry(const std::string& name) const;
    template <typename Fn>
    Fn entry(const std::string& name) const {
        return reinterpret_cast<Fn>(registrationEntry(name));
    }

    // ---- Fault injection --------------------------------------------------------------------
    void injectFault(const std::string& signature, const Fault& fault);
    void clearFaults();
    // The k-th slot-12 call from now (1 = the next one), whatever it calls, fails with status and
    // a pending Throwable carrying the message. Calls of catalogue functions this host does not
    // provide are passed over (they fail anyway) and not counted. One such plan at a time; k = 0
    // cancels it.
    void failHostCallAt(unsigned k, const std::string& message = "Injected host call failure.",
                        std::int32_t status = 1);
    // Slot-12 calls since the host was made, those of functions it does not provide included.
    int hostCallCount() const;

    // ---- Logs -------------------------------------------------------------------------------
    const std::vector<CallLogEntry>& callLog() const;
    void clearCallLog();
    int countSlotCalls(InterfaceKind iface, int slot) const;
    // Messages of raised errors, in order.
    std::vector<std::string> raisedErrors() const;
    const std::vector<RaisedError>& raisedErrorRecords() const;
    void clearRaisedErrors();
    // Pieces passed to "void Result( qz_string )", in order, and their concatenation.
    const std::vector<std::string>& results() const;
    std::string resultsText() const;
    const std::vector<Alert>& alerts() const;
    // Every anomaly seen so far (also part of leak reports).
    const std::vector<std::string>& anomalies() const;

    // ---- Images -----------------------------------------------------------------------------
    // A new image carrying one host count: zero-filled, or filled from `bytes` (which must have
    // exactly the image's byte size). Throws std::invalid_argument for a bad spec.
    Vorna::Handle createImage(const ImageSpec& spec);
    Vorna::Handle createImage(const ImageSpec& spec, const void* bytes, std::size_t byteCount);
    template <typename T>
    Vorna::Handle createImage(const ImageSpec& spec, const std::vector<T>& values) {
        return createImage(spec, values.data(), values.size() * sizeof(T));
    }
    bool isImage(Vorna::Handle h) const;
    // Throws std::invalid_argument for a handle that is not a live image.
    ImageInfo image(Vorna::Handle h) const;
    // The live data buffer (for tests that inspect or poke pixels in place).
    unsigned char* imageData(Vorna::Handle h);
    template <typename T>
    std::vector<T> imagePixels(Vorna::Handle h) const {
        ImageInfo info = image(h);
        std::vector<T> out(info.bytes.size() / sizeof(T));
        if (!out.empty()) std::memcpy(out.data(), info.bytes.data(), out.size() * sizeof(T));
        return out;
    }
    // Locks of either generation currently held on live or dead images.
    int activeImageLocks() const;

    // ---- Documents, displays and ROIs (Views.h) -------------------------------------------------
    // A new region of interest carrying one host count. Throws std::invalid_argument when the
    // points do not fit the shape (see RoiSpec) or a rectangle is upside down.
    Vorna::Handle makeRoi(const RoiSpec& spec);
    // What the host keeps of an ROI. Throws std::invalid_argument for a handle that is no live ROI.
    RoiSpec roi(Vorna::Handle roi) const;
    // Shows an image as the application shows one it opened: the image's document (made with one
    // display of the image when the image is in none) goes into the user interface, its window
    // in front. Answers the image's first display in that document, which the document holds
    // (no count for the caller). Throws std::invalid_argument for a handle that is no live image.
    Vorna::Handle showImage(Vorna::Handle image);
    // Puts an ROI on a display, as "void ImageDisplayAddROI( ImageDisplay, ROI )" does.
    void addRoi(Vorna::Handle display, Vorna::Handle roi);
    // The documents in the user interface, front window first.
    std::vector<DocumentInfo> shownDocuments() const;

    // ---- Dialogs (Dialogs.h) ----------------------------------------------------------------
    // How prompts are answered from now on (the answers given in order start again).
    void setDialogAnswers(DialogAnswers answers);
    // Every prompt answered so far, in order.
    const std::vector<DialogRecord>& dialogs() const;

    // ---- Leak reports -----------------------------------------------------------------------
    LeakSnapshot snapshot() const;
    LeakReport leakReport() const;  // against an empty snapshot (everything since creation)
    LeakReport leakReport(const LeakSnapshot& since) const;

    // The argument records of the native call running now, as the module passed them: for
    // handlers that look at a record's raw bytes. Null outside a native call and when the module
    // passed no record pointer.
    Vorna::ScriptArgRecord* currentRecords() const { return fCurrentRecords; }

    // Internal state, shared with the native function implementations.
    struct State;
    State& state() { return *fState; }

  private:
    std::unique_ptr<State> fState;
    Vorna::ScriptArgRecord* fCurrentRecords = nullptr;
};

}  // namespace StandIn
