// Shared by the tests of documents, displays, components, windows, ROIs and dialogs: the framework
// linked to the process's stand-in host and driven through the catalogue's stubs and members,
// as a plug-in drives them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "LinkedHost.h"
#include "errors/Exceptions.h"
#include "hostcall/Stubs.h"

namespace ViewsTest {

using namespace Vorna;
using HostError = Vorna::PlugIn::qzplugin_exception;

// A handle as the host's messages write it.
inline std::string Hex(Handle h) {
    std::ostringstream out;
    out << "0x" << std::hex << h;
    return out.str();
}

// Each test closes what it left in the user interface, so that every test starts with no window
// shown, and then gives back everything it took.
class ViewsTest : public TestSupport::LinkedHostTest {
  protected:
    void TearDown() override {
        for (const StandIn::DocumentInfo& shown : host().shownDocuments()) {
            ImageDocument doc(shown.document);
            doc.RemoveFromUserInterface();
        }
        TestSupport::LinkedHostTest::TearDown();
    }

    // A float image made by the host's own function, filled with `values` when given.
    ImageRef FloatImage(const char* name, std::int32_t width, std::int32_t height,
                        const std::vector<float>& values = {}) {
        ImageRef image = QZ::CreateFloatImage(name, width, height);
        if (!values.empty())
            std::memcpy(host().imageData(image.get()), values.data(),
                        values.size() * sizeof(float));
        return image;
    }

    std::string Text(const qz_string& s) { return host().readString(s.get()); }
};

// A reference to an object of another kind, for the host to refuse: made and given up without a
// count going through the wrong class interface.
template <class Ref>
class Posing {
  public:
    explicit Posing(Handle h) : fRef(h, kAdopt) {}
    ~Posing() { fRef.release(); }
    Posing(const Posing&) = delete;
    Posing& operator=(const Posing&) = delete;
    const Ref& operator*() const { return fRef; }
    const Ref* operator->() const { return &fRef; }

  private:
    Ref fRef;
};

}  // namespace ViewsTest
