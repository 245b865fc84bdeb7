// What a module left behind: object counts it still holds, interfaces it still references,
// string loans and image locks it did not return, and every counting anomaly seen.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ObjectKinds.h"
#include "shell/Boundary.h"

namespace StandIn {

// The state a later report is compared against: only what is new since is reported.
struct LeakSnapshot {
    std::map<Vorna::Handle, int> moduleCounts;  // module-held count per live handle
    int environmentReferences = 0;
    std::map<int, int> callContextReferences;             // serial -> count
    std::map<std::string, int> classInterfaceReferences;  // type key -> count
    std::size_t anomalyCount = 0;
    std::map<std::uint32_t, Vorna::Handle> stringLoans;  // token -> string
    std::map<std::uint64_t, Vorna::Handle> imageLocks;   // lock serial -> image
};

struct LeakReport {
    struct HeldObject {
        Vorna::Handle handle = 0;
        ObjectKind kind = ObjectKind::Image;
        int moduleCount = 0;      // counts held by the module beyond the snapshot's
        std::string description;  // e.g. the string's text or the image's name
    };
    struct HeldInterface {
        std::string
            what;  // "environment", "call context 3", "class interface Vorna:Photarion:Image"
        int references = 0;  // beyond the snapshot's
    };

    std::vector<HeldObject> objects;
    std::vector<HeldInterface> interfaces;
    std::vector<std::string> stringLoans;   // "string 0x... token 5"
    std::vector<std::string> lockedImages;  // "image 0x... (name) locked by ImageLockData"
    std::vector<std::string> anomalies;     // counting errors, foreign handles, bad arguments

    bool clean() const {
        return objects.empty() && interfaces.empty() && stringLoans.empty() &&
               lockedImages.empty() && anomalies.empty();
    }
    // One finding per line; "no leaks" when clean.
    std::string toString() const;
};

}  // namespace StandIn
