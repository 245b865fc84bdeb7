// Every record whose bytes the host application reads or writes, checked at compile time.
//
// The host is a 32-bit program that knows nothing of C++: it reads interface tables slot by slot,
// fills argument records by offset, reads error records, callback records, tool blocks and the
// menu-entry buffer by offset. A field that moves, a record that grows or a boolean that widens
// breaks the host silently, so each of those layouts is pinned here, on every target this SDK
// is built for (shell/Layout.cpp compiles this header into the SDK itself):
//   - on 32-bit targets (the host's width: 32-bit Windows, and the 32-bit Linux build that tests
//     it), the exact offsets and sizes the host uses;
//   - on 64-bit targets, the same order with pointer-wide fields, so that a reordering shows up
//     in the everyday native build already.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "hostcall/References.h"
#include "image/DataView.h"
#include "image/ImageDataLock.h"
#include "menus/CallbackRecords.h"
#include "menus/PlugInTool.h"
#include "shell/HostInterfaces.h"
#include "shell/PlugInCallbacks.h"

namespace Vorna {
namespace LayoutDetail {

constexpr std::size_t kWord = sizeof(void*);  // width of pointers and of the tables' slots

// n rounded up to a multiple of a power of two.
constexpr std::size_t RoundUp(std::size_t n, std::size_t alignment) {
    return (n + alignment - 1) & ~(alignment - 1);
}

// Slot i of an interface table or of the callbacks table lies i words from its start.
constexpr std::size_t Slot(std::size_t i) { return i * kWord; }

template <class Reference>
constexpr bool IsOneHandleWord() {
    return sizeof(Reference) == 4 && alignof(Reference) <= 4 &&
           std::is_standard_layout<Reference>::value;
}

}  // namespace LayoutDetail

// ---- Scalars -------------------------------------------------------------------------------
static_assert(sizeof(Handle) == 4, "host object handles are 32 bits on every target");
static_assert(sizeof(bool) == 1, "booleans cross the host boundary as one byte");
static_assert(sizeof(float) == 4 && sizeof(double) == 8, "IEEE single and double");
static_assert(sizeof(ErrorDatum) == sizeof(void*), "an error datum carries a text address");
static_assert(sizeof(std::int32_t) == 4 && sizeof(std::uint8_t) == 1, "fixed-width integers");

// ---- Reference objects: one handle word each; the host writes handles through their address ---
static_assert(LayoutDetail::IsOneHandleWord<ImageRef>(), "ImageRef is one handle word");
static_assert(LayoutDetail::IsOneHandleWord<ROI>(), "ROI is one handle word");
static_assert(LayoutDetail::IsOneHandleWord<Component>(), "Component is one handle word");
static_assert(LayoutDetail::IsOneHandleWord<ImageDisplay>(), "ImageDisplay is one handle word");
static_assert(LayoutDetail::IsOneHandleWord<LinePlotImageDisplay>(),
              "LinePlotImageDisplay is one handle word");
static_assert(LayoutDetail::IsOneHandleWord<RasterImageDisplay>(),
              "RasterImageDisplay is one handle word");
static_assert(LayoutDetail::IsOneHandleWord<SurfacePlotImageDisplay>(),
              "SurfacePlotImageDisplay is one handle word");
static_assert(LayoutDetail::IsOneHandleWord<ImageDocument>(), "ImageDocument is one handle word");
static_assert(LayoutDetail::IsOneHandleWord<TagGroup>(), "TagGroup is one handle word");
static_assert(LayoutDetail::IsOneHandleWord<Window>(), "Window is one handle word");
static_assert(LayoutDetail::IsOneHandleWord<ScriptObject>(), "ScriptObject is one handle word");
static_assert(LayoutDetail::IsOneHandleWord<qz_string>(), "qz_string is one handle word");
static_assert(LayoutDetail::IsOneHandleWord<Throwable>(), "Throwable is one handle word");
static_assert(LayoutDetail::IsOneHandleWord<Function>(), "Function is one handle word");

// ---- Interface objects: a table pointer first; slot i of the table i words in ----------------
static_assert(offsetof(HostEnvironment, table) == 0 &&
                  sizeof(HostEnvironment) == LayoutDetail::kWord,
              "an environment begins with its table");
static_assert(offsetof(HostCallContext, table) == 0 &&
                  sizeof(HostCallContext) == LayoutDetail::kWord,
              "a call context begins with its table");
static_assert(offsetof(HostClassInterface, table) == 0 &&
                  sizeof(HostClassInterface) == LayoutDetail::kWord,
              "a class interface begins with its table");

static_assert(sizeof(HostEnvironmentTable) == LayoutDetail::Slot(10), "environment: ten slots");
static_assert(offsetof(HostEnvironmentTable, addReference) == LayoutDetail::Slot(0),
              "environment slot 0");
static_assert(offsetof(HostEnvironmentTable, release) == LayoutDetail::Slot(1),
              "environment slot 1");
static_assert(offsetof(HostEnvironmentTable, version) == LayoutDetail::Slot(2),
              "environment slot 2");
static_assert(offsetof(HostEnvironmentTable, newCallContext) == LayoutDetail::Slot(3),
              "environment slot 3");
static_assert(offsetof(HostEnvironmentTable, classInterface) == LayoutDetail::Slot(4),
              "environment slot 4");
static_assert(offsetof(HostEnvironmentTable, addScriptFunction) == LayoutDetail::Slot(6),
              "environment slot 6");
static_assert(offsetof(HostEnvironmentTable, removeScriptFunction) == LayoutDetail::Slot(7),
              "environment slot 7");
static_assert(offsetof(HostEnvironmentTable, findScriptFunction) == LayoutDetail::Slot(8),
              "environment slot 8");

static_assert(sizeof(HostCallContextTable) == LayoutDetail::Slot(14),
              "call context: fourteen slots");
static_assert(offsetof(HostCallContextTable, release) == LayoutDetail::Slot(1),
              "call context slot 1");
static_assert(offsetof(HostCallContextTable, clearError) == LayoutDetail::Slot(4),
              "call context slot 4");
static_assert(offsetof(HostCallContextTable, newThrowable) == LayoutDetail::Slot(5),
              "call context slot 5");
static_assert(offsetof(HostCallContextTable, throwableMessage) == LayoutDetail::Slot(6),
              "call context slot 6");
static_assert(offsetof(HostCallContextTable, pendingThrowable) == LayoutDetail::Slot(7),
              "call context slot 7");
static_assert(offsetof(HostCallContextTable, raise) == LayoutDetail::Slot(8),
              "call context slot 8");
static_assert(offsetof(HostCallContextTable, newString) == LayoutDetail::Slot(9),
              "call context slot 9");
static_assert(offsetof(HostCallContextTable, lockString) == LayoutDetail::Slot(10),
              "call context slot 10");
static_assert(offsetof(HostCallContextTable, unlockString) == LayoutDetail::Slot(11),
              "call context slot 11");
static_assert(offsetof(HostCallContextTable, call) == LayoutDetail::Slot(12),
              "call context slot 12");

static_assert(sizeof(HostClassInterfaceTable) == LayoutDetail::Slot(9),
              "class interface: nine slots");
static_assert(offsetof(HostClassInterfaceTable, release) == LayoutDetail::Slot(1),
              "class interface slot 1");
static_assert(offsetof(HostClassInterfaceTable, addObjectReference) == LayoutDetail::Slot(6),
              "class interface slot 6");
static_assert(offsetof(HostClassInterfaceTable, releaseObjectReference) == LayoutDetail::Slot(7),
              "class interface slot 7");

// ---- Argument records: 16-byte cells, record i at 16 * i -------------------------------------
static_assert(sizeof(ScriptArgRecord) == 16, "argument records are 16 bytes on every target");
static_assert(sizeof(ScriptArgRecord[3]) == 48, "argument records lie 16 bytes apart");
static_assert(alignof(ScriptArgRecord) <= 16, "argument records need no more than their size");

// ---- Error record: code, then the datum -----------------------------------------------------
static_assert(offsetof(HostErrorRecord, code) == 0, "error record: code first");
static_assert(offsetof(HostErrorRecord, datum) == LayoutDetail::kWord,
              "error record: datum one word in");
static_assert(sizeof(HostErrorRecord::code) == 4, "error codes are 32 bits");

// ---- Callback record: version, user datum, five functions ------------------------------------
static_assert(offsetof(HostCallbackRecord, version) == 0, "callback record: version first");
static_assert(offsetof(HostCallbackRecord, userData) == LayoutDetail::Slot(1),
              "callback record: user datum");
static_assert(offsetof(HostCallbackRecord, functions) == LayoutDetail::Slot(2),
              "callback record: functions");
static_assert(sizeof(HostCallbackRecord) == LayoutDetail::Slot(7), "callback record: seven words");

// ---- Tool block: the host's tool identifier, then the tool's callback record ----------------
static_assert(offsetof(PlugIn::PlugInToolBlock, fToolID) == 0, "tool block: identifier first");
static_assert(sizeof(PlugIn::PlugInToolBlock::fToolID) == 4, "tool identifiers are 32 bits");
static_assert(offsetof(PlugIn::PlugInToolBlock, fRecord) == alignof(HostCallbackRecord) &&
                  alignof(HostCallbackRecord) <= LayoutDetail::kWord,
              "tool block: the callback record right behind the identifier");

// ---- Menu-entry buffer: 204 bytes, the same on every target ----------------------------------
static_assert(sizeof(PlugIn::MenuEntryBuffer) == 204, "menu-entry buffer size");
static_assert(alignof(PlugIn::MenuEntryBuffer) <= 4, "menu-entry buffer alignment");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fMenuName) == 0 &&
                  sizeof(PlugIn::MenuEntryBuffer::fMenuName) == 64,
              "menu name: bytes 0 to 63");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fSubMenuName) == 64 &&
                  sizeof(PlugIn::MenuEntryBuffer::fSubMenuName) == 64,
              "sub-menu name: bytes 64 to 127");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fKind) == 128 &&
                  sizeof(PlugIn::MenuEntryBuffer::fKind) == 1,
              "kind: byte 128");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fItemName) == 129 &&
                  sizeof(PlugIn::MenuEntryBuffer::fItemName) == 64,
              "item name: bytes 129 to 192");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fFlag1) == 193, "flag 1: byte 193");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fFlag2) == 194, "flag 2: byte 194");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fFlag3) == 195, "flag 3: byte 195");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fFlag4) == 196, "flag 4: byte 196");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fFlag5) == 197, "flag 5: byte 197");
static_assert(offsetof(PlugIn::MenuEntryBuffer, fValue) == 200 &&
                  sizeof(PlugIn::MenuEntryBuffer::fValue) == 4,
              "value: bytes 200 to 203");

// ---- Callbacks table: nine plain function pointers in their fixed order -----------------------
static_assert(sizeof(PlugIn::PlugInCallbacks) == LayoutDetail::Slot(9),
              "callbacks table: nine entries");
static_assert(offsetof(PlugIn::PlugInCallbacks, result) == LayoutDetail::Slot(0),
              "callbacks entry 0");
static_assert(offsetof(PlugIn::PlugInCallbacks, show_alert) == LayoutDetail::Slot(1),
              "callbacks entry 1");
static_assert(offsetof(PlugIn::PlugInCallbacks, register_custom_menu) == LayoutDetail::Slot(2),
              "callbacks entry 2");
static_assert(offsetof(PlugIn::PlugInCallbacks, unregister_custom_menu) == LayoutDetail::Slot(3),
              "callbacks entry 3");
static_assert(offsetof(PlugIn::PlugInCallbacks, register_custom_tool) == LayoutDetail::Slot(4),
              "callbacks entry 4");
static_assert(offsetof(PlugIn::PlugInCallbacks, unregister_custom_tool) == LayoutDetail::Slot(5),
              "callbacks entry 5");
static_assert(offsetof(PlugIn::PlugInCallbacks, lock_image_data) == LayoutDetail::Slot(6),
              "callbacks entry 6");
static_assert(offsetof(PlugIn::PlugInCallbacks, get_locked_image_data) == LayoutDetail::Slot(7),
              "callbacks entry 7");
static_assert(offsetof(PlugIn::PlugInCallbacks, unlock_image_data) == LayoutDetail::Slot(8),
              "callbacks entry 8");

// ---- Data view: pointer, count, type, then five interleaved size/stride pairs ----------------
static_assert(std::is_standard_layout<DataView>::value, "the data view is a plain record");
static_assert(offsetof(DataView, fData) == 0, "view: data pointer first");
static_assert(offsetof(DataView, fDimensionCount) == LayoutDetail::kWord, "view: dimension count");
static_assert(offsetof(DataView, fDataType) == LayoutDetail::kWord + 4, "view: data type");
static_assert(offsetof(DataView, fDimensions) == LayoutDetail::kWord + 8,
              "view: size/stride pairs");
static_assert(offsetof(DataViewDimension, fSize) == 0 &&
                  offsetof(DataViewDimension, fStride) == 4 && sizeof(DataViewDimension) == 8,
              "view: size, then stride, 32 bits each");
static_assert(sizeof(DataView::fDimensions) == 5 * 8, "view: five pairs");

// ---- Lock token record: the host's token in the second word ----------------------------------
static_assert(offsetof(ImageLockToken, fReserved) == 0 &&
                  offsetof(ImageLockToken, fToken) == LayoutDetail::kWord,
              "lock record: token in the second word");

// ---- Rectangle: top, left, bottom, right -----------------------------------------------------
static_assert(offsetof(SubArea, top) == 0 && offsetof(SubArea, left) == 4 &&
                  offsetof(SubArea, bottom) == 8 && offsetof(SubArea, right) == 12 &&
                  sizeof(SubArea) == 16,
              "sub-area: top, left, bottom, right");

// ---- The exact numbers at the host's width ---------------------------------------------------
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(HostErrorRecord) == 8 && offsetof(HostErrorRecord, datum) == 4,
              "32-bit error record: 8 bytes, datum at offset 4");
static_assert(sizeof(HostCallbackRecord) == 28, "32-bit callback record: 28 bytes");
static_assert(sizeof(PlugIn::PlugInToolBlock) == 32 &&
                  offsetof(PlugIn::PlugInToolBlock, fRecord) == 4,
              "32-bit tool block: 32 bytes, record at offset 4");
static_assert(sizeof(HostEnvironmentTable) == 40 && sizeof(HostCallContextTable) == 56 &&
                  sizeof(HostClassInterfaceTable) == 36,
              "32-bit interface tables: 4 bytes a slot");
static_assert(sizeof(DataView) == 52 && offsetof(DataView, fDimensions) == 12,
              "32-bit data view: 52 bytes");
static_assert(sizeof(ImageLockToken) == 8 && offsetof(ImageLockToken, fToken) == 4,
              "32-bit lock record: 8 bytes");
#endif

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
#if UINTPTR_MAX == 0xFFFFFFFFu
    static_assert(kImage == 52 && kLockFlags == 56 && kLockData == 60 && kLocked == 68 &&
                      kChanged == 69 && sizeof(ImageDataLock) == 72,
                  "32-bit lock: image 52, flags 56, record 60, locked 68, changed 69, 72 bytes");
#endif
};

}  // namespace Vorna
