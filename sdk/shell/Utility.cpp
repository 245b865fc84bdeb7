// Framework-wide objects that depend on the link: the library data (error manager and
// out-of-memory handler) and the callbacks table.
#include <new>

#include "errors/AssertionSites.h"
#include "errors/Exceptions.h"
#include "hostcall/Stubs.h"
#include "shell/PlugInMain.h"

namespace Vorna {
namespace {

const FrameworkUnitUsers sUsers;

struct PlugInLibraryData {
    PlugInLibraryData()
        : fPreviousNewHandler(std::set_new_handler(OutOfMemoryHandler)),
          fPreviousManager(SetErrorManager(&fErrorManager)) {}
    ~PlugInLibraryData() {
        SetErrorManager(fPreviousManager);
        std::set_new_handler(fPreviousNewHandler);
    }
    PlugInLibraryData(const PlugInLibraryData&) = delete;
    PlugInLibraryData& operator=(const PlugInLibraryData&) = delete;

    std::new_handler fPreviousNewHandler;
    PlugIn::PlugInErrorManager fErrorManager;
    ErrorManager* fPreviousManager;
};

PlugInLibraryData* sPlugInLibraryData = nullptr;
std::int32_t sLibraryUseCount = 0;

const PlugIn::PlugInCallbacks* sCallbacks = nullptr;
CallbacksProvider sCallbacksProvider = nullptr;

// ---- Entries 0 and 1 -------------------------------------------------------------------------

void SendResult(const char* text, std::uint32_t length) { QZ::Result(qz_string(text, length)); }

void SendAlert(const char* text, std::int32_t alertKind) { QZ::ShowAlert(text, alertKind); }

// The built-in table: entries 6 to 8 are chosen by the host version the first time it is asked.
const PlugIn::PlugInCallbacks* BuiltInCallbacks() {
    static PlugIn::PlugInCallbacks sTable;
    static bool sFilled = false;
    if (!sFilled) {
        HostEnvironment* environment = CurrentEnvironment();
        const bool newer =
            environment->table->version(environment) >= kFirstVersionWithImageLocking;
        sTable = {
            SendResult,
            SendAlert,
            PlugIn::RegisterCustomMenu,
            PlugIn::UnregisterCustomMenu,
            PlugIn::RegisterCustomTool,
            PlugIn::UnregisterCustomTool,
            newer ? PlugIn::LockImageData : PlugIn::LockImageDataOlder,
            newer ? PlugIn::GetLockedImageData : PlugIn::GetLockedImageDataOlder,
            newer ? PlugIn::UnlockImageData : PlugIn::UnlockImageDataOlder,
        };
        sFilled = true;
    }
    EnvironmentScope scope;
    HostEnvironment* environment = CurrentEnvironment();
    return environment->table->version(environment) >= kFirstVersionWithCallbacks ? &sTable
                                                                                  : nullptr;
}

}  // namespace

LibraryDataUser::LibraryDataUser() {
    if (sLibraryUseCount++ == 0) sPlugInLibraryData = new (std::nothrow) PlugInLibraryData;
    if (!sPlugInLibraryData) ReportAssertion(AssertionSites::kLibraryData);
}

LibraryDataUser::~LibraryDataUser() {
    if (--sLibraryUseCount == 0) {
        delete sPlugInLibraryData;
        sPlugInLibraryData = nullptr;
    }
}

void SetCallbacksProvider(CallbacksProvider provider) { sCallbacksProvider = provider; }

const PlugIn::PlugInCallbacks& PlugIn::PlugInMain::GetCallbacks() {
    if (!sCallbacks) sCallbacks = BuiltInCallbacks();
    if (!sCallbacks && sCallbacksProvider) sCallbacks = sCallbacksProvider();
    if (!sCallbacks) ReportAssertion(AssertionSites::kCallbacks);
    return *sCallbacks;
}

}  // namespace Vorna
