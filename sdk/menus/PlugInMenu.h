// Plug-in menus: entries that the module adds to the host's menus.
//
// Every menu joins one module-wide menu list when it is constructed and leaves it when it is
// destroyed; the host reaches the menus only through that list, with the callback record that
// the module registers once for all of them ("long RegisterCustomMenu( long )"). The host numbers
// the entries of all menus one after another, in the order the menus were constructed, and hands
// every chosen command to the menus in that order until one takes it.
//
//     class AnalysisMenu final : public Vorna::PlugIn::StandardPlugInMenu {
//     public:
//         AnalysisMenu() : StandardPlugInMenu(qz_string("Analysis")) {
//             AppendCommand({1, 0});
//             SetCommandName({1, 0}, qz_string("Hough transform"));
//         }
//         bool DoItem(std::int32_t id1, std::int32_t id2) override { ... return true; }
//     };
//
// Menus are destroyed through their own type: the classes have no virtual destructor, so their
// destructors are protected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hostcall/References.h"

namespace Vorna {
namespace PlugIn {

// Identifies a command entry: two integers chosen by the plug-in.
struct CommandID {
    std::int32_t id1 = 0;
    std::int32_t id2 = 0;

    friend bool operator==(const CommandID& a, const CommandID& b) {
        return a.id1 == b.id1 && a.id2 == b.id2;
    }
    friend bool operator!=(const CommandID& a, const CommandID& b) { return !(a == b); }
};

// fKind of an entry.
enum : std::uint8_t {
    kCommandEntry = 0,  // has a command identifier and can be found by it
    kPlainEntry = 1,
};

// One entry as a menu describes it to the host. Empty references read as empty texts; copies
// share the host strings (counted).
struct PlugInMenuEntry {
    qz_string fMenuName;
    qz_string fSubMenuName;
    std::uint8_t fKind = kPlainEntry;
    qz_string fItemName;
    std::uint8_t fFlag1 = 0;
    std::uint8_t fFlag2 = 0;
    std::uint8_t fFlag3 = 0;
    std::uint8_t fFlag4 = 0;
    std::int32_t fValue = -1;
    std::uint8_t fFlag5 = 0;
    CommandID fCommandID;
};

class PlugInMenu {
  public:
    PlugInMenu(const PlugInMenu&) = delete;
    PlugInMenu& operator=(const PlugInMenu&) = delete;

    // Called just before the host reads this menu's first entry.
    virtual void PrepareMenu() {}
    virtual std::uint32_t CountItems() = 0;
    // The user chose (id1, id2); true when this menu handled it.
    virtual bool DoItem(std::int32_t id1, std::int32_t id2) = 0;
    // Describes entry `itemIndex` (counted within this menu) and its command identifier.
    virtual void GetItem(std::uint32_t itemIndex, PlugInMenuEntry& entry, std::int32_t* id1,
                         std::int32_t* id2) = 0;

  protected:
    // Registers the module's menus with the host if they are not registered yet, then joins the
    // menu list at its end. Throws what the host reports.
    PlugInMenu();
    // Leaves the menu list; the last menu to leave ends the registration.
    ~PlugInMenu();
};

// A menu whose entries are kept in a vector. Concrete menus supply DoItem.
class StandardPlugInMenu : public PlugInMenu {
  public:
    std::uint32_t CountItems() override;
    // Raises an assertion when itemIndex is not below CountItems().
    void GetItem(std::uint32_t itemIndex, PlugInMenuEntry& entry, std::int32_t* id1,
                 std::int32_t* id2) override;

    // Stores a command entry at `index`. Entries behind it are dropped; when the menu is shorter,
    // the gap is filled with copies of the new entry. Append* store at the end.
    void InsertCommand(std::uint32_t index, CommandID commandID);
    // Stores a plain entry at `index` (see InsertCommand); it carries subMenuName instead of the
    // menu's sub-menu name unless that reference is empty.
    void InsertPlainEntry(std::uint32_t index, const qz_string& subMenuName);
    void AppendCommand(CommandID commandID);
    void AppendPlainEntry(const qz_string& subMenuName);
    // A plain entry whose sub-menu name is the empty text.
    void AppendPlainEntry();

    // Operations on the first command entry with this identifier; "Not found!" when there is none
    // (plain entries are never found).
    void RemoveCommand(CommandID commandID);
    void SetCommandName(CommandID commandID, const qz_string& name);  // also makes it a command
    void SetCommandSubMenu(CommandID commandID, const qz_string& subMenuName);
    void SetCommandFlag1(CommandID commandID, std::uint8_t value);
    void SetCommandFlag2(CommandID commandID, std::uint8_t value);
    void SetCommandFlag5(CommandID commandID, std::uint8_t value);
    void SetCommandValue(CommandID commandID, std::int32_t value);

  protected:
    explicit StandardPlugInMenu(const qz_string& menuName);
    StandardPlugInMenu(const qz_string& menuName, const qz_string& subMenuName);
    ~StandardPlugInMenu();

    PlugInMenuEntry& FindCommand(CommandID commandID);

  private:
    // A new entry carrying this menu's two names.
    PlugInMenuEntry NewEntry() const;
    void StoreEntry(std::uint32_t index, const PlugInMenuEntry& entry);
    std::size_t FindCommandIndex(CommandID commandID) const;

    std::vector<PlugInMenuEntry> fPlugInMenuEntryVector;
    qz_string fMenuName;
    qz_string fSubMenuName;
};

// ---- State of the module-wide menu list, for diagnostics ----------------------------------------

// Users of the list: one per create call of the host not yet destroyed, plus one for the module
// while any menu exists.
std::int32_t MenuListUsageCount();
bool MenuListExists();
// Menus in the list (0 when there is no list).
std::size_t MenuListSize();
// What "long RegisterCustomMenu( long )" answered; 0 while not registered.
std::int32_t MenuRegistrationToken();

}  // namespace PlugIn
}  // namespace Vorna
