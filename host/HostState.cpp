// A host's state: its object table, pending errors, the call log, and calls of its native
// script functions.
#include "HostState.h"

#include <algorithm>
#include <atomic>
#include <sstream>

namespace StandIn {
namespace {

// Handles are unique across every host in the process.
std::atomic<Vorna::Handle> gNextHandle{0x1000};

}  // namespace

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
    releaseViewLinks(*this, o);
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
    static_cast<ImageSpec&>(*data) = spec;
    data->dimensionCalibrations.resize(spec.sizes.size());
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
    const bool valid = f && f->alive && f->kind == ObjectKind::Function && !f->stale &&
                       !(f->target == HostObject::Target::Registration &&
                         registrations[f->registration].withdrawn);
    if (f && f->alive && f->kind == ObjectKind::Function) log[logIndex].detail = f->signature;
    // A handle to a catalogue function answers the function defined under its signature now; a
    // catalogue row without one is this host's limit, which faults are not injected into.
    const bool nativeTarget = valid && f->target == HostObject::Target::Native;
    auto native = nativeTarget ? natives.find(f->signature) : natives.end();
    const bool unprovided = nativeTarget && native == natives.end() && inCatalogue(f->signature);
    log[logIndex].unprovided = unprovided;
    if (unprovided) {
        ++unprovidedCallCount;
        if (std::find(unprovidedCalled.begin(), unprovidedCalled.end(), f->signature) ==
            unprovidedCalled.end())
            unprovidedCalled.push_back(f->signature);
    }

    if (!unprovided && globalFailAt != 0 && --globalFailAt == 0) {
        setPending(ctx, globalFailMessage);
        return finish(globalFailStatus);
    }

    if (!valid) {
        setPending(ctx, "The script function handle " + hexHandle(function) + " is not valid.");
        return finish(Vorna::kCallStaleHandle);
    }
    if (f->target == HostObject::Target::Registration) {
        setPending(ctx,
                   "The stand-in host does not call plug-in functions through a call context.");
        return finish(1);
    }
    if (native == natives.end() && !unprovided) {
        setPending(ctx, "The script function " + f->signature + " no longer exists.");
        return finish(Vorna::kCallStaleHandle);
    }
    // Copies: a handler may redefine functions while it runs.
    Signature sig = unprovided ? parseSignature(f->signature) : native->second.signature;
    NativeHandler handler = unprovided ? NativeHandler{} : native->second.handler;

    if (count < 0 || static_cast<std::size_t>(count) != sig.recordCount() ||
        (count > 0 && !records)) {
        std::string text = "call of " + sig.text + " with " + std::to_string(count) + " records" +
                           (count > 0 && !records ? " and a null record pointer" : "") +
                           "; it takes " + std::to_string(sig.recordCount());
        anomaly(text);
        setPending(ctx, "Wrong argument count: " + text + ".");
        return finish(1);
    }

    if (unprovided) {
        ++callCounts[sig.text];
        setPending(ctx, notProvidedMessage(sig.text));
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

}  // namespace StandIn
