// The boundary as C and C++ compilers see it: the same sizes and offsets, and a table written
// in C callable from C++.
#include "shell/Boundary.h"

#include <gtest/gtest.h>

#include <cstddef>

#include "LayoutFacts.h"

namespace {

TEST(Boundary, CAndCxxLayTheRecordsOutAlike) {
    const LayoutFact expected[kLayoutFactCount] = {LAYOUT_FACTS(LAYOUT_FACT)};
    LayoutFact fromC[kLayoutFactCount] = {};
    LayoutFactsFromC(fromC);
    for (int i = 0; i < kLayoutFactCount; ++i) {
        SCOPED_TRACE(expected[i].record);
        EXPECT_STREQ(expected[i].record, fromC[i].record);
        EXPECT_EQ(expected[i].size, fromC[i].size);
        EXPECT_EQ(expected[i].keyOffset, fromC[i].keyOffset);
    }
}

TEST(Boundary, AnEnvironmentWrittenInCAnswersThroughTheCxxNames) {
    Vorna::HostEnvironment* environment = EnvironmentWrittenInC();
    EXPECT_EQ(Vorna::kFirstVersionWithImageLocking, environment->table->version(environment));
    EXPECT_EQ(nullptr, environment->table->newCallContext(environment));
    EXPECT_EQ(
        0u, environment->table->findScriptFunction(environment, QZ_RESERVED_ZERO, "void Beep( )"));
}

}  // namespace
