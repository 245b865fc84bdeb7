// Cases and arguments of the validator's calls.
#include "GeneratedCalls.h"

#include <algorithm>
#include <cstring>

#include "ForeignCall.h"
#include "Host.h"
#include "Validator.h"

namespace Tools::Validation {
namespace {

using StandIn::ElementType;

// The value of a number parameter in value set 0, 1, "-1.5" (-1 for signed integers, 2 for
// unsigned ones, true for Boolean) or "large" (the type's largest integer, 1e30 for reals).
ForeignValue NumberValue(const ParamPlan& plan, int set) {
    switch (plan.reading) {
        case NumberReading::Boolean: return ForeignValue::number(plan.foreign, set == 0 ? 0 : 1);
        case NumberReading::Integer:
            return ForeignValue::number(plan.foreign, set < 2    ? std::int64_t{set}
                                                      : set == 2 ? (plan.min < 0 ? -1 : 2)
                                                                 : plan.max);
        case NumberReading::Real:
            return ForeignValue::number(plan.foreign, set < 2 ? set : set == 2 ? -1.5 : 1e30);
    }
    return ForeignValue();
}

const std::string& TextValue(int set) {
    static const std::string kTexts[kValueSets] = {"", "1", "-1.5", std::string(1000, 'x')};
    return kTexts[set];
}

// Deterministic element values of every kind: small, mixed signs where the type has them.
std::vector<unsigned char> ImageBytes(ElementType type, std::size_t count) {
    const std::size_t size = StandIn::elementSize(type);
    std::vector<unsigned char> bytes(count * size);
    for (std::size_t i = 0; i < count; ++i) {
        const int pattern = static_cast<int>(i * 37 % 23) - 11;
        unsigned char* at = bytes.data() + i * size;
        auto put = [&](auto value) { std::memcpy(at, &value, sizeof value); };
        switch (type) {
            case ElementType::Float32: put(static_cast<float>(pattern) * 0.75f); break;
            case ElementType::Float64: put(static_cast<double>(pattern) * 0.375); break;
            case ElementType::Int8: put(static_cast<std::int8_t>(pattern)); break;
            case ElementType::Int16: put(static_cast<std::int16_t>(pattern * 300)); break;
            case ElementType::Int32: put(static_cast<std::int32_t>(pattern * 70000)); break;
            case ElementType::UInt8: put(static_cast<std::uint8_t>(pattern + 11)); break;
            case ElementType::UInt16: put(static_cast<std::uint16_t>((pattern + 11) * 2000)); break;
            case ElementType::UInt32:
                put(static_cast<std::uint32_t>((pattern + 11) * 190000));
                break;
            case ElementType::Binary: put(static_cast<std::uint8_t>(i % 2)); break;
            default: break;
        }
    }
    return bytes;
}

}  // namespace

std::string Case::describe() const {
    std::string text;
    if (image) {
        text = std::string(StandIn::elementTypeName(type)) + " " + std::to_string(size.width) +
               "x" + std::to_string(size.height);
    }
    if (valueSet >= 0)
        text += (text.empty() ? "" : ", ") + std::string("values ") + kValueSetNames[valueSet];
    return text + (text.empty() ? "" : ", ") + "host " + VersionText(version);
}

FunctionPlan PlanFunction(const std::string& signatureText,
                          const std::vector<std::uint32_t>& versions) {
    FunctionPlan plan;
    plan.signature = StandIn::parseRegistrationSignature(signatureText);
    const StandIn::Signature& sig = plan.signature;
    std::optional<ResultPlan> result = planResult(sig.result);
    if (!result) {
        plan.refusal = "its result type " + sig.result.spelling() + " cannot be received";
        return plan;
    }
    plan.result = *result;
    bool image = false;
    bool values = false;
    for (std::size_t i = 0; i < sig.params.size(); ++i) {
        std::optional<ParamPlan> p = planParam(sig.params[i]);
        if (!p) {
            plan.refusal = "parameter " + std::to_string(i + 1) + " of type " +
                           sig.params[i].spelling() + " cannot be supplied";
            return plan;
        }
        image = image || p->isImage();
        values = values || p->isNumber() || p->supply == Supply::Text ||
                 p->supply == Supply::StringHandle;
        plan.params.push_back(*p);
    }
    // With images and other values both, the value set of element kind t at size s is
    // (t + s) mod 4: every kind meets every size, every kind every value set and every size every
    // value set (all pairs), in a quarter of the calls of every combination.
    const std::string hosts =
        std::to_string(versions.size()) + " host" + (versions.size() == 1 ? "" : "s");
    if (image) {
        plan.inputs =
            std::to_string(std::size(kElementTypes)) + " element kinds x " +
            std::to_string(std::size(kImageSizes)) + " sizes x " + hosts +
            (values ? ", " + std::to_string(kValueSets) + " value sets paired with them" : "");
    } else {
        plan.inputs = (values ? std::to_string(kValueSets) + " value sets x " : "") + hosts;
    }
    for (std::uint32_t v : versions) {
        const std::size_t sizeCount = image ? std::size(kImageSizes) : 1;
        const std::size_t typeCount = image ? std::size(kElementTypes) : 1;
        for (std::size_t s = 0; s < sizeCount; ++s) {
            for (std::size_t t = 0; t < typeCount; ++t) {
                const int pairedSet = static_cast<int>((t + s) % kValueSets);
                for (int set = 0; set < (values && !image ? kValueSets : 1); ++set) {
                    Case c;
                    c.version = v;
                    c.image = image;
                    c.type = kElementTypes[t];
                    c.size = kImageSizes[s];
                    c.valueSet = !values ? -1 : image ? pairedSet : set;
                    plan.cases.push_back(c);
                }
            }
        }
    }
    return plan;
}

namespace {

// An image argument as a user hands it over: shown in a window, with a rectangle drawn over
// the middle half of it (all of a one-pixel image).
void ShowWithRegion(StandIn::Host& host, Vorna::Handle image, const ImageSize& size) {
    const Vorna::Handle display = host.showImage(image);
    StandIn::RoiSpec region;
    region.shape = StandIn::RoiShape::Rectangle;
    const float w = static_cast<float>(size.width), h = static_cast<float>(size.height);
    const float left = static_cast<float>(size.width / 4),
                top = static_cast<float>(size.height / 4);
    region.points = {{left, top}, {w - left, h - top}};
    const Vorna::Handle roi = host.makeRoi(region);
    host.addRoi(display, roi);
    host.drop(roi);  // the display holds it
}

}  // namespace

StandIn::SweptCall MakeCall(const FunctionPlan& plan, const Case& c, void* entry) {
    return [&plan, c, entry](StandIn::CallInputs& inputs) -> StandIn::CallResult {
        const std::size_t n = plan.params.size();
        std::vector<Vorna::Handle> handles(n, 0);  // the words that Address supplies point to
        std::vector<ForeignValue> numbers(n);      // what NumberAddress supplies points to
        std::vector<ForeignValue> arguments;
        for (std::size_t i = 0; i < n; ++i) {
            const ParamPlan& p = plan.params[i];
            const int set = std::max(c.valueSet, 0);
            switch (p.supply) {
                case Supply::ImageAddress:
                case Supply::ImageHandle: {
                    StandIn::ImageSpec spec;
                    spec.type = c.type;
                    spec.sizes = {c.size.width, c.size.height};
                    spec.name = "input";
                    const std::vector<unsigned char> bytes =
                        ImageBytes(c.type, std::size_t{c.size.width} * c.size.height);
                    handles[i] = inputs.image(spec, bytes.data(), bytes.size());
                    ShowWithRegion(inputs.host(), handles[i], c.size);
                    arguments.push_back(p.supply == Supply::ImageAddress
                                            ? ForeignValue::pointer(&handles[i])
                                            : ForeignValue::uint32(handles[i]));
                    break;
                }
                case Supply::StringHandle:
                    handles[i] = inputs.string(TextValue(set));
                    arguments.push_back(ForeignValue::uint32(handles[i]));
                    break;
                case Supply::ObjectHandle:
                case Supply::ObjectAddress:
                    handles[i] = inputs.object(p.objectKind);
                    arguments.push_back(p.supply == Supply::ObjectAddress
                                            ? ForeignValue::pointer(&handles[i])
                                            : ForeignValue::uint32(handles[i]));
                    break;
                case Supply::Text:
                    arguments.push_back(
                        ForeignValue::pointer(const_cast<char*>(TextValue(set).c_str())));
                    break;
                case Supply::Number: arguments.push_back(NumberValue(p, set)); break;
                case Supply::NumberAddress:
                    numbers[i] = NumberValue(p, set);
                    arguments.push_back(ForeignValue::pointer(&numbers[i].d));
                    break;
            }
        }
        const ForeignValue answer = callForeign(entry, plan.result.foreign, arguments);
        StandIn::CallResult result;
        if (plan.result.object) {
            result.handle = answer.u32;
        } else if (plan.result.foreign != ForeignType::Void) {
            // The value's bytes (the union starts with the value whatever its width).
            result.value.assign(reinterpret_cast<const char*>(&answer.d),
                                foreignWidth(plan.result.foreign));
        }
        return result;
    };
}

}  // namespace Tools::Validation
