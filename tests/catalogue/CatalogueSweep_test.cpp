// Every stub and every member operation of the framework's catalogue, called once through the
// stand-in host. The calls come from the driver that generate_stubs.py writes from the catalogue
// (hostcall/StubsDriver.cpp), so a row added to the catalogue is swept without a change here.
// Each call is checked against what the host's generic function saw and answered: the signature
// resolved, the record count, the bytes of each parameter record by the marshalling rule, what
// went through pointers, the result as the caller got it, and the counts afterwards.
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "SweepSupport.h"
#include "hostcall/StubsDriver.h"

namespace CatalogueTest {
namespace {

namespace Driver = Vorna::QZDriver;
using Bytes = std::vector<unsigned char>;

Bytes BytesAt(const void* target, std::size_t size) {
    const auto* first = static_cast<const unsigned char*>(target);
    return Bytes(first, first + size);
}

Vorna::Handle HandleOf(const Bytes& bytes) {
    Vorna::Handle h = 0;
    if (bytes.size() == sizeof h) std::memcpy(&h, bytes.data(), sizeof h);
    return h;
}

std::string Describe(const Driver::DriverRow& row) {
    std::string text = row.signature;
    if (*row.memberOf) text += std::string(" as ") + row.memberOf + "::" + row.memberName;
    return text;
}

class Sweep : public GenericHostTest, public Driver::ProbeHost {
  protected:
    Vorna::Handle MakeObject(Vorna::ObjectKind kind) override {
        StandIn::ObjectKind k = HostKind(kind);
        Vorna::Handle h;
        if (k == StandIn::ObjectKind::Image) {
            StandIn::ImageSpec spec;
            spec.sizes = {2, 2};
            spec.name = "argument";
            h = host().createImage(spec);
        } else if (k == StandIn::ObjectKind::String) {
            h = host().makeString("argument");
        } else {
            h = host().makeObject(k);
        }
        fArguments.push_back(h);
        return h;
    }

    void Check(const Driver::Probe& probe) override {
        fChecked = true;
        ASSERT_EQ(log().callCount(), fCallsBefore + 1) << "the call reached a generic function";
        const StandIn::GenericCall& call = lastCall();
        EXPECT_EQ(call.signature, probe.signature());
        EXPECT_EQ(call.recordCount, static_cast<std::size_t>(probe.recordCount()));
        const StandIn::CallLogEntry* lastHostCall = nullptr;
        const auto& entries = host().callLog();
        for (auto e = entries.rbegin(); e != entries.rend() && !lastHostCall; ++e)
            if (e->iface == StandIn::InterfaceKind::CallContext && e->slot == 12)
                lastHostCall = &*e;
        ASSERT_NE(lastHostCall, nullptr);
        EXPECT_EQ(lastHostCall->detail, probe.signature()) << "the function the host ran";
        EXPECT_EQ(lastHostCall->value, Vorna::kCallSucceeded);
        ASSERT_EQ(call.params.size(), probe.params().size());
        for (std::size_t i = 0; i < call.params.size(); ++i) {
            SCOPED_TRACE("parameter " + std::to_string(i + 1) + " (" + call.params[i].type + ")");
            CheckParam(probe.params()[i], call.params[i]);
        }
        CheckResult(probe, call);
    }

    void CheckParam(const Driver::ParamProbe& want, const StandIn::GenericParam& got) {
        if (!want.bytes.empty()) {
            EXPECT_EQ(got.record, want.bytes) << "record bytes";
        }
        switch (want.passing) {
            case Driver::Passing::Value: break;
            case Driver::Passing::Text:
                EXPECT_EQ(got.text, static_cast<const char*>(want.target));
                break;
            case Driver::Passing::Buffer:
                ASSERT_LE(StandIn::kGenericBufferTextSize, want.size);
                EXPECT_EQ(got.found, Bytes(want.before.begin(),
                                           want.before.begin() + StandIn::kGenericBufferTextSize));
                EXPECT_EQ(BytesAt(want.target, got.written.size()), got.written);
                break;
            case Driver::Passing::Pointer:
                EXPECT_EQ(got.found, want.before) << "the host sees the caller's variable";
                EXPECT_EQ(BytesAt(want.target, want.size), got.written) << "and writes into it";
                break;
            case Driver::Passing::BooleanCell: {
                ASSERT_EQ(got.found.size(), 1u);
                ASSERT_EQ(got.written.size(), 1u);
                EXPECT_NE(got.record, Bytes(BytesAt(&want.target, sizeof want.target)))
                    << "the host gets a one-byte cell, not the caller's bool";
                EXPECT_EQ(got.found[0], want.before[0] ? 1 : 0) << "the cell copies the bool";
                unsigned char now = BytesAt(want.target, 1)[0];
                EXPECT_EQ(now, got.written[0] != 0 ? 1 : 0) << "the bool becomes 0 or 1";
                break;
            }
            case Driver::Passing::Object:
                EXPECT_TRUE(got.validObject);
                EXPECT_EQ(host().kindOf(got.handle), HostKind(want.kind));
                EXPECT_EQ(host().moduleReferences(got.handle), 1) << "borrowed: no count added";
                break;
            case Driver::Passing::ReferenceOut: {
                EXPECT_EQ(got.found, want.before) << "the host sees the reference's handle word";
                Vorna::Handle now = HandleOf(BytesAt(want.target, want.size));
                EXPECT_NE(now, 0u);
                EXPECT_EQ(now, got.handle) << "the reference holds what the host stored";
                EXPECT_EQ(host().kindOf(now), HostKind(want.kind));
                EXPECT_EQ(host().moduleReferences(now), 1) << "and owns its one count";
                Vorna::Handle old = HandleOf(want.before);
                if (old) {
                    EXPECT_EQ(host().moduleReferences(old), 0) << "the old count went back";
                }
                fMade.push_back(now);
                break;
            }
            case Driver::Passing::ImageHandle: EXPECT_TRUE(got.validObject); break;
        }
    }

    void CheckResult(const Driver::Probe& probe, const StandIn::GenericCall& call) {
        switch (probe.returning()) {
            case Driver::Returning::Nothing:
                EXPECT_TRUE(call.result.empty());
                EXPECT_EQ(call.recordCount, call.params.size()) << "no result record";
                break;
            case Driver::Returning::Boolean:
                ASSERT_EQ(call.result.size(), 1u);
                EXPECT_NE(call.result[0], 1) << "the host's true is not 1";
                EXPECT_EQ(probe.result(),
                          Bytes{static_cast<unsigned char>(call.result[0] ? 1 : 0)});
                break;
            case Driver::Returning::Value:
                EXPECT_EQ(probe.result(), call.result) << "the result as the caller got it";
                break;
            case Driver::Returning::Object: {
                EXPECT_EQ(probe.result(), call.result) << "the result's handle";
                Vorna::Handle h = HandleOf(probe.result());
                EXPECT_NE(h, 0u);
                EXPECT_EQ(host().kindOf(h), HostKind(probe.resultKind()));
                EXPECT_EQ(host().moduleReferences(h), 1) << "the result owns the host's count";
                fMade.push_back(h);
                break;
            }
        }
    }

    void Run(const Driver::DriverRow& row) {
        SCOPED_TRACE(Describe(row));
        StandIn::LeakSnapshot before = host().snapshot();
        int callsBefore = host().callCount(row.signature);
        fCallsBefore = log().callCount();
        fChecked = false;
        fArguments.clear();
        fMade.clear();
        try {
            row.run(*this);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "the call threw: " << e.what();
        }
        EXPECT_TRUE(fChecked);
        EXPECT_EQ(host().callCount(row.signature), callsBefore + 1);
        EXPECT_EQ(host().resolveCount(row.signature), 1) << "resolved once, then cached";
        for (Vorna::Handle h : fMade) EXPECT_FALSE(host().isAlive(h)) << "released by the caller";
        for (Vorna::Handle h : fArguments) {
            EXPECT_EQ(host().moduleReferences(h), 0)
                << "argument references gave back their counts";
            if (host().hostReferences(h) > 0) host().drop(h);
        }
        StandIn::LeakReport report = TestSupport::LeakedSince(before);
        EXPECT_TRUE(report.clean()) << report.toString();
    }

    std::size_t fCallsBefore = 0;
    bool fChecked = false;
    std::vector<Vorna::Handle> fArguments;
    std::vector<Vorna::Handle> fMade;
};

TEST_F(Sweep, EveryStubOnceInCatalogueOrder) {
    std::size_t stubs = 0;
    for (std::size_t i = 0; i < Driver::kDriverRowCount; ++i) {
        const Driver::DriverRow& row = Driver::kDriverRows[i];
        if (*row.memberOf) continue;
        ASSERT_LT(stubs, Vorna::QZ::kCatalogueSize);
        EXPECT_STREQ(row.signature, Vorna::QZ::kCatalogue[stubs].signature);
        EXPECT_EQ(row.recordCount, Vorna::QZ::kCatalogue[stubs].recordCount);
        ++stubs;
        Run(row);
    }
    EXPECT_EQ(stubs, Vorna::QZ::kCatalogueSize);
    EXPECT_TRUE(host().unresolvedSignatures().empty());
}

TEST_F(Sweep, EveryMemberOperationOnce) {
    std::size_t members = 0;
    for (std::size_t i = 0; i < Driver::kDriverRowCount; ++i) {
        const Driver::DriverRow& row = Driver::kDriverRows[i];
        if (!*row.memberOf) continue;
        ++members;
        Run(row);
    }
    EXPECT_EQ(members, 486u);
    EXPECT_TRUE(host().unresolvedSignatures().empty());
}

TEST(CatalogueTable, MemberOperationsPerClass) {
    const std::map<std::string, int> expected = {
        {"ImageRef", 58},
        {"ROI", 43},
        {"Component", 52},
        {"ImageDisplay", 52},
        {"LinePlotImageDisplay", 25},
        {"RasterImageDisplay", 5},
        {"SurfacePlotImageDisplay", 5},
        {"ImageDocument", 50},
        {"TagGroup", 158},
        {"Window", 25},
        {"ScriptObject", 5},
        {"qz_string", 4},
        {"Throwable", 1},
        {"Function", 3},
    };
    std::map<std::string, int> counted;
    std::set<std::string> memberRows;
    for (std::size_t i = 0; i < Driver::kDriverRowCount; ++i) {
        const Driver::DriverRow& row = Driver::kDriverRows[i];
        if (!*row.memberOf) continue;
        ++counted[row.memberOf];
        memberRows.insert(row.signature);
        // A member is its row's name less the kind prefix, and forwards to that row.
        std::string name = row.signature;
        name = name.substr(name.find(' ') + 1);
        name = name.substr(0, name.find('('));
        EXPECT_EQ(name.substr(name.size() - std::strlen(row.memberName)), row.memberName)
            << row.signature;
    }
    EXPECT_EQ(counted, expected);
    EXPECT_EQ(memberRows.size(), 486u) << "each member row once";
}

TEST(CatalogueTable, RowsStandOnceInCaseInsensitiveOrderWithOverloadsTogether) {
    ASSERT_EQ(Vorna::QZ::kCatalogueSize, 552u) << "549 rows and the three image-locking ones";
    std::set<std::string> seen;
    std::string previousName;
    std::set<std::string> names;
    auto nameOf = [](std::string text) {
        text = text.substr(text.find(' ') + 1);
        if (text[0] == '*') text = text.substr(1);
        return text.substr(0, text.find('('));
    };
    auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    for (std::size_t i = 0; i < Vorna::QZ::kCatalogueSize; ++i) {
        const std::string signature = Vorna::QZ::kCatalogue[i].signature;
        EXPECT_TRUE(seen.insert(signature).second) << "twice: " << signature;
        std::string name = nameOf(signature);
        if (name != previousName) {
            EXPECT_TRUE(names.insert(name).second) << "overloads of " << name << " apart";
            EXPECT_LT(lower(previousName), lower(name)) << "order at " << signature;
        }
        previousName = name;
    }
    EXPECT_EQ(names.size(), 552u - 24u) << "15 names carry 39 rows";
}

TEST(CatalogueTable, TheStandInHostKnowsTheRowsTheStubsResolve) {
    // Both tables are generated from the one catalogue, by different generators.
    std::vector<std::string> stubs;
    for (std::size_t i = 0; i < Vorna::QZ::kCatalogueSize; ++i)
        stubs.emplace_back(Vorna::QZ::kCatalogue[i].signature);
    EXPECT_EQ(stubs, StandIn::Host::catalogue());
}

}  // namespace
}  // namespace CatalogueTest
