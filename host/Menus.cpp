// Menu and tool registrations and the host's calls of their callback records.
#include "Menus.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "Host.h"
#include "NativeCall.h"

namespace StandIn {

const char* const kRegisterCustomMenu = "long RegisterCustomMenu( long )";
const char* const kUnregisterCustomMenu = "void UnregisterCustomMenu( long )";
const char* const kRegisterCustomTool = "long RegisterCustomTool( string, long )";
const char* const kUnregisterCustomTool = "void UnregisterCustomTool( long )";

namespace {

namespace Rec = Vorna::PlugIn;

// The text the host shows for an error the module reported.
std::string errorText(std::int32_t code, Vorna::ErrorDatum datum) {
    if (code == kErrorTextCopied || code == kErrorText) {
        return datum ? std::string(reinterpret_cast<const char*>(datum)) : kUnspecifiedErrorText;
    }
    return "An error (" + std::to_string(code) + "," + std::to_string(datum) + ") has occurred.";
}

// Calls one function of a record with a fresh error record and throws what the module reported.
class ErrorRecord {
  public:
    Vorna::HostErrorRecord* get() { return &fRecord; }
    void check() const {
        if (fRecord.code != 0)
            throw ModuleError(fRecord.code, fRecord.datum, errorText(fRecord.code, fRecord.datum));
    }

  private:
    Vorna::HostErrorRecord fRecord{0, 0};
};

// The record at an address the module passed, checked before the host keeps it: its version,
// and each of its five functions present.
template <class Record, class... Functions>
const Record* checkedRecord(std::intptr_t address, const char* what,
                            Functions Record::*... functions) {
    if (address == 0) throw ScriptError(std::string(what) + ": the callback record is null.");
    const auto* record = reinterpret_cast<const Record*>(address);
    if (record->version != QZ_CALLBACK_RECORD_VERSION) {
        throw ScriptError(std::string(what) + ": callback record version " +
                          std::to_string(record->version) + ", expected 1.");
    }
    const bool present[] = {(record->*functions != nullptr)...};
    for (std::size_t i = 0; i < sizeof...(functions); ++i) {
        if (!present[i]) {
            throw ScriptError(std::string(what) + ": function " + std::to_string(i) +
                              " of the callback record is null.");
        }
    }
    return record;
}

std::string field(const char* bytes) {
    std::size_t n = 0;
    while (n <= Rec::kMenuTextCapacity && bytes[n] != '\0') ++n;
    return std::string(bytes, n);
}

MenuItem decode(const Rec::MenuEntryBuffer& buffer, std::int32_t id1, std::int32_t id2) {
    MenuItem item;
    item.menuName = field(buffer.fMenuName);
    item.subMenuName = field(buffer.fSubMenuName);
    item.kind = buffer.fKind;
    item.itemName = field(buffer.fItemName);
    item.flags[0] = buffer.fFlag1;
    item.flags[1] = buffer.fFlag2;
    item.flags[2] = buffer.fFlag3;
    item.flags[3] = buffer.fFlag4;
    item.flags[4] = buffer.fFlag5;
    item.value = buffer.fValue;
    item.id1 = id1;
    item.id2 = id2;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&buffer);
    item.raw.assign(bytes, bytes + sizeof buffer);
    return item;
}

}  // namespace

Menus::Menus(Host& host) : fHost(host) {
    host.define(kRegisterCustomMenu,
                [this](NativeCall& c) { c.setResult(registerMenu(c.address(0))); });
    host.define(kUnregisterCustomMenu, [this](NativeCall& c) { unregisterMenu(c.int32(0)); });
    host.define(kRegisterCustomTool,
                [this](NativeCall& c) { c.setResult(registerTool(c.text(0), c.address(1))); });
    host.define(kUnregisterCustomTool, [this](NativeCall& c) { unregisterTool(c.int32(0)); });
}

Menus::~Menus() {
    for (const char* signature :
         {kRegisterCustomMenu, kUnregisterCustomMenu, kRegisterCustomTool, kUnregisterCustomTool})
        fHost.undefine(signature);
}

// ---- Menu registrations -------------------------------------------------------------------------

std::int32_t Menus::registerMenu(std::intptr_t recordAddress) {
    MenuRegistration registration;
    registration.token = fNextToken++;
    registration.record =
        checkedRecord(recordAddress, "RegisterCustomMenu", &Rec::MenuCallbackRecord::create,
                      &Rec::MenuCallbackRecord::destroy, &Rec::MenuCallbackRecord::count,
                      &Rec::MenuCallbackRecord::getItem, &Rec::MenuCallbackRecord::doItem);
    fMenuRegistrations.push_back(registration);
    if (fCreateOnRegister) {
        try {
            create();
        } catch (const ModuleError& e) {
            fMenuRegistrations.back().active = false;
            throw ScriptError(std::string("RegisterCustomMenu: ") + e.what());
        }
    }
    return registration.token;
}

void Menus::unregisterMenu(std::int32_t token) {
    MenuRegistration* registration = findRegistration(token);
    if (!registration || !registration->active) {
        throw ScriptError("UnregisterCustomMenu: no menu registration with token " +
                          std::to_string(token) + ".");
    }
    registration->active = false;
    auto destroyFn = registration->record->destroy;
    std::vector<void*> users;
    users.swap(registration->users);
    // Every user is given back, last made first; the first error the module reports fails the
    // call afterwards.
    std::string failure;
    for (auto it = users.rbegin(); it != users.rend(); ++it) {
        ErrorRecord error;
        destroyFn(*it, error.get());
        try {
            error.check();
        } catch (const ModuleError& e) {
            if (failure.empty()) failure = e.what();
        }
    }
    if (!failure.empty()) throw ScriptError("UnregisterCustomMenu: " + failure);
}

MenuRegistration* Menus::findRegistration(std::int32_t token) {
    for (MenuRegistration& r : fMenuRegistrations)
        if (r.token == token) return &r;
    return nullptr;
}

const MenuRegistration* Menus::activeMenuRegistration() const {
    for (auto it = fMenuRegistrations.rbegin(); it != fMenuRegistrations.rend(); ++it)
        if (it->active) return &*it;
    return nullptr;
}

MenuRegistration& Menus::activeRegistration() {
    for (auto it = fMenuRegistrations.rbegin(); it != fMenuRegistrations.rend(); ++it)
        if (it->active) return *it;
    throw std::logic_error("no menu record is registered");
}

int Menus::activeMenuRegistrationCount() const {
    return static_cast<int>(std::count_if(fMenuRegistrations.begin(), fMenuRegistrations.end(),
                                          [](const MenuRegistration& r) { return r.active; }));
}

void Menus::create() {
    MenuRegistration& registration = activeRegistration();
    ErrorRecord error;
    void* user = registration.record->create(error.get());
    error.check();
    if (!user) throw ModuleError(0, 0, "create answered no user and reported no error");
    registration.users.push_back(user);
}

void Menus::destroy() {
    MenuRegistration& registration = activeRegistration();
    if (registration.users.empty()) throw std::logic_error("the host holds no menu-list user");
    void* user = registration.users.back();
    registration.users.pop_back();
    ErrorRecord error;
    registration.record->destroy(user, error.get());
    error.check();
}

std::size_t Menus::heldUsers() const {
    std::size_t n = 0;
    for (const MenuRegistration& r : fMenuRegistrations)
        if (r.active) n += r.users.size();
    return n;
}

// ---- Reading and choosing
// -------------------------------------------------------------------------

namespace {

// What a call of a menu record needs, copied before the walk: the module may register or
// unregister while it runs.
struct MenuCall {
    const Rec::MenuCallbackRecord* record;
    void* user;

    std::int32_t count() const {
        ErrorRecord error;
        std::int32_t total = -1;
        std::int32_t answer = record->count(user, error.get(), &total);
        error.check();
        if (answer != total) {
            throw ModuleError(0, 0,
                              "count answered " + std::to_string(answer) + " but stored " +
                                  std::to_string(total));
        }
        return total;
    }
};

std::vector<MenuCall> activeCalls(const std::vector<MenuRegistration>& registrations) {
    std::vector<MenuCall> calls;
    for (const MenuRegistration& r : registrations)
        if (r.active) calls.push_back({r.record, r.users.empty() ? nullptr : r.users.front()});
    return calls;
}

}  // namespace

std::int32_t Menus::count() {
    std::int32_t total = 0;
    for (const MenuCall& call : activeCalls(fMenuRegistrations)) total += call.count();
    return total;
}

MenuItem Menus::item(std::uint32_t index) {
    std::vector<MenuCall> calls = activeCalls(fMenuRegistrations);
    if (calls.empty()) throw std::logic_error("no menu record is registered");
    // The record whose entries take the index; the last one is asked even beyond its entries,
    // so that the module itself answers an index that is out of range.
    std::size_t i = 0;
    for (; i + 1 < calls.size(); ++i) {
        auto n = static_cast<std::uint32_t>(calls[i].count());
        if (index < n) break;
        index -= n;
    }
    // Filled with a pattern, so that fields the module leaves unwritten show.
    Rec::MenuEntryBuffer buffer;
    std::memset(&buffer, 0x5A, sizeof buffer);
    std::int32_t id1 = 0;
    std::int32_t id2 = 0;
    ErrorRecord error;
    calls[i].record->getItem(calls[i].user, error.get(), index, &buffer, &id1, &id2);
    error.check();
    return decode(buffer, id1, id2);
}

std::vector<MenuItem> Menus::items() {
    std::vector<MenuItem> all;
    auto n = static_cast<std::uint32_t>(count());
    for (std::uint32_t i = 0; i < n; ++i) all.push_back(item(i));
    return all;
}

bool Menus::choose(std::int32_t id1, std::int32_t id2) {
    for (const MenuCall& call : activeCalls(fMenuRegistrations)) {
        ErrorRecord error;
        std::uint8_t handled = 0xEE;
        call.record->doItem(call.user, error.get(), id1, id2, &handled);
        error.check();
        if (handled != 0 && handled != 1) {
            throw ModuleError(0, 0, "doItem stored " + std::to_string(handled) + " as handled");
        }
        if (handled) return true;
    }
    return false;
}

std::string Menus::describe() {
    std::ostringstream out;
    std::vector<MenuItem> all = items();
    if (all.empty()) out << "(no menu entries)\n";
    for (std::size_t i = 0; i < all.size(); ++i) {
        const MenuItem& m = all[i];
        out << i << ": " << m.menuName;
        if (!m.subMenuName.empty()) out << " > " << m.subMenuName;
        if (m.kind == 0) {
            out << " > " << (m.itemName.empty() ? "(unnamed)" : m.itemName) << "  [command "
                << m.id1 << "," << m.id2 << "]";
        } else {
            out << "  [plain]";
        }
        out << "  flags " << int(m.flags[0]) << int(m.flags[1]) << int(m.flags[2])
            << int(m.flags[3]) << int(m.flags[4]) << "  value " << m.value << "\n";
    }
    for (const ToolRegistration& t : fTools)
        if (t.active) out << "tool " << t.id << ": " << t.name << "\n";
    return out.str();
}

// ---- Tools
// ------------------------------------------------------------------------------------------

std::int32_t Menus::registerTool(const std::string& name, std::intptr_t recordAddress) {
    ToolRegistration tool;
    tool.id = fNextToolID++;
    tool.name = name;
    tool.record =
        checkedRecord(recordAddress, "RegisterCustomTool", &Rec::ToolCallbackRecord::echo,
                      &Rec::ToolCallbackRecord::idle, &Rec::ToolCallbackRecord::event,
                      &Rec::ToolCallbackRecord::action1, &Rec::ToolCallbackRecord::action2);
    fTools.push_back(tool);
    return tool.id;
}

void Menus::unregisterTool(std::int32_t id) {
    for (ToolRegistration& t : fTools) {
        if (t.id == id && t.active) {
            t.active = false;
            return;
        }
    }
    throw ScriptError("UnregisterCustomTool: no tool with identifier " + std::to_string(id) + ".");
}

int Menus::activeToolCount() const {
    return static_cast<int>(std::count_if(fTools.begin(), fTools.end(),
                                          [](const ToolRegistration& t) { return t.active; }));
}

const ToolRegistration& Menus::tool(std::int32_t id) const {
    for (const ToolRegistration& t : fTools)
        if (t.id == id && t.active) return t;
    throw std::logic_error("no registered tool with identifier " + std::to_string(id));
}

const ToolRegistration& Menus::tool(const std::string& name) const {
    for (const ToolRegistration& t : fTools)
        if (t.name == name && t.active) return t;
    throw std::logic_error("no registered tool named \"" + name + "\"");
}

namespace {
// The record of a tool and the datum it is called with, copied before the call: the module may
// register or withdraw tools while it runs.
struct ToolCall {
    explicit ToolCall(const ToolRegistration& t) : record(*t.record), tool(t.record->tool) {}
    const Rec::ToolCallbackRecord record;
    void* tool;
};
}  // namespace

std::int32_t Menus::toolFunction0(std::int32_t id, std::int32_t x) {
    ToolCall call(tool(id));
    return call.record.echo(call.tool, x);
}

void Menus::toolFunction1(std::int32_t id) {
    ToolCall call(tool(id));
    call.record.idle(call.tool);
}

void Menus::toolEvent(std::int32_t id, std::int32_t value1, std::int32_t first, std::int32_t second,
                      std::int32_t value2) {
    ToolCall call(tool(id));
    std::int32_t pair[2] = {first, second};
    ErrorRecord error;
    call.record.event(call.tool, error.get(), value1, pair, value2);
    error.check();
}

void Menus::toolAction1(std::int32_t id) {
    ToolCall call(tool(id));
    ErrorRecord error;
    call.record.action1(call.tool, error.get());
    error.check();
}

void Menus::toolAction2(std::int32_t id) {
    ToolCall call(tool(id));
    ErrorRecord error;
    call.record.action2(call.tool, error.get());
    error.check();
}

}  // namespace StandIn
