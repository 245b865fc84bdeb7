// Helpers for the stand-in host's own tests: play the module's side of the interface by hand.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "Host.h"

namespace StandInTest {

using Vorna::Handle;

// An argument-record array with typed access by record index.
class Records {
  public:
    explicit Records(std::size_t n) : fRecords(n) {
        if (n) std::memset(fRecords.data(), 0, n * sizeof(Vorna::ScriptArgRecord));
    }
    template <typename T>
    Records& set(std::size_t i, T value) {
        std::memcpy(fRecords.at(i).bytes, &value, sizeof(T));
        return *this;
    }
    template <typename T>
    T get(std::size_t i) const {
        T value;
        std::memcpy(&value, fRecords.at(i).bytes, sizeof(T));
        return value;
    }
    Vorna::ScriptArgRecord* data() { return fRecords.empty() ? nullptr : fRecords.data(); }
    std::int32_t count() const { return static_cast<std::int32_t>(fRecords.size()); }

  private:
    std::vector<Vorna::ScriptArgRecord> fRecords;
};

// The module's side: one call context, resolution and calls by signature, counted releases.
class ModuleSide {
  public:
    explicit ModuleSide(StandIn::Host& host) : fHost(host), fEnv(host.environment()) {
        fContext = fEnv->table->newCallContext(fEnv);
    }
    ~ModuleSide() {
        if (fContext) fContext->table->release(fContext);
    }
    Vorna::HostEnvironment* env() { return fEnv; }
    Vorna::HostCallContext* context() { return fContext; }

    Handle resolve(const std::string& signature) {
        return fEnv->table->findScriptFunction(fEnv, 0, signature.c_str());
    }
    std::int32_t call(Handle function, Records& records) {
        return fContext->table->call(fContext, function, records.count(), records.data());
    }
    // Resolves, calls once and drops the function handle again.
    std::int32_t call(const std::string& signature, Records& records) {
        Handle f = resolve(signature);
        std::int32_t status = call(f, records);
        if (f) drop(StandIn::ObjectKind::Function, f);
        return status;
    }
    // The pending error's message ("" when none); takes and drops the Throwable's count.
    std::string pendingMessage() {
        Handle t = fContext->table->pendingThrowable(fContext);
        if (!t) return "";
        std::string text = fHost.throwableMessage(t);
        drop(StandIn::ObjectKind::Throwable, t);
        return text;
    }
    void add(StandIn::ObjectKind kind, Handle h) {
        withClass(kind, [h](Vorna::HostClassInterface* c) { c->table->addObjectReference(c, h); });
    }
    void drop(StandIn::ObjectKind kind, Handle h) {
        withClass(kind,
                  [h](Vorna::HostClassInterface* c) { c->table->releaseObjectReference(c, h); });
    }

  private:
    template <typename Fn>
    void withClass(StandIn::ObjectKind kind, Fn fn) {
        Vorna::HostClassInterface* c = fEnv->table->classInterface(fEnv, 0, StandIn::typeKey(kind));
        fn(c);
        c->table->release(c);
    }

    StandIn::Host& fHost;
    Vorna::HostEnvironment* fEnv;
    Vorna::HostCallContext* fContext = nullptr;
};

}  // namespace StandInTest
