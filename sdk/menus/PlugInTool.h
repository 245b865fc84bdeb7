// Plug-in tools: objects the host offers to the user as tools and tells about what the user does
// with them.
//
// A tool is registered with the host ("long RegisterCustomTool( string, long )") for exactly the
// lifetime of its object. The host reports through the tool's callback record; each report calls
// one of the virtual operations below, and whatever it throws reaches the host as an error.
//
//     class Ruler : public Vorna::PlugIn::PlugInTool {
//     public:
//         Ruler() : PlugInTool("Ruler") {}
//         void ToolEvent(std::int32_t kind, std::int32_t* point, std::int32_t flags) override;
//     };
#pragma once

#include <cstdint>
#include <memory>

#include "shell/Boundary.h"

namespace Vorna {
namespace PlugIn {

class PlugInTool;

class PlugInTool {
  public:
    // Registers the tool under `name`; throws what the host reports.
    explicit PlugInTool(const char* name);
    // Withdraws the tool.
    virtual ~PlugInTool();
    PlugInTool(const PlugInTool&) = delete;
    PlugInTool& operator=(const PlugInTool&) = delete;

    // An event of the tool: two integers and a pair of integers (a copy the tool may change).
    virtual void ToolEvent(std::int32_t value1, std::int32_t* pair, std::int32_t value2);
    virtual void ToolAction1();
    virtual void ToolAction2();

    // The host's identifier for this tool.
    std::int32_t ToolID() const { return fToolRecord ? fToolRecord->fToolID : 0; }
    const PlugInToolBlock* Block() const { return fToolRecord.get(); }

  private:
    // Withdraws the tool and frees its block; a refusal by the host cannot be reported from a
    // destructor and is dropped.
    struct Unregister {
        void operator()(PlugInToolBlock* block) const noexcept;
    };
    std::unique_ptr<PlugInToolBlock, Unregister> fToolRecord;
};

}  // namespace PlugIn
}  // namespace Vorna
