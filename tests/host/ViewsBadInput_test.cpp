// Every function of documents, displays, components, windows, ROIs and dialogs called as a
// careless module might call it: with empty records, with objects of another kind, and with
// objects made bare. Each call answers or fails with a message of its own; none crashes, leaves a
// count behind or upsets the host's counting.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "HostState.h"
#include "HostTestSupport.h"

namespace {

using namespace StandIn;
using StandInTest::ModuleSide;
using StandInTest::Records;

bool InThisArea(const std::string& name) {
    static const char* const kPrefixes[] = {"Component",
                                            "ImageDisplay",
                                            "ImageDocument",
                                            "LinePlotImageDisplay",
                                            "RasterImageDisplay",
                                            "SurfacePlotImageDisplay",
                                            "ROI",
                                            "Window"};
    static const char* const kNames[] = {"ImageCountImageDisplays",
                                         "ImageCountImageDisplaysInImageDocument",
                                         "ImageCreateImageDisplay",
                                         "ImageGetImageDisplay",
                                         "ImageGetImageDisplayInImageDocument",
                                         "ImageGetOrCreateImageDocument",
                                         "GetFrontImage",
                                         "GetBoolean"};
    for (const char* p : kPrefixes)
        if (name.rfind(p, 0) == 0) return true;
    for (const char* n : kNames)
        if (name == n) return true;
    return false;
}

enum class Objects { Empty, OtherKind, Bare };

class ViewsBadInput : public ::testing::TestWithParam<Objects> {
  protected:
    std::vector<const Signature*> Area() {
        std::vector<const Signature*> out;
        for (const auto& entry : host.state().natives)
            if (InThisArea(entry.second.signature.name)) out.push_back(&entry.second.signature);
        return out;
    }

    Vorna::Handle Argument(ObjectKind kind) {
        Vorna::Handle h = 0;
        if (GetParam() == Objects::OtherKind) {
            h = kind == ObjectKind::String ? host.createImage({ElementType::Float32, {2, 2}, "i"})
                                           : host.makeString("not it");
        } else if (kind == ObjectKind::Image) {
            h = host.createImage({ElementType::Float32, {3, 2}, "bare"});
        } else if (kind == ObjectKind::String) {
            h = host.makeString("bare");
        } else {
            h = host.makeObject(kind);
        }
        made.push_back(h);
        return h;
    }

    // One call; answers the failure message ("" on success) and gives back what it handed out.
    std::string Call(const Signature& sig) {
        const std::size_t first = sig.hasResult() ? 1 : 0;
        Records records(sig.recordCount());
        std::vector<std::unique_ptr<std::array<unsigned char, 16>>> cells;
        static char text[] = "text";
        for (std::size_t i = 0; i < sig.params.size(); ++i) {
            const Param& p = sig.params[i];
            bool empty = GetParam() == Objects::Empty;
            if (p.kind == ValueKind::Object && !p.pointer) {
                records.set<Vorna::Handle>(first + i, empty ? 0 : Argument(*p.objectKind));
            } else if (p.kind == ValueKind::Text) {
                records.set<char*>(first + i, empty ? nullptr : text);
            } else if (p.pointer && !empty) {
                cells.push_back(std::make_unique<std::array<unsigned char, 16>>());
                cells.back()->fill(0);
                records.set<void*>(first + i, cells.back()->data());
            }
        }
        std::int32_t status = module.call(sig.text, records);
        std::string message = status == 0 ? "" : module.pendingMessage();
        if (status == 0 && sig.result.kind == ValueKind::Object) {
            if (auto h = records.get<Vorna::Handle>(0)) module.drop(*sig.result.objectKind, h);
        }
        std::size_t cell = 0;
        for (const Param& p : sig.params) {
            if (!(p.pointer && GetParam() != Objects::Empty && p.kind != ValueKind::Text)) continue;
            Vorna::Handle h = 0;
            std::memcpy(&h, cells[cell++]->data(), sizeof h);
            if (p.kind == ValueKind::Object && status == 0 && h != 0) module.drop(*p.objectKind, h);
        }
        return message;
    }

    Host host;
    ModuleSide module{host};
    std::vector<Vorna::Handle> made;
};

TEST_P(ViewsBadInput, EveryCallAnswersOrFailsWithItsOwnMessageAndLeavesNothingBehind) {
    // Prompts are answered quietly here.
    DialogAnswers quiet;
    quiet.echo = false;
    host.setDialogAnswers(quiet);
    const LeakSnapshot before = host.snapshot();
    std::vector<const Signature*> area = Area();
    EXPECT_GE(area.size(), 207u) << "the functions of this area";
    for (const Signature* sig : area) {
        SCOPED_TRACE(sig->text);
        std::string message = Call(*sig);
        EXPECT_EQ(message.find("Host function failed"), std::string::npos) << message;
        bool objectFirst = !sig->params.empty() && sig->params[0].kind == ValueKind::Object &&
                           !sig->params[0].pointer;
        bool validity = sig->name.size() > 7 && sig->name.rfind("IsValid") == sig->name.size() - 7;
        if (GetParam() != Objects::Bare && objectFirst && !validity) {
            EXPECT_NE(message.find(sig->name), std::string::npos) << "refused: " << message;
        }
        if (validity) {
            EXPECT_EQ(message, "");
        }
    }
    for (Vorna::Handle h : made) host.drop(h);
    LeakReport report = host.leakReport(before);
    EXPECT_TRUE(report.clean()) << report.toString();
}

INSTANTIATE_TEST_SUITE_P(Objects, ViewsBadInput,
                         ::testing::Values(Objects::Empty, Objects::OtherKind, Objects::Bare),
                         [](const ::testing::TestParamInfo<Objects>& info) {
                             switch (info.param) {
                                 case Objects::Empty: return "EmptyRecords";
                                 case Objects::OtherKind: return "ObjectsOfAnotherKind";
                                 case Objects::Bare: return "BareObjects";
                             }
                             return "";
                         });

}  // namespace
