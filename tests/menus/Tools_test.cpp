// Tools: registered for exactly the life of their object under one identifier, their events
// reaching the right object, and their failures reaching the host as errors.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "MenuTestSupport.h"
#include "menus/PlugInTool.h"

namespace MenuTests {
namespace {

using Vorna::PlugIn::PlugInTool;

struct Event {
    std::int32_t value1;
    std::int32_t first;
    std::int32_t second;
    std::int32_t value2;
};

class RecordingTool final : public PlugInTool {
  public:
    explicit RecordingTool(const char* name) : PlugInTool(name) {}
    void ToolEvent(std::int32_t value1, std::int32_t* pair, std::int32_t value2) override {
        fEvents.push_back({value1, pair[0], pair[1], value2});
        pair[0] = -1;  // a copy: the host's pair is not changed
    }
    void ToolAction1() override {
        ++fAction1;
        if (fFail) Vorna::ThrowErrorMessage("The tool failed.");
    }
    void ToolAction2() override {
        ++fAction2;
        if (fOnAction2) fOnAction2();
    }

    std::vector<Event> fEvents;
    std::function<void()> fOnAction2;
    int fAction1 = 0;
    int fAction2 = 0;
    bool fFail = false;
};

using ToolTest = MenuFixture;

TEST_F(ToolTest, RegisteredForTheLifeOfTheObjectUnderOneIdentifier) {
    const int registers = hostCalls(StandIn::kRegisterCustomTool);
    const int unregisters = hostCalls(StandIn::kUnregisterCustomTool);
    std::int32_t id = 0;
    {
        RecordingTool ruler("Ruler");
        id = ruler.ToolID();
        EXPECT_EQ(1, hostCalls(StandIn::kRegisterCustomTool) - registers);
        const StandIn::ToolRegistration& registration = menus().tool("Ruler");
        EXPECT_EQ(id, registration.id);
        ASSERT_NE(nullptr, ruler.Block());
        EXPECT_EQ(&ruler.Block()->fRecord, registration.record) << "the block's own record";
        EXPECT_EQ(1, registration.record->version);
        EXPECT_EQ(static_cast<void*>(static_cast<PlugInTool*>(&ruler)), registration.record->tool);
        EXPECT_EQ(0, hostCalls(StandIn::kUnregisterCustomTool) - unregisters);
    }
    EXPECT_EQ(1, hostCalls(StandIn::kUnregisterCustomTool) - unregisters);
    ASSERT_FALSE(menus().toolRegistrations().empty());
    const StandIn::ToolRegistration& last = menus().toolRegistrations().back();
    EXPECT_EQ(id, last.id);
    EXPECT_FALSE(last.active) << "withdrawn with the identifier it was given";
}

TEST_F(ToolTest, EventsReachTheirOwnTool) {
    RecordingTool a("A");
    RecordingTool b("B");
    ASSERT_NE(a.ToolID(), b.ToolID());

    menus().toolEvent(b.ToolID(), 5, 10, 20, 7);
    menus().toolEvent(b.ToolID(), -1, 0, 0, 0);
    menus().toolAction1(a.ToolID());
    menus().toolAction2(a.ToolID());
    menus().toolAction2(a.ToolID());

    EXPECT_TRUE(a.fEvents.empty());
    ASSERT_EQ(2u, b.fEvents.size());
    EXPECT_EQ(5, b.fEvents[0].value1);
    EXPECT_EQ(10, b.fEvents[0].first);
    EXPECT_EQ(20, b.fEvents[0].second);
    EXPECT_EQ(7, b.fEvents[0].value2);
    EXPECT_EQ(-1, b.fEvents[1].value1);
    EXPECT_EQ(1, a.fAction1);
    EXPECT_EQ(2, a.fAction2);
    EXPECT_EQ(0, b.fAction1 + b.fAction2);

    EXPECT_EQ(42, menus().toolFunction0(a.ToolID(), 42));
    menus().toolFunction1(a.ToolID());
}

TEST_F(ToolTest, FailureOfAToolReachesTheHostAsAnError) {
    RecordingTool tool("Fragile");
    tool.fFail = true;
    EXPECT_THROW_MESSAGE(menus().toolAction1(tool.ToolID()), StandIn::ModuleError,
                         "The tool failed.");
    EXPECT_EQ(1, tool.fAction1);
}

TEST_F(ToolTest, EveryKindOfFailureReachesTheHostByTheEdgesLadder) {
    RecordingTool tool("Fragile");
    const Vorna::Handle hostsOwn = host().makeThrowable("the host said no");
    struct Case {
        std::function<void()> fail;
        std::int32_t code;
        const char* text;  // null: the datum is the number below
        Vorna::ErrorDatum number;
    };
    const Case cases[] = {
        {[&] { throw Vorna::PlugIn::qzplugin_exception(hostsOwn); }, Vorna::kErrorTextCopied,
         "the host said no", 0},
        {[] { Vorna::ThrowErrorMessage("The tool failed."); }, Vorna::kErrorText,
         "The tool failed.", 0},
        {[] { throw std::bad_alloc(); }, Vorna::kErrorOutOfMemory, nullptr,
         Vorna::kOutOfMemoryDatum},
        {[] { throw std::length_error("too long"); }, Vorna::kErrorTextCopied, "too long", 0},
        {[] { throw 42; }, Vorna::kErrorText, nullptr, 0},
    };
    for (const Case& c : cases) {
        tool.fOnAction2 = c.fail;
        try {
            menus().toolAction2(tool.ToolID());
            ADD_FAILURE() << "no error reported for code " << c.code;
        } catch (const StandIn::ModuleError& e) {
            EXPECT_EQ(c.code, e.code());
            if (c.text)
                EXPECT_STREQ(c.text, reinterpret_cast<const char*>(e.datum()));
            else
                EXPECT_EQ(c.number, e.datum());
        }
    }
    host().drop(hostsOwn);
}

TEST_F(ToolTest, RefusedRegistrationLeavesNoTool) {
    host().injectFault(StandIn::kRegisterCustomTool, StandIn::Fault::failure("No tools today."));
    const int unregisters = hostCalls(StandIn::kUnregisterCustomTool);
    EXPECT_THROW(RecordingTool("Refused"), Vorna::PlugIn::qzplugin_exception);
    EXPECT_EQ(0, hostCalls(StandIn::kUnregisterCustomTool) - unregisters);

    RecordingTool accepted("Accepted");
    EXPECT_EQ(accepted.ToolID(), menus().tool("Accepted").id);
}

}  // namespace
}  // namespace MenuTests
