// Tools: their blocks, the functions of their callback records, and registration with the host.
#include "menus/PlugInTool.h"

#include "errors/EdgeGuard.h"
#include "hostcall/Stubs.h"
#include "shell/PlugInMain.h"

namespace Vorna {
namespace PlugIn {
namespace {

const FrameworkUnitUsers sUsers;

// ---- Functions of a tool's callback record; the host passes the record's tool first -----------

PlugInTool& ToolOf(void* tool) { return *static_cast<PlugInTool*>(tool); }

std::int32_t QZ_CALL ToolEcho(void*, std::int32_t x) { return x; }

void QZ_CALL ToolIdle(void*) {}

void QZ_CALL ToolEventOf(void* tool, HostErrorRecord* error, std::int32_t value1,
                         const std::int32_t* pair, std::int32_t value2) {
    RunReportingTo(error, [=] {
        std::int32_t copy[2] = {0, 0};
        if (pair) {
            copy[0] = pair[0];
            copy[1] = pair[1];
        }
        ToolOf(tool).ToolEvent(value1, copy, value2);
    });
}

void QZ_CALL ToolAction1Of(void* tool, HostErrorRecord* error) {
    RunReportingTo(error, [tool] { ToolOf(tool).ToolAction1(); });
}

void QZ_CALL ToolAction2Of(void* tool, HostErrorRecord* error) {
    RunReportingTo(error, [tool] { ToolOf(tool).ToolAction2(); });
}

}  // namespace

// ---- Entries 4 and 5 of the callbacks table ---------------------------------------------------

PlugInToolBlock* RegisterCustomTool(PlugInTool* tool, const char* name) {
    auto block = std::make_unique<PlugInToolBlock>();
    block->fToolID = 0;
    block->fRecord = {QZ_CALLBACK_RECORD_VERSION,
                      tool,
                      ToolEcho,
                      ToolIdle,
                      ToolEventOf,
                      ToolAction1Of,
                      ToolAction2Of};
    block->fToolID = QZ::RegisterCustomTool(name, reinterpret_cast<std::intptr_t>(&block->fRecord));
    // From here the caller owns the block until it hands it to UnregisterCustomTool.
    return block.release();
}

void UnregisterCustomTool(PlugInToolBlock* block) {
    std::unique_ptr<PlugInToolBlock> owned(block);
    if (owned) QZ::UnregisterCustomTool(owned->fToolID);
}

// ---- PlugInTool --------------------------------------------------------------------------------

void PlugInTool::Unregister::operator()(PlugInToolBlock* block) const noexcept {
    // Freed here if the callbacks table cannot be had; the table's entry frees it otherwise,
    // whatever the host answers.
    std::unique_ptr<PlugInToolBlock> owned(block);
    try {
        const PlugInCallbacks& callbacks = PlugInMain::GetCallbacks();
        callbacks.unregister_custom_tool(owned.release());
    } catch (...) {
    }
}

PlugInTool::PlugInTool(const char* name) {
    fToolRecord.reset(PlugInMain::GetCallbacks().register_custom_tool(this, name));
}

PlugInTool::~PlugInTool() { fToolRecord.reset(); }

void PlugInTool::ToolEvent(std::int32_t, std::int32_t*, std::int32_t) {}
void PlugInTool::ToolAction1() {}
void PlugInTool::ToolAction2() {}

}  // namespace PlugIn
}  // namespace Vorna
