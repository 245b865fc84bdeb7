// Shared by the menu and tool tests: the host's menu side for the process's host, a fixture that
// checks that every test leaves no registration, list user or host count behind, and a menu that
// logs what the host asks of it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "LinkedHost.h"
#include "Menus.h"
#include "errors/Exceptions.h"
#include "menus/PlugInMenu.h"

namespace MenuTests {

using Vorna::qz_string;
using Vorna::PlugIn::CommandID;
using Vorna::PlugIn::StandardPlugInMenu;

inline StandIn::Menus& TheMenus() {
    static StandIn::Menus menus(TestSupport::TheHost());
    return menus;
}

class MenuFixture : public TestSupport::LinkedHostTest {
  protected:
    void SetUp() override {
        LinkedHostTest::SetUp();
        menus().setCreateOnRegister(true);
    }
    void TearDown() override {
        EXPECT_EQ(0, menus().activeMenuRegistrationCount()) << "menu record still registered";
        EXPECT_EQ(0, menus().activeToolCount()) << "tool still registered";
        EXPECT_EQ(0, Vorna::PlugIn::MenuListUsageCount());
        EXPECT_FALSE(Vorna::PlugIn::MenuListExists());
        EXPECT_EQ(0, Vorna::PlugIn::MenuRegistrationToken());
        LinkedHostTest::TearDown();
    }
    StandIn::Menus& menus() { return TheMenus(); }
    int hostCalls(const char* signature) { return host().callCount(signature); }
};

// A standard menu that logs PrepareMenu, GetItem and DoItem as "<name>:prepare",
// "<name>:get:<index>" and "<name>:do:<id1>,<id2>", and handles the commands in `handled`.
class LoggingMenu final : public StandardPlugInMenu {
  public:
    LoggingMenu(std::string name, std::vector<std::string>& log)
        : StandardPlugInMenu(qz_string(name.c_str())), fName(std::move(name)), fLog(log) {}
    LoggingMenu(std::string name, const char* subMenu, std::vector<std::string>& log)
        : StandardPlugInMenu(qz_string(name.c_str()), qz_string(subMenu)),
          fName(std::move(name)),
          fLog(log) {}

    void PrepareMenu() override { fLog.push_back(fName + ":prepare"); }
    void GetItem(std::uint32_t itemIndex, Vorna::PlugIn::PlugInMenuEntry& entry, std::int32_t* id1,
                 std::int32_t* id2) override {
        fLog.push_back(fName + ":get:" + std::to_string(itemIndex));
        StandardPlugInMenu::GetItem(itemIndex, entry, id1, id2);
    }
    bool DoItem(std::int32_t id1, std::int32_t id2) override {
        fLog.push_back(fName + ":do:" + std::to_string(id1) + "," + std::to_string(id2));
        if (fOnDoItem) fOnDoItem();
        return fHandled.count({id1, id2}) != 0;
    }

    // Adds n commands (first, 0), (first + 1, 0), ... named "<name> <id1>".
    void AddCommands(int n, std::int32_t first) {
        for (std::int32_t id = first; id < first + n; ++id) {
            AppendCommand({id, 0});
            SetCommandName({id, 0}, qz_string((fName + " " + std::to_string(id)).c_str()));
        }
    }

    using StandardPlugInMenu::FindCommand;

    std::set<std::pair<std::int32_t, std::int32_t>> fHandled;
    std::function<void()> fOnDoItem;

  private:
    std::string fName;
    std::vector<std::string>& fLog;
};

// The text of a module error raised as a kErrorText / kErrorTextCopied vorna_exception.
inline std::string TextOf(const Vorna::vorna_exception& e) {
    return e.fData ? reinterpret_cast<const char*>(e.fData) : "";
}

}  // namespace MenuTests
