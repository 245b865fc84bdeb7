// The host-functions page: counts per group, then one table per group.
#include "HostFunctionsPage.h"

#include <cctype>
#include <map>
#include <sstream>
#include <vector>

#include "Host.h"

namespace Tools {
namespace {

// The member prefixes of the object kinds, in the order of the kinds table.
const char* const kPrefixes[] = {
#define QZ_OBJECT_KIND(Kind, ReferenceClass, TypeKey, MemberPrefix) #MemberPrefix,
#include "abi/ObjectKinds.def"
};
constexpr const char* kOther = "Other";

struct Group {
    std::vector<std::string> rows;
    int provided = 0;
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Counted(int provided, std::size_t rows) {
    return std::to_string(provided) + " of " + std::to_string(rows) + " provided";
}

// Why a headless host leaves the rest out; the object model's rows are the ones it can give.
const char* const kLeftOut =
    "The rest need what a headless host does not have: an acquisition device (the acquisition "
    "functions), a screen and a person in front of it (painting and drawing, the on-screen view "
    "of windows and displays, the mouse, the keyboard and tools), and files and the file system "
    "(photarion-run reads and writes image files itself, outside the module). A user's answers "
    "go no further than the dialogs, which the stand-in host answers without asking anyone. A "
    "row outside these that is still left out has no implementation yet: a plug-in that calls "
    "it gets the message above, and the row can be added to the stand-in host.";

}  // namespace

const char* const kHostFunctionsPageCommand =
    "cmake --build --preset default --target host_functions_page";

std::string HostFunctionGroup(const std::string& signature) {
    std::string name;
    try {
        name = StandIn::parseSignature(signature).name;
    } catch (const StandIn::SignatureError&) {
        return kOther;
    }
    std::string best;
    for (const char* prefix : kPrefixes) {
        const std::string p = prefix;
        if (name.size() > p.size() && name.compare(0, p.size(), p) == 0 && p.size() > best.size())
            best = p;
    }
    return best.empty() ? kOther : best;
}

std::string HostFunctionsPage(const StandIn::Host& host) {
    std::map<std::string, Group> groups;
    int provided = 0;
    for (const std::string& row : StandIn::Host::catalogue()) {
        Group& g = groups[HostFunctionGroup(row)];
        g.rows.push_back(row);
        if (host.provides(row)) {
            ++g.provided;
            ++provided;
        }
    }
    std::vector<std::string> order;
    for (const char* prefix : kPrefixes) {
        if (groups.count(prefix)) order.push_back(prefix);
    }
    if (groups.count(kOther)) order.push_back(kOther);
    const std::size_t total = StandIn::Host::catalogue().size();

    std::ostringstream out;
    out << "# Host functions of the stand-in host\n\n"
        << "This page is generated from the stand-in host's own list by "
           "`photarion-host-functions` (`tools/host-functions/`); do not edit it. After a change "
           "to the host's functions or to the catalogue, regenerate it with\n`"
        << kHostFunctionsPageCommand
        << "`\n(the test `docs.host_functions` fails while the page is out of date).\n\n"
        << "The catalogue of host script functions (`sdk/hostcall/catalogue.txt`) has " << total
        << " rows. The stand-in host, as `photarion-run` and its validator set it up, provides "
        << provided
        << " of them. A module may resolve every row: a row the stand-in host does not provide "
           "resolves to a function whose every call fails with \"The stand-in host does not "
           "provide '<signature>'.\", and `photarion-run --validate` notes such a call as a limit "
           "of the host, not as a finding against the plug-in.\n\n"
        << kLeftOut << "\n\n"
        << "Rows are grouped by the prefix of the function's name that makes them member "
           "operations of a reference class (the longest that fits); the others are under "
           "Other.\n\n"
        << "| Group | Rows | Provided |\n|---|---:|---:|\n";
    for (const std::string& name : order) {
        const Group& g = groups[name];
        out << "| [" << name << "](#" << Lower(name) << ") | " << g.rows.size() << " | "
            << g.provided << " |\n";
    }
    out << "| All | " << total << " | " << provided << " |\n";
    for (const std::string& name : order) {
        const Group& g = groups[name];
        out << "\n## " << name << "\n\n"
            << Counted(g.provided, g.rows.size()) << ".\n\n"
            << "| Signature | Provided |\n|---|---|\n";
        for (const std::string& row : g.rows)
            out << "| `" << row << "` | " << (host.provides(row) ? "yes" : "no") << " |\n";
    }
    return out.str();
}

}  // namespace Tools
