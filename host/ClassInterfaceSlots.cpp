// A class interface's slots: the counts of the handles of one kind.
#include "HostState.h"

namespace StandIn {
namespace {

void QZ_CALL clsAddReference(Vorna::HostClassInterface* self) {
    ClassInterfaceImpl& k = classOf(self);
    k.state->logCall(InterfaceKind::ClassInterface, 0, k.serial, k.key);
    ++k.count;
}

void QZ_CALL clsRelease(Vorna::HostClassInterface* self) {
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
std::intptr_t QZ_CALL clsUnused2(Vorna::HostClassInterface* self) {
    return clsUnused(classOf(self), 2);
}
const char* QZ_CALL clsUnused3(Vorna::HostClassInterface* self) {
    return clsUnused(classOf(self), 3), "";
}
const char* QZ_CALL clsUnused4(Vorna::HostClassInterface* self) {
    return clsUnused(classOf(self), 4), "";
}
std::intptr_t QZ_CALL clsUnused5(Vorna::HostClassInterface* self) {
    return clsUnused(classOf(self), 5);
}
std::intptr_t QZ_CALL clsUnused8(Vorna::HostClassInterface* self) {
    return clsUnused(classOf(self), 8);
}

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

void QZ_CALL clsAddObjectReference(Vorna::HostClassInterface* self, Vorna::Handle object) {
    ClassInterfaceImpl& k = classOf(self);
    k.state->logCall(InterfaceKind::ClassInterface, 6, k.serial, k.key, object);
    if (HostObject* o = countTarget(k, object, "count added")) ++o->count;
}

void QZ_CALL clsReleaseObjectReference(Vorna::HostClassInterface* self, Vorna::Handle object) {
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

}  // namespace

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

}  // namespace StandIn
