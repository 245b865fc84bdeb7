// The host boundary (abi/, plain C) under the framework's C++ names. Nothing here adds to the
// boundary: every record, slot and number is the one abi/ defines.
#pragma once

#include <cstdint>

#include "abi/Boundary.h"

namespace Vorna {

using Handle = QZHandle;
using ErrorDatum = QZErrorDatum;

using HostEnvironment = QZHostEnvironment;
using HostEnvironmentTable = QZHostEnvironmentTable;
using HostCallContext = QZHostCallContext;
using HostCallContextTable = QZHostCallContextTable;
using HostClassInterface = QZHostClassInterface;
using HostClassInterfaceTable = QZHostClassInterfaceTable;
using ScriptArgRecord = QZScriptArgRecord;
using HostErrorRecord = QZHostErrorRecord;

constexpr std::int32_t kLinkVersion = QZ_PLUGIN_LINK_VERSION;
constexpr std::uint32_t kFirstVersionWithCallbacks = QZ_FIRST_VERSION_WITH_CALLBACKS;
constexpr std::uint32_t kFirstVersionWithImageLocking = QZ_FIRST_VERSION_WITH_IMAGE_LOCKING;

constexpr std::int32_t kEncodingNarrow = QZ_ENCODING_NARROW;
constexpr std::int32_t kEncodingUTF16 = QZ_ENCODING_UTF16;

constexpr std::int32_t kCallSucceeded = QZ_CALL_SUCCEEDED;
constexpr std::int32_t kCallStaleHandle = QZ_CALL_STALE_HANDLE;

constexpr std::int32_t kErrorTextCopied = QZ_ERROR_TEXT_COPIED;
constexpr std::int32_t kErrorText = QZ_ERROR_TEXT;
constexpr std::int32_t kErrorOutOfMemory = QZ_ERROR_OUT_OF_MEMORY;
constexpr ErrorDatum kOutOfMemoryDatum = QZ_OUT_OF_MEMORY_DATUM;

using ImageLockToken = QZImageLockToken;
using DataViewDimension = QZDataViewDimension;
constexpr std::uint32_t kLockContiguous = QZ_LOCK_CONTIGUOUS;
constexpr std::uint32_t kMaxDataViewDimensions = QZ_MAX_DATA_VIEW_DIMENSIONS;

// The two forms of script function this project registers, as the host calls them.
using ImageFunctionEntry = Handle(QZ_CALL*)(Handle* image);
using ImageShiftEntry = Handle(QZ_CALL*)(Handle* image, float dx, float dy);

namespace PlugIn {

using MenuCallbackRecord = QZMenuCallbackRecord;
using MenuEntryBuffer = QZMenuEntryBuffer;
using MenuListHandle = QZMenuListHandle;
using ToolCallbackRecord = QZToolCallbackRecord;
using PlugInToolBlock = QZPlugInToolBlock;
constexpr std::uint32_t kMenuTextCapacity = QZ_MENU_TEXT_CAPACITY;

}  // namespace PlugIn
}  // namespace Vorna
