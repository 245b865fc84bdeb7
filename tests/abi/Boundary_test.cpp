// The boundary as C and C++ compilers see it: the same sizes and offsets, and a table written
// in C callable from C++.
#include "shell/Boundary.h"

#include <gtest/gtest.h>

#include <cstddef>

#include "LayoutFacts.h"

namespace {

#define FACT(type, field) \
    LayoutFact { #type, sizeof(type), offsetof(type, field) }

TEST(Boundary, CAndCxxLayTheRecordsOutAlike) {
    const LayoutFact expected[kLayoutFactCount] = {
        FACT(QZScriptArgRecord, bytes),
        FACT(QZHostErrorRecord, datum),
        FACT(QZHostEnvironmentTable, findScriptFunction),
        FACT(QZHostCallContextTable, call),
        FACT(QZHostClassInterfaceTable, releaseObjectReference),
        FACT(QZMenuEntryBuffer, fValue),
        FACT(QZMenuCallbackRecord, doItem),
        FACT(QZToolCallbackRecord, action2),
        FACT(QZPlugInToolBlock, fRecord),
        FACT(QZImageLockToken, fToken),
        FACT(QZDataViewDimension, fStride),
        FACT(QZDataViewRecord, fDimensions),
        FACT(QZHostEnvironment, table),
    };
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
