// The module's link to the host: which environment is in use, who keeps it alive, and the scope
// that every entry from the host opens around its work.
//
// One thread, the host's: the counts and holders here are plain module-wide variables.
#pragma once

#include "shell/Boundary.h"

namespace Vorna {

class Function;

// A node of the list of callbacks run whenever an environment is installed. Nodes are static
// objects of their owners and are never removed.
struct EnvironmentListener {
    EnvironmentListener* next;
    void (*callback)(HostEnvironment* environment);
};

// Puts a node at the head of the listener list; a node already on the list is not added again.
void AddEnvironmentListener(EnvironmentListener& node);

// The environment in use, borrowed (no reference added). Never null while an EnvironmentUser
// lives: the stand-by environment takes the host's place until the host links.
HostEnvironment* CurrentEnvironment();

// Stand-by objects: answer every call, hold nothing, do nothing.
HostEnvironment* NullHostEnvironment();
HostCallContext* NullHostCallContext();
HostClassInterface* NullHostClassInterface();

// Optional sources of an environment or callbacks table when the host supplies none.
using EnvironmentProvider = HostEnvironment* (*)();  // answer carries one reference
void SetEnvironmentProvider(EnvironmentProvider provider);

// QZPlugIn_Link_2: keeps one counted reference to the host's environment until Relink takes it.
void LinkEnvironment(HostEnvironment* environment);

// Installs the linked environment (else the provider's, else the stand-by one) as current and
// lets every listener refresh from it.
void RelinkEnvironment();

// One counted use of the current environment. The first user installs the stand-by environment;
// the last one releases whatever environment is current.
class EnvironmentUser {
  public:
    EnvironmentUser();
    ~EnvironmentUser();
    EnvironmentUser(const EnvironmentUser&) = delete;
    EnvironmentUser& operator=(const EnvironmentUser&) = delete;

    // Calls the host's script function known by `signature`, resolving it into `cache` on first
    // use and once more when the host reports the cached handle stale. Records: result first,
    // then the parameters; null when `recordCount` is 0. Throws qzplugin_exception on failure.
    void CallScriptFunction(Function* cache, std::int32_t recordCount, ScriptArgRecord* records,
                            const char* signature) const;
};

// Opened around every entry from the host and every framework operation that needs a call
// context: one environment use and one fresh call context, given back in reverse order.
class EnvironmentScope {
  public:
    EnvironmentScope();
    ~EnvironmentScope();
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

    bool HasContext() const { return fContext != nullptr; }
    HostCallContext* Context() const { return fContext; }

  private:
    EnvironmentUser fUser;
    HostCallContext* fContext;
};

}  // namespace Vorna
