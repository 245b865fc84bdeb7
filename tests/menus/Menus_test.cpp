// Menus as the host sees them: entries numbered across all menus, the menu-entry buffer, commands
// handed to the menus in order, errors reported through the error record, and the registration
// and list lifetime around construction and destruction of menus.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "MenuTestSupport.h"

namespace MenuTests {
namespace {

using Log = std::vector<std::string>;
using Vorna::kErrorText;
using Vorna::kErrorTextCopied;
using Vorna::vorna_exception;
using Vorna::PlugIn::MenuListUsageCount;

const char* const kAssertionText =
    "File \"PlugInMenu\", Line 314: Assertion \"itemIndex < fPlugInMenuEntryVector.size()\" "
    "Failed!";

// Runs `body` and answers the module error it throws; fails the test when there is none.
template <class Body>
StandIn::ModuleError ModuleErrorFrom(Body&& body) {
    try {
        body();
    } catch (const StandIn::ModuleError& e) {
        return e;
    }
    ADD_FAILURE() << "the module reported no error";
    return StandIn::ModuleError(0, 0, "");
}

template <class Body>
vorna_exception VornaExceptionFrom(Body&& body) {
    try {
        body();
    } catch (const vorna_exception& e) {
        return e;
    }
    ADD_FAILURE() << "no vorna_exception";
    return vorna_exception(0, 0);
}

using MenuListTest = MenuFixture;

TEST_F(MenuListTest, EntriesAreNumberedAcrossMenusInConstructionOrder) {
    Log log;
    LoggingMenu first("First", log);
    first.AddCommands(2, 1);
    LoggingMenu empty("Empty", log);
    LoggingMenu second("Second", log);
    second.AddCommands(3, 10);

    EXPECT_EQ(5, menus().count());

    StandIn::MenuItem item = menus().item(2);
    EXPECT_EQ((Log{"Second:prepare", "Second:get:0"}), log) << "the empty menu is skipped";
    EXPECT_EQ("Second", item.menuName);
    EXPECT_EQ("Second 10", item.itemName);
    EXPECT_EQ(10, item.id1);

    log.clear();
    item = menus().item(4);
    EXPECT_EQ((Log{"Second:get:2"}), log) << "no PrepareMenu for a later entry";
    EXPECT_EQ(12, item.id1);

    log.clear();
    item = menus().item(1);
    EXPECT_EQ((Log{"First:get:1"}), log);
    item = menus().item(0);
    EXPECT_EQ((Log{"First:get:1", "First:prepare", "First:get:0"}), log);
}

TEST_F(MenuListTest, IndexBeyondAllEntriesIsReportedAndWritesNothing) {
    Log log;
    LoggingMenu first("First", log);
    first.AddCommands(2, 1);
    LoggingMenu second("Second", log);
    second.AddCommands(3, 10);

    const auto& record = *menus().activeMenuRegistration();
    auto getItem = record.record->getItem;
    Vorna::HostErrorRecord error{0, 0};
    Vorna::PlugIn::MenuEntryBuffer entry;
    std::memset(&entry, 0x77, sizeof entry);
    std::int32_t id1 = -5;
    std::int32_t id2 = -6;
    getItem(record.users.front(), &error, 5, &entry, &id1, &id2);

    EXPECT_EQ(kErrorText, error.code);
    EXPECT_STREQ("Menu item index out of range.", reinterpret_cast<const char*>(error.datum));
    EXPECT_EQ(-5, id1);
    EXPECT_EQ(-6, id2);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&entry);
    for (std::size_t i = 0; i < sizeof entry; ++i)
        ASSERT_EQ(0x77, bytes[i]) << "the buffer is left untouched";
    EXPECT_TRUE(log.empty()) << "no menu was asked";
}

TEST_F(MenuListTest, EntryBufferCarriesEveryFieldAndCutsTexts) {
    Log log;
    LoggingMenu menu("Filters", "Edge detection", log);
    const std::string longName(100, 'n');
    menu.AppendCommand({7, 8});
    menu.SetCommandName({7, 8}, qz_string(longName.c_str()));
    menu.SetCommandFlag1({7, 8}, 1);
    menu.SetCommandFlag2({7, 8}, 2);
    menu.SetCommandFlag5({7, 8}, 5);
    menu.SetCommandValue({7, 8}, -123456);

    StandIn::MenuItem item = menus().item(0);
    EXPECT_EQ("Filters", item.menuName);
    EXPECT_EQ("Edge detection", item.subMenuName);
    EXPECT_EQ(0, item.kind);
    EXPECT_EQ(std::string(63, 'n'), item.itemName) << "63 chars and a NUL";
    EXPECT_EQ(1, item.flags[0]);
    EXPECT_EQ(2, item.flags[1]);
    EXPECT_EQ(0, item.flags[2]) << "flag 3 has no setter";
    EXPECT_EQ(0, item.flags[3]) << "flag 4 has no setter";
    EXPECT_EQ(5, item.flags[4]);
    EXPECT_EQ(-123456, item.value);
    EXPECT_EQ(7, item.id1);
    EXPECT_EQ(8, item.id2);

    // Only the texts and their NULs are written: the bytes behind them keep the host's filling.
    ASSERT_EQ(204u, item.raw.size());
    EXPECT_EQ(0, item.raw[7]) << "NUL behind \"Filters\"";
    EXPECT_EQ(0x5A, item.raw[8]);
    EXPECT_EQ(0x5A, item.raw[63]);
    EXPECT_EQ(0, item.raw[129 + 63]) << "NUL at the end of the cut item name";
    EXPECT_EQ(0x5A, item.raw[198]);
    EXPECT_EQ(0x5A, item.raw[199]);
}

TEST_F(MenuListTest, PlainEntriesAndTheirSubMenus) {
    Log log;
    LoggingMenu menu("Process", "Sub", log);
    menu.AppendPlainEntry();
    menu.AppendPlainEntry(qz_string());
    menu.AppendPlainEntry(qz_string("Other"));
    menu.AppendCommand({3, 0});

    std::vector<StandIn::MenuItem> items = menus().items();
    ASSERT_EQ(4u, items.size());
    EXPECT_EQ(1, items[0].kind);
    EXPECT_EQ("", items[0].subMenuName) << "the empty text, not the menu's sub-menu";
    EXPECT_EQ("Sub", items[1].subMenuName) << "an empty reference keeps the menu's";
    EXPECT_EQ("Other", items[2].subMenuName);
    EXPECT_EQ("Process", items[2].menuName);
    EXPECT_EQ(0, items[3].kind);
    EXPECT_EQ("Sub", items[3].subMenuName);
}

TEST_F(MenuListTest, PlainEntriesAreNeverFoundByIdentifier) {
    Log log;
    LoggingMenu menu("Process", log);
    menu.AppendPlainEntry();  // carries (0, 0)
    vorna_exception e = VornaExceptionFrom([&] { menu.SetCommandName({0, 0}, qz_string("x")); });
    EXPECT_EQ(kErrorText, e.fCode);
    EXPECT_EQ("Not found!", TextOf(e));

    menu.AppendCommand({0, 0});
    menu.SetCommandName({0, 0}, qz_string("found"));
    EXPECT_EQ("found", menus().item(1).itemName);
    EXPECT_EQ("", menus().item(0).itemName) << "the plain entry is untouched";
}

TEST_F(MenuListTest, CommandsAreFoundByBothHalvesOfTheirIdentifier) {
    Log log;
    LoggingMenu menu("M", log);
    menu.AppendCommand({1, 2});
    menu.AppendCommand({1, 3});
    menu.SetCommandValue({1, 3}, 13);
    for (CommandID missing : {CommandID{1, 4}, CommandID{2, 2}}) {
        EXPECT_EQ("Not found!",
                  TextOf(VornaExceptionFrom([&] { menu.SetCommandFlag1(missing, 1); })));
        EXPECT_EQ("Not found!", TextOf(VornaExceptionFrom([&] { menu.RemoveCommand(missing); })));
    }
    EXPECT_EQ(-1, menus().item(0).value);
    EXPECT_EQ(13, menus().item(1).value);

    menu.RemoveCommand({1, 2});
    ASSERT_EQ(1, menus().count());
    EXPECT_EQ(3, menus().item(0).id2);
    menu.SetCommandSubMenu({1, 3}, qz_string("Moved"));
    EXPECT_EQ("Moved", menus().item(0).subMenuName);
}

TEST_F(MenuListTest, StoringAtAnIndexReplacesTheTailOrFillsTheGap) {
    Log log;
    LoggingMenu menu("M", log);
    menu.InsertCommand(2, {9, 9});
    ASSERT_EQ(3u, menu.CountItems()) << "the gap is filled with copies of the new entry";
    for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(9, menus().item(i).id1);

    menu.InsertPlainEntry(1, qz_string());
    ASSERT_EQ(2u, menu.CountItems()) << "entries behind the index are dropped";
    EXPECT_EQ(0, menus().item(0).kind);
    EXPECT_EQ(1, menus().item(1).kind);
    EXPECT_EQ("Not found!", TextOf(VornaExceptionFrom([&] { menu.FindCommand({1, 0}); })));
    EXPECT_EQ(9, menu.FindCommand({9, 9}).fCommandID.id2);
}

// A menu that claims more entries than it has: the host's request reaches the menu's own check.
class OverclaimingMenu final : public StandardPlugInMenu {
  public:
    // Append* store at CountItems(), which this menu overstates.
    OverclaimingMenu() : StandardPlugInMenu(qz_string("Liar")) { InsertCommand(0, {1, 0}); }
    std::uint32_t CountItems() override { return 3; }
    bool DoItem(std::int32_t, std::int32_t) override { throw std::length_error("too long"); }
};

TEST_F(MenuListTest, FailuresOfMenusReachTheHostAsErrors) {
    OverclaimingMenu liar;
    StandIn::ModuleError e = ModuleErrorFrom([&] { menus().item(2); });
    EXPECT_EQ(kErrorText, e.code());
    EXPECT_STREQ(kAssertionText, e.what());

    e = ModuleErrorFrom([&] { menus().choose(1, 0); });
    EXPECT_EQ(kErrorTextCopied, e.code()) << "a standard exception arrives as its copied text";
    EXPECT_STREQ("too long", e.what());
}

TEST_F(MenuListTest, CommandsGoToTheMenusInOrderUntilOneTakesIt) {
    Log log;
    LoggingMenu first("First", log);
    LoggingMenu second("Second", log);
    first.fHandled = {{7, 1}};
    second.fHandled = {{7, 1}, {8, 1}};

    EXPECT_TRUE(menus().choose(7, 1));
    EXPECT_EQ((Log{"First:do:7,1"}), log) << "the first taker ends the walk";

    log.clear();
    EXPECT_TRUE(menus().choose(8, 1));
    EXPECT_EQ((Log{"First:do:8,1", "Second:do:8,1"}), log);

    log.clear();
    EXPECT_FALSE(menus().choose(9, 9));
    EXPECT_EQ((Log{"First:do:9,9", "Second:do:9,9"}), log);
}

TEST_F(MenuListTest, MenuMayDestroyAnotherWhileTheCommandIsHandedOn) {
    Log log;
    LoggingMenu first("First", log);
    std::optional<LoggingMenu> second;
    second.emplace("Second", log);
    LoggingMenu third("Third", log);
    first.fOnDoItem = [&second] { second.reset(); };
    third.fHandled = {{1, 1}};

    EXPECT_TRUE(menus().choose(1, 1));
    EXPECT_EQ((Log{"First:do:1,1", "Third:do:1,1"}), log);
    EXPECT_EQ(2u, Vorna::PlugIn::MenuListSize());
}

// ---- Registration and the life of the menu list -----------------------------------------------

using MenuRegistrationTest = MenuFixture;

TEST_F(MenuRegistrationTest, FirstMenuRegistersAndLastOneUnregisters) {
    const int registers = hostCalls(StandIn::kRegisterCustomMenu);
    const int unregisters = hostCalls(StandIn::kUnregisterCustomMenu);
    Log log;
    {
        LoggingMenu a("A", log);
        const std::int32_t token = Vorna::PlugIn::MenuRegistrationToken();
        EXPECT_NE(0, token);
        EXPECT_EQ(token, menus().activeMenuRegistration()->token);
        EXPECT_EQ(2, MenuListUsageCount()) << "the host's user and the module's";
        {
            LoggingMenu b("B", log);
            EXPECT_EQ(2u, Vorna::PlugIn::MenuListSize());
        }
        EXPECT_EQ(0, hostCalls(StandIn::kUnregisterCustomMenu) - unregisters)
            << "a menu is still there";
        EXPECT_EQ(1, hostCalls(StandIn::kRegisterCustomMenu) - registers);
    }
    EXPECT_EQ(1, hostCalls(StandIn::kUnregisterCustomMenu) - unregisters);
    EXPECT_EQ(0u, menus().heldUsers()) << "the host gave its user back";

    {
        LoggingMenu again("Again", log);
        EXPECT_EQ(2, hostCalls(StandIn::kRegisterCustomMenu) - registers) << "registers anew";
        EXPECT_EQ(1, menus().activeMenuRegistrationCount());
        EXPECT_NE(menus().menuRegistrations().front().token,
                  Vorna::PlugIn::MenuRegistrationToken());
        again.AddCommands(1, 5);
        EXPECT_EQ(5, menus().item(0).id1);
    }
    EXPECT_EQ(2, hostCalls(StandIn::kUnregisterCustomMenu) - unregisters);
}

TEST_F(MenuRegistrationTest, MenuBeforeTheHostsCreateStillJoinsAList) {
    menus().setCreateOnRegister(false);
    Log log;
    std::optional<LoggingMenu> menu;
    menu.emplace("Early", log);
    menu->AddCommands(2, 1);
    EXPECT_TRUE(Vorna::PlugIn::MenuListExists());
    EXPECT_EQ(1, MenuListUsageCount()) << "the module's own user";

    menus().create();
    EXPECT_EQ(2, MenuListUsageCount());
    EXPECT_EQ(2, menus().count());
    menus().destroy();
    EXPECT_EQ(1, MenuListUsageCount()) << "the list stays while it holds a menu";
    EXPECT_EQ("Early 2", menus().item(1).itemName);

    menus().create();
    menu.reset();  // unregisters, and the host gives back its user
    EXPECT_EQ(0, MenuListUsageCount());
}

TEST_F(MenuRegistrationTest, ListOutlivesTheLastMenuWhileTheHostHoldsUsers) {
    Log log;
    std::optional<LoggingMenu> menu;
    menu.emplace("M", log);
    menus().create();  // a second user of the host's
    EXPECT_EQ(3, MenuListUsageCount());
    menu.reset();
    EXPECT_EQ(0, MenuListUsageCount()) << "unregistering gave back both host users";
}

TEST_F(MenuRegistrationTest, RefusedRegistrationLeavesNothingBehind) {
    host().injectFault(StandIn::kRegisterCustomMenu, StandIn::Fault::failure("No menus today."));
    Log log;
    EXPECT_THROW(LoggingMenu("Refused", log), Vorna::PlugIn::qzplugin_exception);
    EXPECT_EQ(0, Vorna::PlugIn::MenuRegistrationToken());
    EXPECT_FALSE(Vorna::PlugIn::MenuListExists());

    LoggingMenu accepted("Accepted", log);
    accepted.AddCommands(1, 1);
    EXPECT_EQ(1, menus().count());
}

TEST_F(MenuRegistrationTest, RefusedUnregistrationKeepsTheRegistrationForTheNextMenu) {
    Log log;
    const int registers = hostCalls(StandIn::kRegisterCustomMenu);
    std::optional<LoggingMenu> menu;
    menu.emplace("M", log);
    const std::int32_t token = Vorna::PlugIn::MenuRegistrationToken();
    host().injectFault(StandIn::kUnregisterCustomMenu, StandIn::Fault::failure("Busy."));
    menu.reset();  // no exception leaves the destructor
    EXPECT_EQ(token, Vorna::PlugIn::MenuRegistrationToken());
    EXPECT_EQ(1, menus().activeMenuRegistrationCount());
    EXPECT_EQ(1, MenuListUsageCount()) << "the host's user keeps the empty list";
    EXPECT_EQ(0, menus().count());

    menu.emplace("Next", log);
    EXPECT_EQ(1, hostCalls(StandIn::kRegisterCustomMenu) - registers) << "reuses the record";
    menu->AddCommands(1, 4);
    EXPECT_EQ(4, menus().item(0).id1);
    menu.reset();
}

TEST_F(MenuRegistrationTest, DestroyRefusesAnAddressItDidNotHandOut) {
    Log log;
    LoggingMenu menu("M", log);
    const auto& registration = *menus().activeMenuRegistration();
    auto destroy = registration.record->destroy;
    Vorna::HostErrorRecord error{0, 0};
    int notAUser = 0;
    EXPECT_EQ(&notAUser, destroy(&notAUser, &error));
    EXPECT_EQ(kErrorText, error.code);
    EXPECT_EQ(2, MenuListUsageCount()) << "nothing given back";

    error = {0, 0};
    EXPECT_EQ(nullptr, destroy(nullptr, &error));
    EXPECT_EQ(0, error.code) << "a null handle is nothing to do";
}

}  // namespace
}  // namespace MenuTests
