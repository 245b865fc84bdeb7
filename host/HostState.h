// Internal state of a Host, shared by the interface slots (*Slots.cpp), the API (Host.cpp) and the
// native functions (HostFunctions.cpp). Not for use outside the host library.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Host.h"
#include "TagTree.h"

namespace StandIn {

// Documents, displays, components, windows and ROIs (ViewState.h).
struct ComponentData;
struct DisplayData;
struct DocumentData;
struct WindowData;
struct RoiData;
struct ViewsState;

// One host object. Only the fields of its kind are used.
struct HostObject {
    Vorna::Handle handle = 0;
    ObjectKind kind = ObjectKind::Image;
    int count = 0;      // total
    int hostCount = 0;  // part of `count` the host itself holds
    bool alive = true;

    std::u16string text;  // String

    std::int32_t code = 0;  // Throwable
    std::string message;

    enum class Target { None, Native, Registration };  // Function
    Target target = Target::None;
    std::string signature;
    std::size_t registration = 0;
    bool stale = false;

    std::shared_ptr<ImageData> image;  // Image

    int moduleCount() const { return count - hostCount; }

    std::shared_ptr<TagNode> tagGroup;  // TagGroup: the node it names (an empty group until used)
    std::shared_ptr<ComponentData> component;  // Component and the display kinds
    std::shared_ptr<DisplayData> display;      // the display kinds
    std::shared_ptr<DocumentData> document;    // ImageDocument
    std::shared_ptr<WindowData> window;        // Window
    std::shared_ptr<RoiData> roi;              // RegionOfInterest
};

struct EnvironmentImpl {
    Vorna::HostEnvironment iface;  // first: the module's pointer is the address of this object
    Host::State* state;
    int count = 0;
};

struct CallContextImpl {
    Vorna::HostCallContext iface;
    Host::State* state;
    int serial = 0;
    int count = 0;
    Vorna::Handle pending = 0;  // Throwable, one host count while set
};

struct ClassInterfaceImpl {
    Vorna::HostClassInterface iface;
    Host::State* state;
    std::string key;
    std::optional<ObjectKind> kind;  // empty for the generic interface of an unknown key
    int serial = 0;
    int count = 0;
};

struct NativeFunction {
    Signature signature;
    NativeHandler handler;
    std::uint32_t minVersion = 0;
};

struct FaultPlan {
    Fault fault;
    unsigned seen = 0;
    bool spent = false;
};

struct StringLoan {
    Vorna::Handle string = 0;
    std::string bytes;  // the lent text, followed by two zero bytes
};

struct ImageLock {
    Vorna::Handle image = 0;
    std::shared_ptr<ImageData> data;
    bool newer = true;  // ImageLockData (true) or GetDataPtr (false)
    std::uintptr_t token = 0;
};

struct Host::State {
    explicit State(Host& owner);

    Host& host;
    std::uint32_t version = kDefaultHostVersion;
    bool refuseCallContexts = false;
    bool complexCountsAsFloat = false;
    bool garbageFill = false;
    std::uint32_t reportedDimensions = 0;

    EnvironmentImpl environment;
    std::vector<std::unique_ptr<CallContextImpl>> contexts;
    std::map<std::string, std::unique_ptr<ClassInterfaceImpl>> classInterfaces;
    std::vector<std::string> unknownKeys;

    std::map<Vorna::Handle, HostObject> objects;

    std::map<std::string, NativeFunction> natives;
    std::map<std::string, int> callCounts;
    std::map<std::string, int> resolveCounts;
    std::vector<std::string> unresolved;
    std::map<std::string, std::vector<FaultPlan>> faults;
    unsigned globalFailAt = 0;  // countdown; 0 = none
    std::string globalFailMessage;
    std::int32_t globalFailStatus = 1;
    int hostCalls = 0;
    int unprovidedCallCount = 0;                // calls of catalogue rows without a function
    std::vector<std::string> unprovidedCalled;  // their signatures, in order of the first call

    std::vector<Registration> registrations;
    std::vector<std::string> withdrawals;

    std::vector<CallLogEntry> log;
    std::vector<RaisedError> raised;
    std::vector<std::string> results;
    std::vector<Alert> alerts;
    std::vector<std::string> anomalies;

    std::map<std::uint32_t, StringLoan> loans;
    std::uint32_t nextLoanToken = 1;
    std::map<std::uint64_t, ImageLock> locks;
    std::uint64_t nextLockSerial = 1;

    // Objects.
    HostObject& newObject(ObjectKind kind, int moduleCount, int hostCount);
    HostObject* find(Vorna::Handle h);
    const HostObject* find(Vorna::Handle h) const;
    HostObject* live(Vorna::Handle h, ObjectKind kind);  // null unless alive and of that kind
    void destroy(HostObject& o);
    void dropCount(HostObject& o);  // one count less; destroys at 0
    void dropHostCount(Vorna::Handle h);

    Vorna::Handle newString(std::u16string units, int moduleCount, int hostCount);
    Vorna::Handle newThrowable(std::int32_t code, std::string message, int moduleCount,
                               int hostCount);
    Vorna::Handle newImage(const ImageSpec& spec, int moduleCount, int hostCount, bool fill);

    // Failing calls.
    void setPending(CallContextImpl& ctx, const std::string& message);
    void clearPending(CallContextImpl& ctx);

    void anomaly(const std::string& text);
    void logCall(InterfaceKind iface, int slot, int object, std::string detail = {},
                 Vorna::Handle h = 0, std::int64_t value = 0);

    // Call-context slot 12.
    std::int32_t call(CallContextImpl& ctx, Vorna::Handle function, std::int32_t count,
                      Vorna::ScriptArgRecord* records);

    std::shared_ptr<ViewsState> views;  // documents, windows and dialogs; made on first use
};

// Installs the host's built-in native functions (images, results, alerts).
void installStandardFunctions(Host& host);

// Gives back what a dying document, display, component, window or ROI holds (ViewState.cpp).
void releaseViewLinks(Host::State& s, HostObject& o);

std::u16string latin1ToUnits(const char* bytes, std::size_t n);
std::string unitsToLatin1(const std::u16string& units);

// The three slot tables (EnvironmentSlots.cpp, CallContextSlots.cpp, ClassInterfaceSlots.cpp).
extern const Vorna::HostEnvironmentTable kEnvironmentTable;
extern const Vorna::HostCallContextTable kCallContextTable;
extern const Vorna::HostClassInterfaceTable kClassTable;

// The object behind an interface pointer a module passes back: each interface is the first
// member of its object.
inline Host::State& stateOf(Vorna::HostEnvironment* self) {
    return *reinterpret_cast<EnvironmentImpl*>(self)->state;
}
inline CallContextImpl& contextOf(Vorna::HostCallContext* self) {
    return *reinterpret_cast<CallContextImpl*>(self);
}
inline ClassInterfaceImpl& classOf(Vorna::HostClassInterface* self) {
    return *reinterpret_cast<ClassInterfaceImpl*>(self);
}

}  // namespace StandIn
