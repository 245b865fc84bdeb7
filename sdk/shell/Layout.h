// The field offsets of every record whose bytes the host reads or writes, checked at compile time.
//
// The host reads interface tables slot by slot and the records by offset: a field that moves
// breaks it silently. The record sizes are checked where the records are defined (abi/, both
// widths); what is checked here is where each field lies, on every target this SDK is built for
// (shell/Layout.cpp compiles this header into the SDK itself):
//   - on 32-bit targets (the host's width), the exact offsets the host uses;
//   - on 64-bit targets, the same order with pointer-wide fields, so that a reordering shows up
//     in the everyday native build already.
// The framework's own records (the callbacks table, the image data lock) follow the same rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "hostcall/References.h"
#include "image/DataView.h"
#include "image/ImageDataLock.h"
#include "menus/PlugInTool.h"
#include "shell/Boundary.h"
#include "shell/PlugInCallbacks.h"

namespace Vorna {
namespace LayoutDetail {

constexpr std::size_t kWord = sizeof(void*);  // width of pointers and of the tables' slots

// n rounded up to a multiple of a power of two.
constexpr std::size_t RoundUp(std::size_t n, std::size_t alignment) {
    return (n + alignment - 1) & ~(alignment - 1);
}

// Slot i of an interface table, a callback record or the callbacks table lies i words in.
constexpr std::size_t Slot(std::size_t i) { return i * kWord; }

// ---- Scalars -------------------------------------------------------------------------------
static_assert(sizeof(Handle) == 4, "host object handles are 32 bits on every target");
static_assert(sizeof(bool) == 1, "booleans cross the host boundary as one byte");
static_assert(sizeof(float) == 4 && sizeof(double) == 8, "IEEE single and double");
static_assert(sizeof(ErrorDatum) == kWord, "an error datum carries a text address");

// ---- Interface objects: a table pointer first; slot i of the table i words in ----------------
static_assert(offsetof(HostEnvironment, table) == 0, "an environment begins with its table");
static_assert(offsetof(HostCallContext, table) == 0, "a call context begins with its table");
static_assert(offsetof(HostClassInterface, table) == 0, "a class interface begins with its table");

static_assert(offsetof(HostEnvironmentTable, addReference) == Slot(0), "environment slot 0");
static_assert(offsetof(HostEnvironmentTable, release) == Slot(1), "environment slot 1");
static_assert(offsetof(HostEnvironmentTable, version) == Slot(2), "environment slot 2");
static_assert(offsetof(HostEnvironmentTable, newCallContext) == Slot(3), "environment slot 3");
static_assert(offsetof(HostEnvironmentTable, classInterface) == Slot(4), "environment slot 4");
static_assert(offsetof(HostEnvironmentTable, addScriptFunction) == Slot(6), "environment slot 6");
static_assert(offsetof(HostEnvironmentTable, removeScriptFunction) == Slot(7),
              "environment slot 7");
static_assert(offsetof(HostEnvironmentTable, findScriptFunction) == Slot(8), "environment slot 8");

static_assert(offsetof(HostCallContextTable, release) == Slot(1), "call context slot 1");
static_assert(offsetof(HostCallContextTable, clearError) == Slot(4), "call context slot 4");
static_assert(offsetof(HostCallContextTable, newThrowable) == Slot(5), "call context slot 5");
static_assert(offsetof(HostCallContextTable, throwableMessage) == Slot(6), "call context slot 6");
static_assert(offsetof(HostCallContextTable, pendingThrowable) == Slot(7), "call context slot 7");
static_assert(offsetof(HostCallContextTable, raise) == Slot(8), "call context slot 8");
static_assert(offsetof(HostCallContextTable, newString) == Slot(9), "call context slot 9");
static_assert(offsetof(HostCallContextTable, lockString) == Slot(10), "call context slot 10");
static_assert(offsetof(HostCallContextTable, unlockString) == Slot(11), "call context slot 11");
static_assert(offsetof(HostCallContextTable, call) == Slot(12), "call context slot 12");

static_assert(offsetof(HostClassInterfaceTable, release) == Slot(1), "class interface slot 1");
static_assert(offsetof(HostClassInterfaceTable, addObjectReference) == Slot(6),
              "class interface slot 6");
static_assert(offsetof(HostClassInterfaceTable, releaseObjectReference) == Slot(7),
              "class interface slot 7");

// ---- Argument records: 16-byte cells, record i at 16 * i -------------------------------------
static_assert(sizeof(ScriptArgRecord[3]) == 48, "argument records lie 16 bytes apart");

// ---- Error record: code, then the datum one word in -------------------------------------------
static_assert(offsetof(HostErrorRecord, code) == 0 && sizeof(HostErrorRecord::code) == 4,
              "error record: a 32-bit code first");
static_assert(offsetof(HostErrorRecord, datum) == kWord, "error record: datum one word in");

// ---- Callback records: version, user datum, five functions -----------------------------------
static_assert(offsetof(PlugIn::MenuCallbackRecord, version) == Slot(0) &&
                  offsetof(PlugIn::MenuCallbackRecord, userData) == Slot(1) &&
                  offsetof(PlugIn::MenuCallbackRecord, create) == Slot(2) &&
                  offsetof(PlugIn::MenuCallbackRecord, destroy) == Slot(3) &&
                  offsetof(PlugIn::MenuCallbackRecord, count) == Slot(4) &&
                  offsetof(PlugIn::MenuCallbackRecord, getItem) == Slot(5) &&
                  offsetof(PlugIn::MenuCallbackRecord, doItem) == Slot(6),
              "menu record: {1, 0, create, destroy, count, getItem, doItem}");
static_assert(offsetof(PlugIn::ToolCallbackRecord, version) == Slot(0) &&
                  offsetof(PlugIn::ToolCallbackRecord, tool) == Slot(1) &&
                  offsetof(PlugIn::ToolCallbackRecord, echo) == Slot(2) &&
                  offsetof(PlugIn::ToolCallbackRecord, idle) == Slot(3) &&
                  offsetof(PlugIn::ToolCallbackRecord, event) == Slot(4) &&
                  offsetof(PlugIn::ToolCallbackRecord, action1) == Slot(5) &&
                  offsetof(PlugIn::ToolCallbackRecord, action2) == Slot(6),
              "tool record: {1, the tool, five functions}");

// ---- Tool block: the host's tool identifier, then the tool's callback record ----------------
static_assert(offsetof(PlugIn::PlugInToolBlock, fToolID) == 0 &&
                  sizeof(PlugIn::PlugInToolBlock::fToolID) == 4,
              "tool block: a 32-bit identifier first");
static_assert(offsetof(PlugIn::PlugInToolBlock, fRecord) == kWord,
              "tool block: the callback record right behind the identifier");

// ---- Menu-entry buffer: the same offsets on every target --------------------------------------
static_assert(alignof(PlugIn::MenuEntryBuffer) <= 4, "menu-entry buffer alignment");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fMenuName) == 0 &&
                  sizeof(PlugIn::MenuEntryBuffer::fMenuName) == 64,
              "menu name: bytes 0 to 63");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fSubMenuName) == 64 &&
                  sizeof(PlugIn::MenuEntryBuffer::fSubMenuName) == 64,
              "sub-menu name: bytes 64 to 127");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fKind) == 128, "kind: byte 128");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fItemName) == 129 &&
                  sizeof(PlugIn::MenuEntryBuffer::fItemName) == 64,
              "item name: bytes 129 to 192");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fFlag1) == 193, "flag 1: byte 193");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fFlag2) == 194, "flag 2: byte 194");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fFlag3) == 195, "flag 3: byte 195");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fFlag4) == 196, "flag 4: byte 196");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fFlag5) == 197, "flag 5: byte 197");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fValue) == 200, "value: bytes 200 to 203");

// ---- Callbacks table: nine plain function pointers in their fixed order -----------------------
static_assert(sizeof(PlugIn::PlugInCallbacks) == Slot(9), "callbacks table: nine entries");
static_assert(offsetof(PlugIn::PlugInCallbacks, result) == Slot(0), "callbacks entry 0");
static_assert(offsetof(PlugIn::PlugInCallbacks, show_alert) == Slot(1), "callbacks entry 1");
static_assert(offsetof(PlugIn::PlugInCallbacks, register_custom_menu) == Slot(2),
              "callbacks entry 2");
static_assert(offsetof(PlugIn::PlugInCallbacks, unregister_custom_menu) == Slot(3),
              "callbacks entry 3");
static_assert(offsetof(PlugIn::PlugInCallbacks, register_custom_tool) == Slot(4),
              "callbacks entry 4");
static_assert(offsetof(PlugIn::PlugInCallbacks, unregister_custom_tool) == Slot(5),
              "callbacks entry 5");
static_assert(offsetof(PlugIn::PlugInCallbacks, lock_image_data) == Slot(6), "callbacks entry 6");
static_assert(offsetof(PlugIn::PlugInCallbacks, get_locked_image_data) == Slot(7),
              "callbacks entry 7");
static_assert(offsetof(PlugIn::PlugInCallbacks, unlock_image_data) == Slot(8), "callbacks entry 8");

// ---- Data view: pointer, count, type, then five interleaved size/stride pairs ----------------
static_assert(std::is_standard_layout<DataView>::value &&
                  sizeof(DataView) == sizeof(QZDataViewRecord),
              "a data view is the record and nothing more");
static_assert(offsetof(DataView, fData) == 0, "view: data pointer first");
static_assert(offsetof(DataView, fDimensionCount) == kWord, "view: dimension count");
static_assert(offsetof(DataView, fDataType) == kWord + 4, "view: data type");
static_assert(offsetof(DataView, fDimensions) == kWord + 8, "view: size/stride pairs");
static_assert(offsetof(DataViewDimension, fSize) == 0 && offsetof(DataViewDimension, fStride) == 4,
              "view: size, then stride, 32 bits each");
static_assert(sizeof(DataView::fDimensions) == 5 * 8, "view: five pairs");

// ---- Lock token record: the host's token in the second word ----------------------------------
static_assert(offsetof(ImageLockToken, fReserved) == 0 && offsetof(ImageLockToken, fToken) == kWord,
              "lock record: token in the second word");

// ---- Rectangle: top, left, bottom, right -----------------------------------------------------
static_assert(offsetof(SubArea, top) == 0 && offsetof(SubArea, left) == 4 &&
                  offsetof(SubArea, bottom) == 8 && offsetof(SubArea, right) == 12 &&
                  sizeof(SubArea) == 16,
              "sub-area: top, left, bottom, right");

// ---- The exact offsets at the host's width ---------------------------------------------------
#if QZ_POINTER_BITS == 32
static_assert(offsetof(HostErrorRecord, datum) == 4, "32-bit error record: datum at offset 4");
static_assert(offsetof(PlugIn::PlugInToolBlock, fRecord) == 4,
              "32-bit tool block: record at offset 4");
static_assert(offsetof(DataView, fDimensions) == 12, "32-bit data view: pairs at offset 12");
static_assert(offsetof(ImageLockToken, fToken) == 4, "32-bit lock record: token at offset 4");
#endif

}  // namespace LayoutDetail

// The lock's fields follow its view in a fixed order; the check is a friend of the lock.
struct LayoutCheck {
#if defined(__GNUC__)
#pragma GCC diagnostic push
// The lock derives from its view, so it is not standard-layout; GCC and Clang lay such a class
// out predictably, which is what is checked here.
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
    static constexpr std::size_t kImage = offsetof(ImageDataLock, fImage);
    static constexpr std::size_t kLockFlags = offsetof(ImageDataLock, fLockFlags);
    static constexpr std::size_t kLockData = offsetof(ImageDataLock, fLockData);
    static constexpr std::size_t kLocked = offsetof(ImageDataLock, fLocked);
    static constexpr std::size_t kChanged = offsetof(ImageDataLock, fChanged);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

    static_assert(std::is_base_of<DataView, ImageDataLock>::value, "a lock is a data view");
    static_assert(kImage == sizeof(DataView), "lock: the image right behind the view");
    static_assert(kLockFlags == kImage + sizeof(ImageRef), "lock: flags behind the image");
    static_assert(sizeof(ImageDataLock::fLockFlags) == 4, "lock: flags are 32 bits");
    static_assert(kLockData == LayoutDetail::RoundUp(kLockFlags + 4, alignof(ImageLockToken)),
                  "lock: the host's lock record behind the flags");
    static_assert(kLocked == kLockData + sizeof(ImageLockToken),
                  "lock: locked flag behind the record");
    static_assert(kChanged == kLocked + 1, "lock: changed flag right behind the locked flag");
    static_assert(sizeof(ImageDataLock::fLocked) == 1 && sizeof(ImageDataLock::fChanged) == 1,
                  "lock: one-byte booleans");
#if QZ_POINTER_BITS == 32
    static_assert(kImage == 52 && kLockFlags == 56 && kLockData == 60 && kLocked == 68 &&
                      kChanged == 69 && sizeof(ImageDataLock) == 72,
                  "32-bit lock: image 52, flags 56, record 60, locked 68, changed 69, 72 bytes");
#endif
};

}  // namespace Vorna
