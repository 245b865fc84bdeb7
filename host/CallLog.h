// The record the host keeps of every slot call a module makes on its interface objects.
#pragma once

#include <cstdint>
#include <string>

#include "shell/Boundary.h"

namespace StandIn {

enum class InterfaceKind { Environment, CallContext, ClassInterface };

const char* interfaceKindName(InterfaceKind kind);

struct CallLogEntry {
    InterfaceKind iface = InterfaceKind::Environment;
    int slot = 0;
    // Which object: the call context's serial number (1, 2, ...) or 0 for the environment;
    // for a class interface its serial number among the class interfaces.
    int object = 0;
    // The signature (environment slots 6 and 8, call-context slot 12), the type key (environment
    // slot 4), the message (slot 5) or empty.
    std::string detail;
    Vorna::Handle handle = 0;  // the handle the call was about, or the handle it answered
    std::int64_t value = 0;    // status of slot 12, code of slot 5, encoding of 9/10, etc.
    // Slot 12: the call reached a catalogue function this host does not provide.
    bool unprovided = false;

    std::string toString() const;
};

}  // namespace StandIn
