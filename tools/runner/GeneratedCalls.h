// The validator's calls of one function: which cases (host generation, input image, value set)
// it is called with, and the arguments of each case made from the shared parameter plan.
//
// Every element kind meets every size; when a function also takes other values, each (kind,
// size) pair gets one value set, chosen so that every kind also meets every value set and every
// size every value set: all pairs of the three are covered in a quarter of the calls of every
// combination.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "CallPlan.h"
#include "FaultSweep.h"
#include "Images.h"
#include "Signature.h"

namespace Tools::Validation {

// The inputs: images of every real element kind in four sizes, and four sets of other values.
inline const StandIn::ElementType kElementTypes[] = {
    StandIn::ElementType::Float32, StandIn::ElementType::Float64, StandIn::ElementType::Int8,
    StandIn::ElementType::Int16,   StandIn::ElementType::Int32,   StandIn::ElementType::UInt8,
    StandIn::ElementType::UInt16,  StandIn::ElementType::UInt32,  StandIn::ElementType::Binary,
};
struct ImageSize {
    std::uint32_t width;
    std::uint32_t height;
};
inline const ImageSize kImageSizes[] = {{1, 1}, {2, 3}, {7, 5}, {16, 16}};
inline constexpr int kValueSets = 4;
inline const char* const kValueSetNames[kValueSets] = {"0", "1", "-1.5", "large"};
// The pairing of value sets with (kind, size) covers all pairs only with enough of both.
static_assert(std::size(kImageSizes) >= kValueSets && std::size(kElementTypes) >= kValueSets);

// One validated call: the host generation, the input image and the set of other values.
struct Case {
    std::uint32_t version = 0;
    bool image = false;
    StandIn::ElementType type = StandIn::ElementType::Float32;
    ImageSize size{1, 1};
    int valueSet = -1;  // -1: the function takes no other values

    // "int16 7x5, values -1.5, host 03040400"
    std::string describe() const;
};

struct FunctionPlan {
    StandIn::Signature signature;
    std::vector<ParamPlan> params;
    ResultPlan result;
    std::vector<Case> cases;
    std::string inputs;   // how the cases are made up
    std::string refusal;  // why the function cannot be called, if it cannot
};

// The plan of one function on the given host generations; a refusal when it cannot be called.
// Throws StandIn::SignatureError for a signature that does not parse.
FunctionPlan PlanFunction(const std::string& signatureText,
                          const std::vector<std::uint32_t>& versions);

// The swept call of one case: makes the arguments, calls the entry through libffi and answers
// what it returned. Keeps a reference to `plan`.
StandIn::SweptCall MakeCall(const FunctionPlan& plan, const Case& c, void* entry);

}  // namespace Tools::Validation
