// The module-wide menu list, the menu callback record the host calls, and the menus themselves.
//
// Lifetime of the list. The list is shared by counted users: the first user creates it, the last
// one deletes it. The host takes a user with each create call and gives it back with destroy;
// the module holds one more user of its own while any menu exists. So:
//   - a menu constructed before the host called create (or with a host that never does) still
//     finds a list to join;
//   - the list outlives the host's destroy as long as menus are in it, and outlives the last menu
//     as long as the host still holds a user;
//   - the users handed to the host are elements of a module-owned container, so a user the host
//     never gives back is freed at unload, and an address the host did not get from create is
//     recognised and refused.
// The usage count is therefore always the number of live users: host users plus the module's.
#include "menus/PlugInMenu.h"

#include <algorithm>
#include <cstring>
#include <list>
#include <memory>
#include <new>
#include <optional>

#include "errors/AssertionSites.h"
#include "errors/EdgeGuard.h"
#include "errors/Exceptions.h"
#include "hostcall/Stubs.h"
#include "shell/PlugInMain.h"

namespace Vorna {
namespace PlugIn {
namespace {

const FrameworkUnitUsers sUsers;

// The file name of this unit's own checks.
constexpr const char* kMenuSourceFile = "PlugInMenu";

struct MenuList {
    std::vector<PlugInMenu*> fMenus;  // in order of construction
};

// One counted use of the menu list.
class MenuListUser {
  public:
    MenuListUser();
    ~MenuListUser();
    MenuListUser(const MenuListUser&) = delete;
    MenuListUser& operator=(const MenuListUser&) = delete;
};

struct MenuState {
    std::unique_ptr<MenuList> fList;
    std::int32_t fUsageCount = 0;
    std::int32_t fToken = 0;
    // Declared after the list and the count, so they are given back before those go.
    std::list<MenuListUser> fHostUsers;
    std::optional<MenuListUser> fModuleUser;

    MenuState() = default;
    MenuState(const MenuState&) = delete;
    MenuState& operator=(const MenuState&) = delete;
};

// The state outlives every menu: a menu may belong to the module's main object, which can be
// destroyed after this unit's static objects. So it is built in place on first use and never
// destroyed; its users give back what it holds.
MenuState& Menus() {
    alignas(MenuState) static unsigned char sStorage[sizeof(MenuState)];
    static MenuState* const sState = ::new (sStorage) MenuState;
    return *sState;
}

MenuListUser::MenuListUser() {
    if (Menus().fUsageCount == 0) Menus().fList = std::make_unique<MenuList>();
    ++Menus().fUsageCount;
}

MenuListUser::~MenuListUser() {
    if (--Menus().fUsageCount == 0) Menus().fList.reset();
}

bool NoMenus() { return !Menus().fList || Menus().fList->fMenus.empty(); }

// The menu at position i of the list, or null past its end. The list is looked up again on every
// step of a walk: a menu's own operations may construct or destroy menus.
PlugInMenu* MenuAt(std::size_t i) {
    if (!Menus().fList || i >= Menus().fList->fMenus.size()) return nullptr;
    return Menus().fList->fMenus[i];
}

void JoinList(PlugInMenu* menu) {
    if (!Menus().fModuleUser) Menus().fModuleUser.emplace();
    Menus().fList->fMenus.push_back(menu);
}

void LeaveList(PlugInMenu* menu) noexcept {
    if (Menus().fList) {
        auto& menus = Menus().fList->fMenus;
        menus.erase(std::remove(menus.begin(), menus.end(), menu), menus.end());
    }
    if (NoMenus()) Menus().fModuleUser.reset();
}

// Ends the registration once no menu is left. The host's destroy call for its user normally
// follows from inside the unregistration. A refused unregistration keeps the token: the host
// still holds the record, and the next menu reuses it.
void UnregisterIfUnused() noexcept {
    if (!NoMenus() || Menus().fToken == 0) return;
    try {
        PlugInMain::GetCallbacks().unregister_custom_menu(Menus().fToken);
        Menus().fToken = 0;
    } catch (...) {
    }
}

void WriteText(const qz_string& text, char* field) {
    std::uint32_t n = text.empty() ? 0 : text.CopyText(kEncodingNarrow, field, kMenuTextCapacity);
    field[n] = '\0';
}

// Writes the fields of the menu-entry buffer; the bytes between them stay as the host left them.
void WriteEntry(const PlugInMenuEntry& entry, MenuEntryBuffer& out) {
    WriteText(entry.fMenuName, out.fMenuName);
    WriteText(entry.fSubMenuName, out.fSubMenuName);
    out.fKind = entry.fKind;
    WriteText(entry.fItemName, out.fItemName);
    out.fFlag1 = entry.fFlag1;
    out.fFlag2 = entry.fFlag2;
    out.fFlag3 = entry.fFlag3;
    out.fFlag4 = entry.fFlag4;
    out.fFlag5 = entry.fFlag5;
    out.fValue = entry.fValue;
}

// ---- Functions of the menu callback record ----------------------------------------------------

MenuListHandle QZ_CALL MenuCreate(HostErrorRecord* error) {
    MenuListHandle user = nullptr;
    RunReportingTo(error, [&user] {
        Menus().fHostUsers.emplace_back();
        user = &Menus().fHostUsers.back();
    });
    return user;
}

MenuListHandle QZ_CALL MenuDestroy(MenuListHandle handle, HostErrorRecord* error) {
    if (!handle) return handle;
    RunReportingTo(error, [handle] {
        auto& users = Menus().fHostUsers;
        auto it = std::find_if(users.begin(), users.end(),
                               [handle](const MenuListUser& u) { return &u == handle; });
        if (it == users.end()) {
            ReportAssertion(kMenuSourceFile, __LINE__, "handle is a user made by create", 1);
            return;
        }
        users.erase(it);
    });
    return handle;
}

std::int32_t QZ_CALL MenuCount(MenuListHandle, HostErrorRecord* error, std::int32_t* total) {
    std::uint32_t sum = 0;
    bool done = RunReportingTo(error, [&sum] {
        for (std::size_t i = 0; PlugInMenu* menu = MenuAt(i); ++i) sum += menu->CountItems();
    });
    if (!done) return 0;
    auto result = static_cast<std::int32_t>(sum);
    if (total) *total = result;
    return result;
}

void QZ_CALL MenuGetItem(MenuListHandle, HostErrorRecord* error, std::uint32_t index,
                         MenuEntryBuffer* buffer, std::int32_t* id1, std::int32_t* id2) {
    RunReportingTo(error, [&] {
        std::uint32_t start = 0;
        for (std::size_t i = 0; PlugInMenu* menu = MenuAt(i); ++i) {
            std::uint32_t n = menu->CountItems();
            if (index - start < n) {
                if (index == start) menu->PrepareMenu();
                PlugInMenuEntry entry;
                std::int32_t first = 0;
                std::int32_t second = 0;
                menu->GetItem(index - start, entry, &first, &second);
                if (buffer) WriteEntry(entry, *buffer);
                if (id1) *id1 = first;
                if (id2) *id2 = second;
                return;
            }
            start += n;
        }
        ThrowErrorMessage("Menu item index out of range.");
    });
}

void QZ_CALL MenuDoItem(MenuListHandle, HostErrorRecord* error, std::int32_t id1, std::int32_t id2,
                        std::uint8_t* handled) {
    RunReportingTo(error, [&] {
        bool taken = false;
        for (std::size_t i = 0; PlugInMenu* menu = MenuAt(i); ++i) {
            if (menu->DoItem(id1, id2)) {
                taken = true;
                break;
            }
        }
        if (handled) *handled = taken ? 1 : 0;
    });
}

const MenuCallbackRecord sMenuCallbackRecord = {
    QZ_CALLBACK_RECORD_VERSION, 0, MenuCreate, MenuDestroy, MenuCount, MenuGetItem, MenuDoItem,
};

}  // namespace

// ---- Entries 2 and 3 of the callbacks table ---------------------------------------------------

std::int32_t RegisterCustomMenu() {
    return QZ::RegisterCustomMenu(reinterpret_cast<std::intptr_t>(&sMenuCallbackRecord));
}

void UnregisterCustomMenu(std::int32_t token) { QZ::UnregisterCustomMenu(token); }

// ---- PlugInMenu --------------------------------------------------------------------------------

PlugInMenu::PlugInMenu() {
    if (Menus().fToken == 0) Menus().fToken = PlugInMain::GetCallbacks().register_custom_menu();
    try {
        JoinList(this);
    } catch (...) {
        LeaveList(this);
        UnregisterIfUnused();
        throw;
    }
}

PlugInMenu::~PlugInMenu() {
    LeaveList(this);
    UnregisterIfUnused();
}

// ---- StandardPlugInMenu ------------------------------------------------------------------------

StandardPlugInMenu::StandardPlugInMenu(const qz_string& menuName) : fMenuName(menuName) {}

StandardPlugInMenu::StandardPlugInMenu(const qz_string& menuName, const qz_string& subMenuName)
    : fMenuName(menuName), fSubMenuName(subMenuName) {}

StandardPlugInMenu::~StandardPlugInMenu() = default;

std::uint32_t StandardPlugInMenu::CountItems() {
    return static_cast<std::uint32_t>(fPlugInMenuEntryVector.size());
}

void StandardPlugInMenu::GetItem(std::uint32_t itemIndex, PlugInMenuEntry& entry, std::int32_t* id1,
                                 std::int32_t* id2) {
    if (!(itemIndex < fPlugInMenuEntryVector.size()))
        ReportAssertion(AssertionSites::kMenuItemIndex);
    const PlugInMenuEntry& stored = fPlugInMenuEntryVector[itemIndex];
    entry = stored;
    *id1 = stored.fCommandID.id1;
    *id2 = stored.fCommandID.id2;
}

PlugInMenuEntry StandardPlugInMenu::NewEntry() const {
    PlugInMenuEntry entry;
    entry.fMenuName = fMenuName;
    entry.fSubMenuName = fSubMenuName;
    return entry;
}

void StandardPlugInMenu::StoreEntry(std::uint32_t index, const PlugInMenuEntry& entry) {
    fPlugInMenuEntryVector.resize(static_cast<std::size_t>(index) + 1, entry);
    fPlugInMenuEntryVector[index] = entry;
}

void StandardPlugInMenu::InsertCommand(std::uint32_t index, CommandID commandID) {
    PlugInMenuEntry entry = NewEntry();
    entry.fKind = kCommandEntry;
    entry.fCommandID = commandID;
    StoreEntry(index, entry);
}

void StandardPlugInMenu::InsertPlainEntry(std::uint32_t index, const qz_string& subMenuName) {
    PlugInMenuEntry entry = NewEntry();
    entry.fKind = kPlainEntry;
    if (!subMenuName.empty()) entry.fSubMenuName = subMenuName;
    StoreEntry(index, entry);
}

void StandardPlugInMenu::AppendCommand(CommandID commandID) {
    InsertCommand(CountItems(), commandID);
}

void StandardPlugInMenu::AppendPlainEntry(const qz_string& subMenuName) {
    InsertPlainEntry(CountItems(), subMenuName);
}

void StandardPlugInMenu::AppendPlainEntry() { InsertPlainEntry(CountItems(), qz_string("")); }

std::size_t StandardPlugInMenu::FindCommandIndex(CommandID commandID) const {
    for (std::size_t i = 0; i < fPlugInMenuEntryVector.size(); ++i) {
        const PlugInMenuEntry& entry = fPlugInMenuEntryVector[i];
        if (entry.fKind == kCommandEntry && entry.fCommandID == commandID) return i;
    }
    ThrowErrorMessage("Not found!");
}

PlugInMenuEntry& StandardPlugInMenu::FindCommand(CommandID commandID) {
    return fPlugInMenuEntryVector[FindCommandIndex(commandID)];
}

void StandardPlugInMenu::RemoveCommand(CommandID commandID) {
    fPlugInMenuEntryVector.erase(fPlugInMenuEntryVector.begin() +
                                 static_cast<std::ptrdiff_t>(FindCommandIndex(commandID)));
}

void StandardPlugInMenu::SetCommandName(CommandID commandID, const qz_string& name) {
    PlugInMenuEntry& entry = FindCommand(commandID);
    entry.fItemName = name;
    entry.fKind = kCommandEntry;
}

void StandardPlugInMenu::SetCommandSubMenu(CommandID commandID, const qz_string& subMenuName) {
    FindCommand(commandID).fSubMenuName = subMenuName;
}

void StandardPlugInMenu::SetCommandFlag1(CommandID commandID, std::uint8_t value) {
    FindCommand(commandID).fFlag1 = value;
}

void StandardPlugInMenu::SetCommandFlag2(CommandID commandID, std::uint8_t value) {
    FindCommand(commandID).fFlag2 = value;
}

void StandardPlugInMenu::SetCommandFlag5(CommandID commandID, std::uint8_t value) {
    FindCommand(commandID).fFlag5 = value;
}

void StandardPlugInMenu::SetCommandValue(CommandID commandID, std::int32_t value) {
    FindCommand(commandID).fValue = value;
}

// ---- Diagnostics -------------------------------------------------------------------------------

std::int32_t MenuListUsageCount() { return Menus().fUsageCount; }
bool MenuListExists() { return Menus().fList != nullptr; }
std::size_t MenuListSize() { return Menus().fList ? Menus().fList->fMenus.size() : 0; }
std::int32_t MenuRegistrationToken() { return Menus().fToken; }

}  // namespace PlugIn
}  // namespace Vorna
