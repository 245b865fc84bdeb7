// The planner: objects and text by their kind, numbers by the rows of ForeignTypes.def.
#include "CallPlan.h"

#include <limits>
#include <type_traits>

namespace Tools {
namespace {

using StandIn::ObjectKind;
using StandIn::Param;
using StandIn::ValueKind;

struct NumberRow {
    ValueKind kind;
    ForeignType foreign;
    NumberReading reading;
};

const NumberRow kNumbers[] = {
#define SCRIPT_NUMBER(kind, foreign, reading) \
    {ValueKind::kind, ForeignType::foreign, NumberReading::reading},
#include "ForeignTypes.def"
};

// A number of the parameter's type: its row with the range of its C type.
std::optional<ParamPlan> planNumber(const Param& p) {
    if (p.carriesAddress) return std::nullopt;  // a long the width of an address
    for (const NumberRow& row : kNumbers) {
        if (row.kind != p.kind) continue;
        ParamPlan plan;
        plan.supply = p.pointer ? Supply::NumberAddress : Supply::Number;
        plan.foreign = row.foreign;
        plan.reading = row.reading;
        visitForeignType(row.foreign, [&](auto c) {
            using T = typename decltype(c)::type;
            if constexpr (std::is_integral_v<T>) {
                plan.min = std::numeric_limits<T>::min();
                plan.max = std::numeric_limits<T>::max();
            }
        });
        return plan;
    }
    return std::nullopt;
}

}  // namespace

std::optional<ParamPlan> planParam(const Param& p) {
    if (p.kind == ValueKind::Object && p.objectKind) {
        ParamPlan plan;
        plan.objectKind = *p.objectKind;
        if (plan.objectKind == ObjectKind::Image) {
            plan.supply = p.pointer ? Supply::ImageAddress : Supply::ImageHandle;
        } else if (plan.objectKind == ObjectKind::String && !p.pointer) {
            plan.supply = Supply::StringHandle;
        } else {
            plan.supply = p.pointer ? Supply::ObjectAddress : Supply::ObjectHandle;
        }
        plan.foreign = p.pointer ? ForeignType::Pointer : ForeignType::UInt32;
        return plan;
    }
    if (p.kind == ValueKind::Text && !p.pointer) {
        ParamPlan plan;
        plan.supply = Supply::Text;
        plan.foreign = ForeignType::Pointer;
        return plan;
    }
    return planNumber(p);
}

std::optional<ResultPlan> planResult(const Param& r) {
    if (r.pointer) return std::nullopt;
    if (r.kind == ValueKind::Void) return ResultPlan{};
    if (r.kind == ValueKind::Object) {
        return ResultPlan{ForeignType::UInt32, true, r.objectKind == ObjectKind::Image};
    }
    std::optional<ParamPlan> number = planNumber(r);
    if (!number) return std::nullopt;
    return ResultPlan{number->foreign, false, false, number->reading};
}

}  // namespace Tools
