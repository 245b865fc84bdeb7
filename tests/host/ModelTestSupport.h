// Shared by the object-model tests: a linked host, fresh objects held by the framework's
// references, and the catalogue rows of a group of functions.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "LinkedHost.h"
#include "Signature.h"
#include "errors/Exceptions.h"
#include "hostcall/References.h"
#include "hostcall/Stubs.h"

namespace ModelTest {

using namespace Vorna;
using Failure = PlugIn::qzplugin_exception;

class ModelTest : public TestSupport::LinkedHostTest {
  protected:
    // An empty tag group, held by the reference alone.
    TagGroup NewGroup() {
        Handle h = host().makeObject(StandIn::ObjectKind::TagGroup);
        TagGroup g(h);
        host().drop(h);
        return g;
    }
    ImageRef NewImage(const StandIn::ImageSpec& spec) {
        Handle h = host().createImage(spec);
        ImageRef image(h);
        host().drop(h);
        return image;
    }
    std::string Text(const qz_string& s) { return host().readString(s.get()); }
    int Count(Handle h) { return host().referenceCount(h); }
};

// A handle as the host's messages write it.
inline std::string Hex(Handle h) {
    std::ostringstream out;
    out << "0x" << std::hex << h;
    return out.str();
}

// The catalogue rows whose function names pass `select`, split into those the host defines and
// those it does not.
template <typename Select>
void SplitCatalogue(const StandIn::Host& host, Select select, std::vector<std::string>& defined,
                    std::vector<std::string>& missing) {
    for (std::size_t i = 0; i < QZ::kCatalogueSize; ++i) {
        std::string row = QZ::kCatalogue[i].signature;
        if (!select(StandIn::parseSignature(row).name)) continue;
        (host.isDefined(row) ? defined : missing).push_back(row);
    }
}

inline bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace ModelTest
