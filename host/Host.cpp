// The host's interface objects, object table, registrations, faults and leak reports.
#include "Host.h"

#include <atomic>
#include <sstream>

#include "HostState.h"

namespace StandIn {

const char* const kUnspecifiedErrorText = "An unspecified error has occurred.";

namespace {

// Handles are unique across every host in the process.
std::atomic<Vorna::Handle> gNextHandle{0x1000};

extern const Vorna::HostClassInterfaceTable kClassTable;

Host::State& stateOf(Vorna::HostEnvironment* self) {
    return *reinterpret_cast<EnvironmentImpl*>(self)->state;
}
CallContextImpl& contextOf(Vorna::HostCallContext* self) {
    return *reinterpret_cast<CallContextImpl*>(self);
}
ClassInterfaceImpl& classOf(Vorna::HostClassInterface* self) {
    return *reinterpret_cast<ClassInterfaceImpl*>(self);
}

// ---- Environment slots ------------------------------------------------------------------------

void envAddReference(Vorna::HostEnvironment* self) {
    Host::State& s = stateOf(self);
    s.logCall(InterfaceKind::Environment, 0, 0);
    ++s.environment.count;
}

void envRelease(Vorna::HostEnvironment* self) {
    Host::State& s = stateOf(self);
    s.logCall(InterfaceKind::Environment, 1, 0);
    if (s.environment.count <= 0) {
        s.anomaly("environment released more often than referenced");
        return;
    }
    --s.environment.count;
}

std::uint32_t envVersion(Vorna::HostEnvironment* self) {
    Host::State& s = stateOf(self);
    s.logCall(InterfaceKind::Environment, 2, 0, {}, 0, s.version);
    return s.version;
}

Vorna::HostCallContext* envNewCallContext(Vorna::HostEnvironment* self) {
    Host::State& s = stateOf(self);
    if (s.refuseCallContexts) {
        s.logCall(InterfaceKind::Environment, 3, 0, "refused");
        return nullptr;
    }
    return s.host.newCallContext();
}

Vorna::HostClassInterface* envClassInterface(Vorna::HostEnvironment* self, std::int32_t zero,
                                             const char* key) {
    Host::State& s = stateOf(self);
    std::string k = key ? key : "";
    if (zero != 0)
        s.anomaly("class interface asked with first argument " + std::to_string(zero) +
                  " instead of 0");
    if (!key) s.anomaly("class interface asked with a null type key");
    auto it = s.classInterfaces.find(k);
    if (it == s.classInterfaces.end()) {
        auto impl = std::make_unique<ClassInterfaceImpl>();
        impl->iface.table = &kClassTable;
        impl->state = &s;
        impl->key = k;
        impl->kind = kindFromTypeKey(k);
        impl->serial = static_cast<int>(s.classInterfaces.size()) + 1;
        if (!impl->kind) s.unknownKeys.push_back(k);
        it = s.classInterfaces.emplace(k, std::move(impl)).first;
    }
    ++it->second->count;
    s.logCall(InterfaceKind::Environment, 4, 0, k);
    return &it->second->iface;
}

std::intptr_t envUnused5(Vorna::HostEnvironment* self) {
    Host::State& s = stateOf(self);
    s.logCall(InterfaceKind::Environment, 5, 0);
    s.anomaly("environment slot 5 called");
    return 0;
}

std::intptr_t envUnused9(Vorna::HostEnvironment* self) {
    Host::State& s = stateOf(self);
    s.logCall(InterfaceKind::Environment, 9, 0);
    s.anomaly("environment slot 9 called");
    return 0;
}

Vorna::Handle envAddScriptFunction(Vorna::HostEnvironment* self, std::int32_t zero1,
                                   std::int32_t zero2, const char* signature, std::int32_t three,
                                   void* entry) {
    Host::State& s = stateOf(self);
    std::string text = signature ? signature : "";
    if (zero1 != 0 || zero2 != 0 || three != 3) {
        s.anomaly("script function \"" + text + "\" registered with arguments " +
                  std::to_string(zero1) + ", " + std::to_string(zero2) + ", " +
                  std::to_string(three) + " instead of 0, 0, 3");
    }
    Registration r;
    r.signature = text;
    r.entry = entry;
    try {
        r.name = parseSignature(text).name;
    } catch (const SignatureError& e) {
        s.anomaly(std::string("registration refused: ") + e.what());
        s.logCall(InterfaceKind::Environment, 6, 0, text, 0);
        return 0;
    }
    if (!entry) {
        s.anomaly("registration of \"" + text + "\" with a null entry refused");
        s.logCall(InterfaceKind::Environment, 6, 0, text, 0);
        return 0;
    }
    HostObject& f = s.newObject(ObjectKind::Function, 1, 1);
    f.target = HostObject::Target::Registration;
    f.signature = text;
    f.registration = s.registrations.size();
    r.function = f.handle;
    s.registrations.push_back(r);
    s.logCall(InterfaceKind::Environment, 6, 0, text, f.handle);
    return f.handle;
}

std::intptr_t envRemoveScriptFunction(Vorna::HostEnvironment* self, Vorna::Handle function) {
    Host::State& s = stateOf(self);
    s.logCall(InterfaceKind::Environment, 7, 0, {}, function);
    for (Registration& r : s.registrations) {
        if (r.function != function) continue;
        if (r.withdrawn) {
            s.anomaly("registration " + hexHandle(function) + " (" + r.name + ") withdrawn twice");
            return 0;
        }
        r.withdrawn = true;
        s.withdrawals.push_back(r.name);
        s.dropHostCount(function);
        return 0;
    }
    s.anomaly("withdrawal of " + hexHandle(function) + ", which is no registration of this host");
    return 0;
}

Vorna::Handle envFindScriptFunction(Vorna::HostEnvironment* self, std::int32_t zero,
                                    const char* signature) {
    Host::State& s = stateOf(self);
    std::string text = signature ? signature : "";
    if (zero != 0)
        s.anomaly("script function looked up with first argument " + std::to_string(zero));
    auto it = s.natives.find(text);
    if (it == s.natives.end() || s.version < it->second.minVersion) {
        s.unresolved.push_back(text);
        s.logCall(InterfaceKind::Environment, 8, 0, text, 0);
        return 0;
    }
    ++s.resolveCounts[text];
    HostObject& f = s.newObject(ObjectKind::Function, 1, 0);
    f.target = HostObject::Target::Native;
    f.signature = text;
    s.logCall(InterfaceKind::Environment, 8, 0, text, f.handle);
    return f.handle;
}

const Vorna::HostEnvironmentTable kEnvironmentTable = {
    envAddReference,       envRelease, envVersion,           envNewCallContext,
    envClassInterface,     envUnused5, envAddScriptFunction, envRemoveScriptFunction,
    envFindScriptFunction, envUnused9,
};

// ---- Call-context slots -----------------------------------------------------------------------

void checkOpen(CallContextImpl& c, int slot) {
    c.state->logCall(InterfaceKind::CallContext, slot, c.serial);
    if (c.count <= 0) {
        c.state->anomaly("call context " + std::to_string(c.serial) + " used (slot " +
                         std::to_string(slot) + ") after its last release");
    }
}

void ctxAddReference(Vorna::HostCallContext* self) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 0);
    ++c.count;
}

void ctxRelease(Vorna::HostCallContext* self) {
    CallContextImpl& c = contextOf(self);
    c.state->logCall(InterfaceKind::CallContext, 1, c.serial);
    if (c.count <= 0) {
        c.state->anomaly("call context " + std::to_string(c.serial) +
                         " released more often than referenced");
        return;
    }
    if (--c.count == 0) c.state->clearPending(c);
}

std::intptr_t ctxUnused(CallContextImpl& c, int slot) {
    checkOpen(c, slot);
    c.state->anomaly("call-context slot " + std::to_string(slot) + " called");
    return 0;
}
std::intptr_t ctxUnused2(Vorna::HostCallContext* self) { return ctxUnused(contextOf(self), 2); }
std::intptr_t ctxUnused3(Vorna::HostCallContext* self) { return ctxUnused(contextOf(self), 3); }
std::intptr_t ctxUnused13(Vorna::HostCallContext* self) { return ctxUnused(contextOf(self), 13); }

void ctxClearError(Vorna::HostCallContext* self) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 4);
    c.state->clearPending(c);
}

std::string throwableText(std::int32_t code, Vorna::ErrorDatum datum) {
    if (code == kErrorTextCopied || code == kErrorText) {
        const char* text = reinterpret_cast<const char*>(datum);
        return text ? std::string(text) : std::string(kUnspecifiedErrorText);
    }
    return "Error " + std::to_string(code) + " (" + std::to_string(static_cast<long long>(datum)) +
           ") has occurred.";
}

Vorna::Handle ctxNewThrowable(Vorna::HostCallContext* self, std::int32_t code,
                              Vorna::ErrorDatum datum) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 5);
    std::string text = throwableText(code, datum);
    Vorna::Handle t = c.state->newThrowable(code, text, 1, 0);
    CallLogEntry& e = c.state->log.back();
    e.detail = text;
    e.handle = t;
    e.value = code;
    return t;
}

Vorna::Handle ctxThrowableMessage(Vorna::HostCallContext* self, Vorna::Handle throwable) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 6);
    c.state->log.back().handle = throwable;
    HostObject* t = c.state->live(throwable, ObjectKind::Throwable);
    if (!t) {
        c.state->anomaly("message asked of " + hexHandle(throwable) +
                         ", which is no live Throwable");
        return 0;
    }
    return c.state->newString(latin1ToUnits(t->message.data(), t->message.size()), 1, 0);
}

Vorna::Handle ctxPendingThrowable(Vorna::HostCallContext* self) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 7);
    if (c.pending == 0) return 0;
    HostObject* t = c.state->find(c.pending);
    ++t->count;
    c.state->log.back().handle = c.pending;
    return c.pending;
}

void ctxRaise(Vorna::HostCallContext* self, Vorna::Handle throwable) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 8);
    c.state->log.back().handle = throwable;
    RaisedError r;
    r.throwable = throwable;
    if (throwable != 0) {
        HostObject* t = c.state->live(throwable, ObjectKind::Throwable);
        if (t) {
            r.code = t->code;
            r.message = t->message;
        } else {
            c.state->anomaly("raise of " + hexHandle(throwable) + ", which is no live Throwable");
            r.message = "(invalid Throwable)";
        }
    }
    c.state->raised.push_back(r);
}

Vorna::Handle ctxNewString(Vorna::HostCallContext* self, std::int32_t encoding, const void* bytes,
                           std::uint32_t byteCount) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 9);
    c.state->log.back().value = encoding;
    if (!bytes && byteCount != 0) {
        c.state->anomaly("new String from a null pointer with " + std::to_string(byteCount) +
                         " bytes");
        return 0;
    }
    std::u16string units;
    if (encoding == Vorna::kEncodingNarrow) {
        units = latin1ToUnits(static_cast<const char*>(bytes), byteCount);
    } else if (encoding == Vorna::kEncodingUTF16) {
        if (byteCount % 2 != 0)
            c.state->anomaly("UTF-16 String with an odd byte count " + std::to_string(byteCount));
        units.resize(byteCount / 2);
        if (!units.empty()) std::memcpy(&units[0], bytes, units.size() * 2);
    } else {
        c.state->anomaly("new String in unknown encoding " + std::to_string(encoding));
        return 0;
    }
    Vorna::Handle h = c.state->newString(std::move(units), 1, 0);
    c.state->log.back().handle = h;
    return h;
}

const void* ctxLockString(Vorna::HostCallContext* self, Vorna::Handle string, std::int32_t encoding,
                          std::uint32_t* byteLength, std::uint32_t* token) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 10);
    c.state->log.back().handle = string;
    c.state->log.back().value = encoding;
    HostObject* s = c.state->live(string, ObjectKind::String);
    if (!s) {
        c.state->anomaly("lock of " + hexHandle(string) + ", which is no live String");
        return nullptr;
    }
    StringLoan loan;
    loan.string = string;
    if (encoding == Vorna::kEncodingNarrow) {
        loan.bytes = unitsToLatin1(s->text);
    } else if (encoding == Vorna::kEncodingUTF16) {
        loan.bytes.assign(reinterpret_cast<const char*>(s->text.data()), s->text.size() * 2);
    } else {
        c.state->anomaly("String lock in unknown encoding " + std::to_string(encoding));
        return nullptr;
    }
    std::uint32_t length = static_cast<std::uint32_t>(loan.bytes.size());
    loan.bytes.push_back('\0');
    loan.bytes.push_back('\0');
    std::uint32_t t = c.state->nextLoanToken++;
    auto it = c.state->loans.emplace(t, std::move(loan)).first;
    if (byteLength) *byteLength = length;
    if (token) *token = t;
    return it->second.bytes.data();
}

void ctxUnlockString(Vorna::HostCallContext* self, Vorna::Handle string, std::uint32_t token) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 11);
    c.state->log.back().handle = string;
    c.state->log.back().value = token;
    auto it = c.state->loans.find(token);
    if (it == c.state->loans.end()) {
        c.state->anomaly("String unlock with token " + std::to_string(token) +
                         ", which is no open loan");
        return;
    }
    if (it->second.string != string) {
        c.state->anomaly("String unlock of " + hexHandle(string) + " with the token of " +
                         hexHandle(it->second.string));
    }
    c.state->loans.erase(it);
}

std::int32_t ctxCall(Vorna::HostCallContext* self, Vorna::Handle function, std::int32_t count,
                     Vorna::ScriptArgRecord* records) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 12);
    return c.state->call(c, function, count, records);
}

const Vorna::HostCallContextTable kCallContextTable = {
    ctxAddReference, ctxRelease,      ctxUnused2,          ctxUnused3,
    ctxClearError,   ctxNewThrowable, ctxThrowableMessage, ctxPendingThrowable,
    ctxRaise,        ctxNewString,    ctxLockString,       ctxUnlockString,
    ctxCall,         ctxUnused13,
};

// ---- Class-interface slots --------------------------------------------------------------------

void clsAddReference(Vorna::HostClassInterface* self) {
    ClassInterfaceImpl& k = classOf(self);
    k.state->logCall(InterfaceKind::ClassInterface, 0, k.serial, k.key);
    ++k.count;
}

void clsRelease(Vorna::HostClassInterface* self) {
    ClassInterfaceImpl& k = classOf(self);
    k.state->logCall(InterfaceKind::ClassInterface, 1, k.serial, k.key);
    if (k.count <= 0) {
        k.state->anomaly("class interface " + k.key + " released more often than referenced");
        return;
    }
    --k.count;
}

std::intptr_t clsUnused(ClassInterfaceImpl& k, int slot) {
    k.state->logCall(InterfaceKind::ClassInterface, slot, k.serial, k.key);
    k.state->anomaly("class-interface slot " + std::to_string(slot) + " called");
    return 0;
}
std::intptr_t clsUnused2(Vorna::HostClassInterface* self) { return clsUnused(classOf(self), 2); }
const char* clsUnused3(Vorna::HostClassInterface* self) { return clsUnused(classOf(self), 3), ""; }
const char* clsUnused4(Vorna::HostClassInterface* self) { return clsUnused(classOf(self), 4), ""; }
std::intptr_t clsUnused5(Vorna::HostClassInterface* self) { return clsUnused(classOf(self), 5); }
std::intptr_t clsUnused8(Vorna::HostClassInterface* self) { return clsUnused(classOf(self), 8); }

// The object a count change through interface `k` may touch, or null after recording why not.
HostObject* countTarget(ClassInterfaceImpl& k, Vorna::Handle h, const char* what) {
    Host::State& s = *k.state;
    if (k.count <= 0)
        s.anomaly(std::string(what) + " through class interface " + k.key +
                  " after its last release");
    if (h == 0) {
        s.anomaly(std::string(what) + " on handle 0");
        return nullptr;
    }
    HostObject* o = s.find(h);
    if (!o) {
        s.anomaly(std::string(what) + " on foreign handle " + hexHandle(h));
        return nullptr;
    }
    if (!o->alive) {
        s.anomaly(std::string(what) + " on dead " + kindName(o->kind) + " " + hexHandle(h));
        return nullptr;
    }
    if (k.kind && !kindAcceptedBy(*k.kind, o->kind)) {
        s.anomaly(std::string(what) + " on " + kindName(o->kind) + " " + hexHandle(h) +
                  " through the " + kindName(*k.kind) + " class interface");
    }
    return o;
}

void clsAddObjectReference(Vorna::HostClassInterface* self, Vorna::Handle object) {
    ClassInterfaceImpl& k = classOf(self);
    k.state->logCall(InterfaceKind::ClassInterface, 6, k.serial, k.key, object);
    if (HostObject* o = countTarget(k, object, "count added")) ++o->count;
}

void clsReleaseObjectReference(Vorna::HostClassInterface* self, Vorna::Handle object) {
    ClassInterfaceImpl& k = classOf(self);
    k.state->logCall(InterfaceKind::ClassInterface, 7, k.serial, k.key, object);
    HostObject* o = countTarget(k, object, "count dropped");
    if (!o) return;
    if (o->moduleCount() <= 0) {
        k.state->anomaly(std::string("count of ") + kindName(o->kind) + " " + hexHandle(object) +
                         " would go negative: the module drops a count it does not hold");
        return;
    }
    k.state->dropCount(*o);
}

const Vorna::HostClassInterfaceTable kClassTable = {
    clsAddReference,
    clsRelease,
    clsUnused2,
    clsUnused3,
    clsUnused4,
    clsUnused5,
    clsAddObjectReference,
    clsReleaseObjectReference,
    clsUnused8,
};

}  // namespace

// ---- State --------------------------------------------------------------------------------------

std::string hexHandle(Vorna::Handle h) {
    std::ostringstream out;
    out << "0x" << std::hex << h;
    return out.str();
}

std::u16string latin1ToUnits(const char* bytes, std::size_t n) {
    std::u16string units(n, u'\0');
    for (std::size_t i = 0; i < n; ++i) units[i] = static_cast<unsigned char>(bytes[i]);
    return units;
}

std::string unitsToLatin1(const std::u16string& units) {
    std::string out(units.size(), '\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        out[i] = units[i] <= 0xFF ? static_cast<char>(units[i]) : '?';
    return out;
}

Host::State::State(Host& owner) : host(owner) {
    environment.iface.table = &kEnvironmentTable;
    environment.state = this;
}

HostObject& Host::State::newObject(ObjectKind kind, int moduleCount, int hostCount) {
    Vorna::Handle h = gNextHandle.fetch_add(1);
    if (h == 0) h = gNextHandle.fetch_add(1);
    HostObject& o = objects[h];
    o.handle = h;
    o.kind = kind;
    o.count = moduleCount + hostCount;
    o.hostCount = hostCount;
    return o;
}

HostObject* Host::State::find(Vorna::Handle h) {
    auto it = objects.find(h);
    return it == objects.end() ? nullptr : &it->second;
}

const HostObject* Host::State::find(Vorna::Handle h) const {
    auto it = objects.find(h);
    return it == objects.end() ? nullptr : &it->second;
}

HostObject* Host::State::live(Vorna::Handle h, ObjectKind kind) {
    HostObject* o = find(h);
    return (o && o->alive && o->kind == kind) ? o : nullptr;
}

void Host::State::destroy(HostObject& o) {
    o.alive = false;
    o.count = 0;
    o.hostCount = 0;
    o.text.clear();
    o.message.clear();
    o.image.reset();  // active locks keep the data itself
}

void Host::State::dropCount(HostObject& o) {
    if (--o.count <= 0) destroy(o);
}

void Host::State::dropHostCount(Vorna::Handle h) {
    HostObject* o = find(h);
    if (!o || !o->alive || o->hostCount <= 0)
        throw std::logic_error("the host holds no count on " + hexHandle(h));
    --o->hostCount;
    dropCount(*o);
}

Vorna::Handle Host::State::newString(std::u16string units, int moduleCount, int hostCount) {
    HostObject& o = newObject(ObjectKind::String, moduleCount, hostCount);
    o.text = std::move(units);
    return o.handle;
}

Vorna::Handle Host::State::newThrowable(std::int32_t code, std::string message, int moduleCount,
                                        int hostCount) {
    HostObject& o = newObject(ObjectKind::Throwable, moduleCount, hostCount);
    o.code = code;
    o.message = std::move(message);
    return o.handle;
}

Vorna::Handle Host::State::newImage(const ImageSpec& spec, int moduleCount, int hostCount,
                                    bool fill) {
    validateImageSpec(spec);
    auto data = std::make_shared<ImageData>();
    data->type = spec.type;
    data->sizes = spec.sizes;
    data->name = spec.name;
    data->packedComplex = spec.packedComplex;
    data->bytes.assign(data->elementCount() * elementSize(spec.type), 0);
    if (fill) {
        for (std::size_t i = 0; i < data->bytes.size(); ++i)
            data->bytes[i] = static_cast<unsigned char>(0xA5 ^ (i * 37));
    }
    HostObject& o = newObject(ObjectKind::Image, moduleCount, hostCount);
    o.image = std::move(data);
    return o.handle;
}

void Host::State::setPending(CallContextImpl& ctx, const std::string& message) {
    clearPending(ctx);
    ctx.pending = newThrowable(0, message, 0, 1);
}

void Host::State::clearPending(CallContextImpl& ctx) {
    if (ctx.pending != 0) {
        Vorna::Handle h = ctx.pending;
        ctx.pending = 0;
        dropHostCount(h);
    }
}

void Host::State::anomaly(const std::string& text) { anomalies.push_back(text); }

void Host::State::logCall(InterfaceKind iface, int slot, int object, std::string detail,
                          Vorna::Handle h, std::int64_t value) {
    CallLogEntry e;
    e.iface = iface;
    e.slot = slot;
    e.object = object;
    e.detail = std::move(detail);
    e.handle = h;
    e.value = value;
    log.push_back(std::move(e));
}

std::int32_t Host::State::call(CallContextImpl& ctx, Vorna::Handle function, std::int32_t count,
                               Vorna::ScriptArgRecord* records) {
    ++hostCalls;
    log.back().handle = function;
    // The handler may log calls of its own, so the entry is kept by index.
    std::size_t logIndex = log.size() - 1;
    auto finish = [&](std::int32_t status) {
        log[logIndex].value = status;
        return status;
    };

    HostObject* f = find(function);
    if (f && f->alive && f->kind == ObjectKind::Function) log[logIndex].detail = f->signature;

    if (globalFailAt != 0 && --globalFailAt == 0) {
        setPending(ctx, globalFailMessage);
        return finish(globalFailStatus);
    }

    if (!f || !f->alive || f->kind != ObjectKind::Function || f->stale ||
        (f->target == HostObject::Target::Registration &&
         registrations[f->registration].withdrawn)) {
        setPending(ctx, "The script function handle " + hexHandle(function) + " is not valid.");
        return finish(Vorna::kCallStaleHandle);
    }
    if (f->target == HostObject::Target::Registration) {
        setPending(ctx,
                   "The stand-in host does not call plug-in functions through a call context.");
        return finish(1);
    }
    auto native = natives.find(f->signature);
    if (native == natives.end()) {
        setPending(ctx, "The script function " + f->signature + " no longer exists.");
        return finish(Vorna::kCallStaleHandle);
    }
    // Copies: a handler may redefine functions while it runs.
    Signature sig = native->second.signature;
    NativeHandler handler = native->second.handler;

    if (count < 0 || static_cast<std::size_t>(count) != sig.recordCount() ||
        (count > 0 && !records)) {
        std::string text = "call of " + sig.text + " with " + std::to_string(count) + " records" +
                           (count > 0 && !records ? " and a null record pointer" : "") +
                           "; it takes " + std::to_string(sig.recordCount());
        anomaly(text);
        setPending(ctx, "Wrong argument count: " + text + ".");
        return finish(1);
    }

    ++callCounts[sig.text];
    auto plans = faults.find(sig.text);
    if (plans != faults.end()) {
        for (FaultPlan& p : plans->second) {
            if (p.spent) continue;
            ++p.seen;
            if (p.seen < p.fault.onCall) continue;
            if (!p.fault.everyCall) p.spent = true;
            if (p.fault.kind == Fault::Kind::Stale) {
                setPending(ctx, "The script function handle " + hexHandle(function) + " is stale.");
                return finish(Vorna::kCallStaleHandle);
            }
            setPending(ctx, p.fault.message);
            return finish(p.fault.status == 0 ? 1 : p.fault.status);
        }
    }

    NativeCall call(host, sig, records);
    // The records stay visible through currentRecords() while the handler runs (restored after,
    // since a handler may itself call functions of this host).
    struct CurrentRecords {
        CurrentRecords(Host& h, Vorna::ScriptArgRecord* r) : host(h), outer(h.fCurrentRecords) {
            h.fCurrentRecords = r;
        }
        ~CurrentRecords() { host.fCurrentRecords = outer; }
        Host& host;
        Vorna::ScriptArgRecord* outer;
    } current(host, records);
    try {
        handler(call);
    } catch (const ScriptError& e) {
        call.fail(e.what(), e.status());
    } catch (const std::exception& e) {
        call.fail(std::string("Host function failed: ") + e.what());
    }
    if (call.failed()) {
        setPending(ctx, call.failureMessage());
        return finish(call.status());
    }
    return finish(Vorna::kCallSucceeded);
}

// ---- Host ---------------------------------------------------------------------------------------

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
    info.type = d.type;
    info.sizes = d.sizes;
    info.name = d.name;
    info.packedComplex = d.packedComplex;
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
