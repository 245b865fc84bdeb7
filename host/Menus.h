// The host's side of plug-in menus and tools.
//
// A module hands the host callback records: one for all its menus ("long RegisterCustomMenu(
// long )") and one per tool ("long RegisterCustomTool( string, long )"). This part of the
// stand-in host defines those four native functions, keeps the records, and lets tests (and the
// runner) play the user: list the menus through the record's count and getItem functions, choose
// a command through doItem, fire a tool's events. Whatever the module reports through the error
// record of such a call is thrown here as a ModuleError.
//
//     StandIn::Menus menus(host);                  // defines the four functions
//     ... the module constructs its menus ...
//     for (const StandIn::MenuItem& item : menus.items()) std::cout << item.itemName << "\n";
//     bool handled = menus.choose(1, 0);
//
// Registering a menu record calls its create function at once and keeps the user it answers
// (setCreateOnRegister(false) leaves that to an explicit create()); unregistering calls destroy
// for every user the host still holds for that record.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "shell/Boundary.h"

namespace StandIn {

class Host;

// An error the module reported through a HostErrorRecord.
class ModuleError : public std::runtime_error {
  public:
    ModuleError(std::int32_t code, Vorna::ErrorDatum datum, const std::string& message)
        : std::runtime_error(message), fCode(code), fDatum(datum) {}
    std::int32_t code() const { return fCode; }
    Vorna::ErrorDatum datum() const { return fDatum; }

  private:
    std::int32_t fCode;
    Vorna::ErrorDatum fDatum;
};

// One entry, decoded from the 204-byte menu-entry buffer.
struct MenuItem {
    std::string menuName;
    std::string subMenuName;
    std::uint8_t kind = 0;  // 0: command, 1: plain entry
    std::string itemName;
    std::uint8_t flags[5] = {0, 0, 0, 0, 0};  // fFlag1 .. fFlag5
    std::int32_t value = 0;
    std::int32_t id1 = 0;
    std::int32_t id2 = 0;
    // The buffer as the module left it; it was filled with 0x5A before the call.
    std::vector<unsigned char> raw;
};

// A menu record the module registered.
struct MenuRegistration {
    std::int32_t token = 0;
    const Vorna::PlugIn::MenuCallbackRecord* record = nullptr;
    std::vector<void*> users;  // answers of create not yet destroyed
    bool active = true;
};

// A tool the module registered.
struct ToolRegistration {
    std::int32_t id = 0;
    std::string name;
    const Vorna::PlugIn::ToolCallbackRecord* record = nullptr;
    bool active = true;
};

class Menus {
  public:
    // Defines the four native functions on `host`; the destructor removes them again.
    explicit Menus(Host& host);
    ~Menus();
    Menus(const Menus&) = delete;
    Menus& operator=(const Menus&) = delete;

    // ---- Menu registrations -----------------------------------------------------------------
    // Whether registering calls create at once (default true).
    void setCreateOnRegister(bool yes) { fCreateOnRegister = yes; }
    // Every registration so far, in order; active ones have not been unregistered.
    const std::vector<MenuRegistration>& menuRegistrations() const { return fMenuRegistrations; }
    // The active registration, or null (the last one when there are several).
    const MenuRegistration* activeMenuRegistration() const;
    int activeMenuRegistrationCount() const;
    // create / destroy on the active registration, as the host's menu machinery would.
    // Throw ModuleError when the module reports one, std::logic_error without a registration.
    void create();
    void destroy();  // the user created last
    // Users held on all active registrations.
    std::size_t heldUsers() const;

    // ---- Reading and choosing (all active registrations, in registration order) --------------
    std::int32_t count();
    // Entry `index` counted over all registrations; ModuleError when the module refuses.
    MenuItem item(std::uint32_t index);
    // Every entry, through count and getItem.
    std::vector<MenuItem> items();
    // doItem on each registration until one handles the command.
    bool choose(std::int32_t id1, std::int32_t id2);
    // A readable listing of the menus, one entry per line.
    std::string describe();

    // ---- Tools ------------------------------------------------------------------------------
    const std::vector<ToolRegistration>& toolRegistrations() const { return fTools; }
    int activeToolCount() const;
    // The active tool with this identifier or name; std::logic_error when there is none.
    const ToolRegistration& tool(std::int32_t id) const;
    const ToolRegistration& tool(const std::string& name) const;
    // The five functions of a tool's record, called with its user datum first.
    std::int32_t toolFunction0(std::int32_t id, std::int32_t x);
    void toolFunction1(std::int32_t id);
    void toolEvent(std::int32_t id, std::int32_t value1, std::int32_t first, std::int32_t second,
                   std::int32_t value2);
    void toolAction1(std::int32_t id);
    void toolAction2(std::int32_t id);

  private:
    MenuRegistration& activeRegistration();
    MenuRegistration* findRegistration(std::int32_t token);

    // Native functions.
    std::int32_t registerMenu(std::intptr_t recordAddress);
    void unregisterMenu(std::int32_t token);
    std::int32_t registerTool(const std::string& name, std::intptr_t recordAddress);
    void unregisterTool(std::int32_t id);

    Host& fHost;
    bool fCreateOnRegister = true;
    std::vector<MenuRegistration> fMenuRegistrations;
    std::vector<ToolRegistration> fTools;
    std::int32_t fNextToken = 1;
    std::int32_t fNextToolID = 1001;
};

// Signatures of the four native functions.
extern const char* const kRegisterCustomMenu;    // "long RegisterCustomMenu( long )"
extern const char* const kUnregisterCustomMenu;  // "void UnregisterCustomMenu( long )"
extern const char* const kRegisterCustomTool;    // "long RegisterCustomTool( string, long )"
extern const char* const kUnregisterCustomTool;  // "void UnregisterCustomTool( long )"

}  // namespace StandIn
