// The page docs/host-functions.md, made from the stand-in host's own list: every row of the
// catalogue of host script functions with whether the host provides it, grouped by the kind
// prefix of the function's name (the member prefixes of abi/ObjectKinds.def, the longest that
// fits; "Other" for the rest), with counts per group and in all.
#pragma once

#include <string>

namespace StandIn {
class Host;
}

namespace Tools {

// The command that rewrites the page, as the page and the check's message give it.
extern const char* const kHostFunctionsPageCommand;

// The group of a catalogue row: the kind prefix of its name, or "Other".
std::string HostFunctionGroup(const std::string& signature);

// The whole page for what `host` provides now.
std::string HostFunctionsPage(const StandIn::Host& host);

}  // namespace Tools
