// Text form of a leak report.
#include "LeakReport.h"

#include <sstream>

namespace StandIn {

std::string LeakReport::toString() const {
    if (clean()) return "no leaks";
    std::ostringstream out;
    for (const HeldObject& o : objects) {
        out << "held: " << kindName(o.kind) << " 0x" << std::hex << o.handle << std::dec
            << " count " << o.moduleCount;
        if (!o.description.empty()) out << " (" << o.description << ")";
        out << "\n";
    }
    for (const HeldInterface& i : interfaces)
        out << "referenced: " << i.what << " x" << i.references << "\n";
    for (const std::string& s : stringLoans) out << "string loan not returned: " << s << "\n";
    for (const std::string& s : lockedImages) out << "image left locked: " << s << "\n";
    for (const std::string& s : anomalies) out << "anomaly: " << s << "\n";
    return out.str();
}

}  // namespace StandIn
