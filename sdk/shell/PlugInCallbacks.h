// The table of framework services that depend on the host's generation, built once by
// PlugInMain::GetCallbacks().
#pragma once

#include <cstdint>

#include "shell/Boundary.h"

namespace Vorna {

struct DataView;

namespace PlugIn {

class PlugInTool;

struct PlugInCallbacks {
    // 0: sends `length` bytes of text to the host's results window ("void Result( qz_string )").
    void (*result)(const char* text, std::uint32_t length);
    // 1: shows an alert ("void ShowAlert( string, long )").
    void (*show_alert)(const char* text, std::int32_t alertKind);
    // 2: registers the module's menu callback record; answers the registration token.
    std::int32_t (*register_custom_menu)();
    // 3: ends the menu registration made by entry 2.
    void (*unregister_custom_menu)(std::int32_t token);
    // 4: registers a tool; answers the tool's block, owned by the framework until entry 5.
    PlugInToolBlock* (*register_custom_tool)(PlugInTool* tool, const char* name);
    // 5: withdraws a tool and frees its block.
    void (*unregister_custom_tool)(PlugInToolBlock* block);
    // 6: pins an image's data; true when locked. The token is the host's.
    bool (*lock_image_data)(Handle image, std::uint32_t lockFlags, ImageLockToken* token);
    // 7: describes the data locked by entry 6.
    void (*get_locked_image_data)(Handle image, ImageLockToken* token, DataView* view);
    // 8: returns the data locked by entry 6.
    void (*unlock_image_data)(Handle image, ImageLockToken* token, bool changed);
};

// Entries 2 to 5 (menus and tools).
std::int32_t RegisterCustomMenu();
void UnregisterCustomMenu(std::int32_t token);
PlugInToolBlock* RegisterCustomTool(PlugInTool* tool, const char* name);
void UnregisterCustomTool(PlugInToolBlock* block);

// Entries 6 to 8 for hosts that lock through "ImageLockData" and its companions...
bool LockImageData(Handle image, std::uint32_t lockFlags, ImageLockToken* token);
void GetLockedImageData(Handle image, ImageLockToken* token, DataView* view);
void UnlockImageData(Handle image, ImageLockToken* token, bool changed);
// ...and for older hosts, which only offer a pointer to contiguous data.
bool LockImageDataOlder(Handle image, std::uint32_t lockFlags, ImageLockToken* token);
void GetLockedImageDataOlder(Handle image, ImageLockToken* token, DataView* view);
void UnlockImageDataOlder(Handle image, ImageLockToken* token, bool changed);

}  // namespace PlugIn
}  // namespace Vorna
