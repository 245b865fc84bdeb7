// The planner the runner and the validator share: every parameter and result type of a signature
// planned once, numbers by the rows of ForeignTypes.def.
#include "CallPlan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace Tools;
using StandIn::ObjectKind;

namespace {

StandIn::Param param(const std::string& type) {
    return StandIn::parseSignature("void F(" + type + ")").params.at(0);
}

StandIn::Param result(const std::string& type) {
    return StandIn::parseSignature(type + " F()").result;
}

struct NumberCase {
    const char* type;
    ForeignType foreign;
    NumberReading reading;
    std::int64_t min;
    std::int64_t max;
};

// The types the runner used to refuse (char, RGB and the tokens) plan as the validator planned
// them, and every integer carries the range of the C type it travels as.
TEST(CallPlan, NumbersTravelAsTheirMachineTypeWithItsRange) {
    const NumberCase cases[] = {
        {"char", ForeignType::Int8, NumberReading::Integer, INT8_MIN, INT8_MAX},
        {"short", ForeignType::Int16, NumberReading::Integer, INT16_MIN, INT16_MAX},
        {"uint16", ForeignType::UInt16, NumberReading::Integer, 0, UINT16_MAX},
        {"long", ForeignType::Int32, NumberReading::Integer, INT32_MIN, INT32_MAX},
        {"ulong", ForeignType::UInt32, NumberReading::Integer, 0, UINT32_MAX},
        {"uint32", ForeignType::UInt32, NumberReading::Integer, 0, UINT32_MAX},
        {"RGB", ForeignType::UInt32, NumberReading::Integer, 0, UINT32_MAX},
        {"Handle", ForeignType::UInt32, NumberReading::Integer, 0, UINT32_MAX},
        {"PFFileReference", ForeignType::UInt32, NumberReading::Integer, 0, UINT32_MAX},
        {"External32BitType", ForeignType::UInt32, NumberReading::Integer, 0, UINT32_MAX},
        {"Boolean", ForeignType::UInt8, NumberReading::Boolean, 0, UINT8_MAX},
        {"float", ForeignType::Float, NumberReading::Real, 0, 0},
        {"double", ForeignType::Double, NumberReading::Real, 0, 0},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.type);
        const std::optional<ParamPlan> plan = planParam(param(c.type));
        ASSERT_TRUE(plan);
        EXPECT_EQ(plan->supply, Supply::Number);
        EXPECT_EQ(plan->foreign, c.foreign);
        EXPECT_EQ(plan->reading, c.reading);
        EXPECT_EQ(plan->min, c.min);
        EXPECT_EQ(plan->max, c.max);
        EXPECT_EQ(foreignWidth(plan->foreign), param(c.type).width) << "the record's value width";
    }
}

TEST(CallPlan, ObjectsTextAndPointersBySupply) {
    struct Case {
        const char* type;
        Supply supply;
        ForeignType foreign;
        ObjectKind kind;
    };
    const Case cases[] = {
        {"ImageRef *", Supply::ImageAddress, ForeignType::Pointer, ObjectKind::Image},
        {"ImageRef", Supply::ImageHandle, ForeignType::UInt32, ObjectKind::Image},
        {"RealImagePtr", Supply::ImageHandle, ForeignType::UInt32, ObjectKind::Image},
        {"qz_string", Supply::StringHandle, ForeignType::UInt32, ObjectKind::String},
        {"qz_string *", Supply::ObjectAddress, ForeignType::Pointer, ObjectKind::String},
        {"TagGroup", Supply::ObjectHandle, ForeignType::UInt32, ObjectKind::TagGroup},
        {"TagGroup *", Supply::ObjectAddress, ForeignType::Pointer, ObjectKind::TagGroup},
        {"string", Supply::Text, ForeignType::Pointer, ObjectKind::Image},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const std::optional<ParamPlan> plan = planParam(param(c.type));
        ASSERT_TRUE(plan);
        EXPECT_EQ(plan->supply, c.supply);
        EXPECT_EQ(plan->foreign, c.foreign);
        EXPECT_EQ(plan->objectKind, c.kind);
    }
    // A number behind a pointer keeps its own type: the pointer is made where the value is.
    const std::optional<ParamPlan> out = planParam(param("float *"));
    ASSERT_TRUE(out);
    EXPECT_EQ(out->supply, Supply::NumberAddress);
    EXPECT_EQ(out->foreign, ForeignType::Float);
    EXPECT_TRUE(out->isNumber());
    EXPECT_FALSE(out->isImage());
}

TEST(CallPlan, ValuesNoToolCanMakeAreRefused) {
    EXPECT_FALSE(planParam(param("complex")));
    EXPECT_FALSE(planParam(param("stringbuffer")));
    EXPECT_FALSE(planParam(param("complex *")));
    // A long that holds an address travels pointer-wide: no number of the table.
    EXPECT_FALSE(planParam(StandIn::parseSignature("void RegisterCustomMenu(long)").params[0]));
    EXPECT_FALSE(planParam(
        StandIn::parseSignature("void *ImageLockData( Image *im, uint32 lock_flags )").params[0]));
}

TEST(CallPlan, ResultsAreNothingNumbersOrObjectHandles) {
    const std::optional<ResultPlan> none = planResult(result("void"));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->foreign, ForeignType::Void);
    EXPECT_FALSE(none->object);

    const std::optional<ResultPlan> truth = planResult(result("Boolean"));
    ASSERT_TRUE(truth);
    EXPECT_EQ(truth->foreign, ForeignType::UInt8);
    EXPECT_EQ(truth->reading, NumberReading::Boolean);
    EXPECT_EQ(planResult(result("short"))->foreign, ForeignType::Int16);
    EXPECT_EQ(planResult(result("Handle"))->foreign, ForeignType::UInt32);
    EXPECT_EQ(planResult(result("double"))->reading, NumberReading::Real);

    for (const char* type : {"RealImagePtr", "ImageRef", "TagGroup", "qz_string"}) {
        const std::optional<ResultPlan> object = planResult(result(type));
        ASSERT_TRUE(object) << type;
        EXPECT_TRUE(object->object) << type;
        EXPECT_EQ(object->foreign, ForeignType::UInt32) << type;
        EXPECT_EQ(object->image, std::string(type).find("Image") != std::string::npos) << type;
    }

    EXPECT_FALSE(planResult(StandIn::parseSignature("long GetDataPtr( ImageRef )").result))
        << "an address in a long";
    EXPECT_FALSE(planResult(
        StandIn::parseSignature("void *ImageLockData( Image *im, uint32 lock_flags )").result));
}

}  // namespace
