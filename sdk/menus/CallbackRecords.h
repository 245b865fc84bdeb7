// What crosses to the host for menus and tools: the functions of their callback records and the
// menu-entry buffer. The host holds the address of a HostCallbackRecord (shell/HostInterfaces.h)
// and calls its five functions with the arguments below; functions that can fail report through
// the HostErrorRecord it passes and then return 0 or null.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/HostInterfaces.h"

namespace Vorna {
namespace PlugIn {

class PlugInTool;

// ---- Menu callback record {1, 0, create, destroy, count, getItem, doItem} ---------------------

// A user of the module-wide menu list, as the host holds it.
using MenuListHandle = void*;

// Takes one use of the menu list; answers the user, or null after an error.
using MenuCreateFn = MenuListHandle (*)(HostErrorRecord* error);
// Gives back a use taken by create (null: nothing); answers the handle.
using MenuDestroyFn = MenuListHandle (*)(MenuListHandle handle, HostErrorRecord* error);
// Entries of all menus; stored in *total and answered, or 0 after an error.
using MenuCountFn = std::int32_t (*)(MenuListHandle handle, HostErrorRecord* error,
                                     std::int32_t* total);
// Fills the 204-byte menu-entry buffer and the command identifier of entry `index`.
using MenuGetItemFn = void (*)(MenuListHandle handle, HostErrorRecord* error, std::uint32_t index,
                               void* buffer, std::int32_t* id1, std::int32_t* id2);
// The user chose command (id1, id2); *handled = 1 when a menu took it, else 0.
using MenuDoItemFn = void (*)(MenuListHandle handle, HostErrorRecord* error, std::int32_t id1,
                              std::int32_t id2, std::uint8_t* handled);

enum MenuFunction : int { kMenuCreate, kMenuDestroy, kMenuCount, kMenuGetItem, kMenuDoItem };

// ---- Tool callback record {1, tool, toolFn0, ..., toolFn4}
// ---------------------------------------

using ToolFn0 = std::int32_t (*)(PlugInTool* tool, std::int32_t x);  // answers x
using ToolFn1 = void (*)(PlugInTool* tool);                          // does nothing
// ToolEvent(value1, pair, value2) on a copy of the two integers at pair.
using ToolFn2 = void (*)(PlugInTool* tool, HostErrorRecord* error, std::int32_t value1,
                         const std::int32_t* pair, std::int32_t value2);
using ToolFn3 = void (*)(PlugInTool* tool, HostErrorRecord* error);  // ToolAction1()
using ToolFn4 = void (*)(PlugInTool* tool, HostErrorRecord* error);  // ToolAction2()

// ---- Menu-entry buffer -------------------------------------------------------------------------

// Texts are cut to 63 bytes and followed by a NUL; bytes behind the NUL and the two padding bytes
// are not written. The same 204-byte layout on every platform.
constexpr std::uint32_t kMenuTextCapacity = 63;

struct MenuEntryBuffer {
    char fMenuName[kMenuTextCapacity + 1];
    char fSubMenuName[kMenuTextCapacity + 1];
    std::uint8_t fKind;
    char fItemName[kMenuTextCapacity + 1];
    std::uint8_t fFlag1;
    std::uint8_t fFlag2;
    std::uint8_t fFlag3;
    std::uint8_t fFlag4;
    std::uint8_t fFlag5;
    std::uint8_t fUnused[2];
    std::int32_t fValue;
};
static_assert(sizeof(MenuEntryBuffer) == 204, "the menu-entry buffer is 204 bytes");
static_assert(offsetof(MenuEntryBuffer, fMenuName) == 0, "menu-entry buffer layout");
static_assert(offsetof(MenuEntryBuffer, fSubMenuName) == 64, "menu-entry buffer layout");
static_assert(offsetof(MenuEntryBuffer, fKind) == 128, "menu-entry buffer layout");
static_assert(offsetof(MenuEntryBuffer, fItemName) == 129, "menu-entry buffer layout");
static_assert(offsetof(MenuEntryBuffer, fFlag1) == 193, "menu-entry buffer layout");
static_assert(offsetof(MenuEntryBuffer, fFlag5) == 197, "menu-entry buffer layout");
static_assert(offsetof(MenuEntryBuffer, fValue) == 200, "menu-entry buffer layout");

}  // namespace PlugIn
}  // namespace Vorna
