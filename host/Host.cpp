// The host's API: configuration, objects, native functions, registrations, faults, logs and
// leak reports.
#include "Host.h"

#include <sstream>

#include "HostState.h"

namespace StandIn {

const char* const kUnspecifiedErrorText = "An unspecified error has occurred.";

Host::Host(std::uint32_t version) : fState(std::make_unique<State>(*this)) {
    fState->version = version;
    installStandardFunctions(*this);
}

Host::~Host() = default;

void Host::setVersion(std::uint32_t version) { fState->version = version; }
std::uint32_t Host::version() const { return fState->version; }
void Host::setRefuseCallContexts(bool refuse) { fState->refuseCallContexts = refuse; }
void Host::setComplexCountsAsFloat(bool yes) { fState->complexCountsAsFloat = yes; }
void Host::setGarbageFillNewImages(bool yes) { fState->garbageFill = yes; }
void Host::setReportedDimensionCount(std::uint32_t count) { fState->reportedDimensions = count; }

Vorna::HostEnvironment* Host::environment() { return &fState->environment.iface; }
int Host::environmentReferences() const { return fState->environment.count; }
int Host::callContextsCreated() const { return static_cast<int>(fState->contexts.size()); }

int Host::openCallContexts() const {
    int n = 0;
    for (const auto& c : fState->contexts) n += c->count > 0 ? 1 : 0;
    return n;
}

int Host::classInterfaceReferences(ObjectKind kind) const {
    return classInterfaceReferences(typeKey(kind));
}

int Host::classInterfaceReferences(const std::string& key) const {
    auto it = fState->classInterfaces.find(key);
    return it == fState->classInterfaces.end() ? 0 : it->second->count;
}

std::vector<std::string> Host::unknownTypeKeys() const { return fState->unknownKeys; }

Vorna::HostCallContext* Host::newCallContext() {
    auto c = std::make_unique<CallContextImpl>();
    c->iface.table = &kCallContextTable;
    c->state = fState.get();
    c->serial = static_cast<int>(fState->contexts.size()) + 1;
    c->count = 1;
    fState->logCall(InterfaceKind::Environment, 3, 0, {}, 0, c->serial);
    fState->contexts.push_back(std::move(c));
    return &fState->contexts.back()->iface;
}

bool Host::isAlive(Vorna::Handle h) const {
    const HostObject* o = fState->find(h);
    return o && o->alive;
}

bool Host::isKnown(Vorna::Handle h) const { return fState->find(h) != nullptr; }

std::optional<ObjectKind> Host::kindOf(Vorna::Handle h) const {
    const HostObject* o = fState->find(h);
    if (!o) return std::nullopt;
    return o->kind;
}

int Host::referenceCount(Vorna::Handle h) const {
    const HostObject* o = fState->find(h);
    return o && o->alive ? o->count : 0;
}

int Host::moduleReferences(Vorna::Handle h) const {
    const HostObject* o = fState->find(h);
    return o && o->alive ? o->moduleCount() : 0;
}

int Host::hostReferences(Vorna::Handle h) const {
    const HostObject* o = fState->find(h);
    return o && o->alive ? o->hostCount : 0;
}

void Host::keep(Vorna::Handle h) {
    HostObject* o = fState->find(h);
    if (!o || !o->alive || o->moduleCount() <= 0) {
        throw std::logic_error("keep(" + hexHandle(h) + "): the module holds no count on it");
    }
    ++o->hostCount;
}

void Host::drop(Vorna::Handle h) { fState->dropHostCount(h); }

Vorna::Handle Host::makeString(const std::string& text) {
    return fState->newString(latin1ToUnits(text.data(), text.size()), 0, 1);
}

Vorna::Handle Host::makeStringUTF16(const std::u16string& units) {
    return fState->newString(units, 0, 1);
}

std::string Host::readString(Vorna::Handle s) const { return unitsToLatin1(readStringUTF16(s)); }

std::u16string Host::readStringUTF16(Vorna::Handle s) const {
    const HostObject* o = fState->find(s);
    if (!o || !o->alive || o->kind != ObjectKind::String)
        throw std::invalid_argument(hexHandle(s) + " is no live String");
    return o->text;
}

Vorna::Handle Host::makeThrowable(const std::string& message, std::int32_t code) {
    return fState->newThrowable(code, message, 0, 1);
}

Vorna::Handle Host::makeObject(ObjectKind kind) { return fState->newObject(kind, 0, 1).handle; }

std::string Host::throwableMessage(Vorna::Handle t) const {
    const HostObject* o = fState->find(t);
    if (!o || !o->alive || o->kind != ObjectKind::Throwable) {
        throw std::invalid_argument(hexHandle(t) + " is no live Throwable");
    }
    return o->message;
}

void Host::define(const std::string& signature, NativeHandler handler, std::uint32_t minVersion) {
    NativeFunction f{parseSignature(signature), std::move(handler), minVersion};
    fState->natives[signature] = std::move(f);
}

void Host::undefine(const std::string& signature) { fState->natives.erase(signature); }

bool Host::isDefined(const std::string& signature) const {
    return fState->natives.count(signature) != 0;
}

NativeHandler Host::handlerOf(const std::string& signature) const {
    return fState->natives.at(signature).handler;
}

std::uint32_t Host::minVersionOf(const std::string& signature) const {
    return fState->natives.at(signature).minVersion;
}

int Host::callCount(const std::string& signature) const {
    auto it = fState->callCounts.find(signature);
    return it == fState->callCounts.end() ? 0 : it->second;
}

int Host::resolveCount(const std::string& signature) const {
    auto it = fState->resolveCounts.find(signature);
    return it == fState->resolveCounts.end() ? 0 : it->second;
}

std::vector<std::string> Host::unresolvedSignatures() const { return fState->unresolved; }

const std::vector<std::string>& Host::catalogue() { return catalogueRows(); }

bool Host::inCatalogue(const std::string& signature) { return StandIn::inCatalogue(signature); }

bool Host::provides(const std::string& signature) const {
    auto it = fState->natives.find(signature);
    return it != fState->natives.end() && fState->version >= it->second.minVersion;
}

std::vector<std::string> Host::providedFunctions() const {
    std::vector<std::string> out;
    for (const std::string& row : catalogue()) {
        if (provides(row)) out.push_back(row);
    }
    return out;
}

std::vector<std::string> Host::unprovidedFunctions() const {
    std::vector<std::string> out;
    for (const std::string& row : catalogue()) {
        if (!provides(row)) out.push_back(row);
    }
    return out;
}

int Host::unprovidedCallCount() const { return fState->unprovidedCallCount; }

const std::vector<std::string>& Host::unprovidedCalls() const { return fState->unprovidedCalled; }

void Host::invalidateFunctionHandles(const std::string& signature) {
    for (auto& entry : fState->objects) {
        HostObject& o = entry.second;
        if (o.kind == ObjectKind::Function && o.target == HostObject::Target::Native &&
            o.signature == signature) {
            o.stale = true;
        }
    }
}

const std::vector<Registration>& Host::registrations() const { return fState->registrations; }

std::vector<std::string> Host::withdrawals() const { return fState->withdrawals; }

void* Host::registrationEntry(const std::string& name) const {
    for (const Registration& r : fState->registrations) {
        if (r.name == name && !r.withdrawn) return r.entry;
    }
    return nullptr;
}

void Host::injectFault(const std::string& signature, const Fault& fault) {
    fState->faults[signature].push_back(FaultPlan{fault, 0, false});
}

void Host::clearFaults() {
    fState->faults.clear();
    fState->globalFailAt = 0;
}

void Host::failHostCallAt(unsigned k, const std::string& message, std::int32_t status) {
    fState->globalFailAt = k;
    fState->globalFailMessage = message;
    fState->globalFailStatus = status == 0 ? 1 : status;
}

int Host::hostCallCount() const { return fState->hostCalls; }

const std::vector<CallLogEntry>& Host::callLog() const { return fState->log; }
void Host::clearCallLog() { fState->log.clear(); }

int Host::countSlotCalls(InterfaceKind iface, int slot) const {
    int n = 0;
    for (const CallLogEntry& e : fState->log) n += (e.iface == iface && e.slot == slot) ? 1 : 0;
    return n;
}

std::vector<std::string> Host::raisedErrors() const {
    std::vector<std::string> out;
    for (const RaisedError& r : fState->raised) out.push_back(r.message);
    return out;
}

const std::vector<RaisedError>& Host::raisedErrorRecords() const { return fState->raised; }
void Host::clearRaisedErrors() { fState->raised.clear(); }
const std::vector<std::string>& Host::results() const { return fState->results; }

std::string Host::resultsText() const {
    std::string out;
    for (const std::string& piece : fState->results) out += piece;
    return out;
}

const std::vector<Alert>& Host::alerts() const { return fState->alerts; }
const std::vector<std::string>& Host::anomalies() const { return fState->anomalies; }

Vorna::Handle Host::createImage(const ImageSpec& spec) {
    return fState->newImage(spec, 0, 1, false);
}

Vorna::Handle Host::createImage(const ImageSpec& spec, const void* bytes, std::size_t byteCount) {
    validateImageSpec(spec);
    std::size_t expected = elementSize(spec.type);
    for (std::uint32_t s : spec.sizes) expected *= s;
    if (byteCount != expected || (!bytes && byteCount != 0)) {
        throw std::invalid_argument("image data has " + std::to_string(byteCount) +
                                    " bytes, the image needs " + std::to_string(expected));
    }
    Vorna::Handle h = fState->newImage(spec, 0, 1, false);
    std::memcpy(fState->find(h)->image->bytes.data(), bytes, byteCount);
    return h;
}

bool Host::isImage(Vorna::Handle h) const {
    const HostObject* o = fState->find(h);
    return o && o->alive && o->kind == ObjectKind::Image;
}

ImageInfo Host::image(Vorna::Handle h) const {
    if (!isImage(h)) throw std::invalid_argument(hexHandle(h) + " is no live image");
    const ImageData& d = *fState->find(h)->image;
    ImageInfo info;
    static_cast<ImageSpec&>(info) = d;
    info.bytes = d.bytes;
    info.activeLocks = d.activeLocks;
    info.dataChangedCount = d.dataChangedCount;
    info.unlocksMarkedChanged = d.unlocksMarkedChanged;
    info.unlocksMarkedUnchanged = d.unlocksMarkedUnchanged;
    return info;
}

unsigned char* Host::imageData(Vorna::Handle h) {
    if (!isImage(h)) throw std::invalid_argument(hexHandle(h) + " is no live image");
    return fState->find(h)->image->bytes.data();
}

int Host::activeImageLocks() const { return static_cast<int>(fState->locks.size()); }

LeakSnapshot Host::snapshot() const {
    LeakSnapshot s;
    for (const auto& entry : fState->objects) {
        if (entry.second.alive && entry.second.moduleCount() > 0)
            s.moduleCounts[entry.first] = entry.second.moduleCount();
    }
    s.environmentReferences = fState->environment.count;
    // Closed contexts count 0 either way; leaving them out keeps snapshots small on long runs.
    for (const auto& c : fState->contexts) {
        if (c->count > 0) s.callContextReferences[c->serial] = c->count;
    }
    for (const auto& k : fState->classInterfaces)
        s.classInterfaceReferences[k.first] = k.second->count;
    s.anomalyCount = fState->anomalies.size();
    for (const auto& loan : fState->loans) s.stringLoans[loan.first] = loan.second.string;
    for (const auto& lock : fState->locks) s.imageLocks[lock.first] = lock.second.image;
    return s;
}

LeakReport Host::leakReport() const { return leakReport(LeakSnapshot{}); }

namespace {
template <typename Map, typename Key>
int valueOr0(const Map& m, const Key& k) {
    auto it = m.find(k);
    return it == m.end() ? 0 : it->second;
}
}  // namespace

LeakReport Host::leakReport(const LeakSnapshot& since) const {
    LeakReport r;
    for (const auto& entry : fState->objects) {
        const HostObject& o = entry.second;
        if (!o.alive) continue;
        int extra = o.moduleCount() - valueOr0(since.moduleCounts, entry.first);
        if (extra <= 0) continue;
        LeakReport::HeldObject held;
        held.handle = o.handle;
        held.kind = o.kind;
        held.moduleCount = extra;
        if (o.kind == ObjectKind::String) held.description = "\"" + unitsToLatin1(o.text) + "\"";
        if (o.kind == ObjectKind::Throwable) held.description = "\"" + o.message + "\"";
        if (o.kind == ObjectKind::Function) held.description = o.signature;
        if (o.kind == ObjectKind::Image && o.image) held.description = "\"" + o.image->name + "\"";
        r.objects.push_back(held);
    }
    int env = fState->environment.count - since.environmentReferences;
    if (env > 0) r.interfaces.push_back({"environment", env});
    for (const auto& c : fState->contexts) {
        if (c->count <= 0) continue;
        int extra = c->count - valueOr0(since.callContextReferences, c->serial);
        if (extra > 0) r.interfaces.push_back({"call context " + std::to_string(c->serial), extra});
    }
    for (const auto& k : fState->classInterfaces) {
        int extra = k.second->count - valueOr0(since.classInterfaceReferences, k.first);
        if (extra > 0) r.interfaces.push_back({"class interface " + k.first, extra});
    }
    for (const auto& loan : fState->loans) {
        if (since.stringLoans.count(loan.first)) continue;
        r.stringLoans.push_back("String " + hexHandle(loan.second.string) + " token " +
                                std::to_string(loan.first));
    }
    for (const auto& lock : fState->locks) {
        if (since.imageLocks.count(lock.first)) continue;
        r.lockedImages.push_back("image " + hexHandle(lock.second.image) + " \"" +
                                 lock.second.data->name + "\" by " +
                                 (lock.second.newer ? "ImageLockData" : "GetDataPtr"));
    }
    for (std::size_t i = since.anomalyCount; i < fState->anomalies.size(); ++i) {
        r.anomalies.push_back(fState->anomalies[i]);
    }
    return r;
}

// ---- Log text -----------------------------------------------------------------------------------

const char* interfaceKindName(InterfaceKind kind) {
    switch (kind) {
        case InterfaceKind::Environment: return "environment";
        case InterfaceKind::CallContext: return "call context";
        case InterfaceKind::ClassInterface: return "class interface";
    }
    return "?";
}

std::string CallLogEntry::toString() const {
    std::ostringstream out;
    out << interfaceKindName(iface);
    if (object) out << " " << object;
    out << " slot " << slot;
    if (!detail.empty()) out << " \"" << detail << "\"";
    if (handle) out << " " << hexHandle(handle);
    if (value) out << " value " << value;
    return out.str();
}

}  // namespace StandIn