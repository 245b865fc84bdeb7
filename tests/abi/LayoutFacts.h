/* What a C compiler makes of the boundary's records, for comparison with the C++ view. */
#ifndef PHOTARION_TESTS_LAYOUT_FACTS_H
#define PHOTARION_TESTS_LAYOUT_FACTS_H

#include <stddef.h>

#include "abi/Boundary.h"

QZ_EXTERN_C_BEGIN

/* The records, each with a field whose offset tells its layout, in one fixed order. */
#define LAYOUT_FACTS(FACT)                                  \
    FACT(QZScriptArgRecord, bytes)                          \
    FACT(QZHostErrorRecord, datum)                          \
    FACT(QZHostEnvironmentTable, findScriptFunction)        \
    FACT(QZHostCallContextTable, call)                      \
    FACT(QZHostClassInterfaceTable, releaseObjectReference) \
    FACT(QZMenuEntryBuffer, fValue)                         \
    FACT(QZMenuCallbackRecord, doItem)                      \
    FACT(QZToolCallbackRecord, action2)                     \
    FACT(QZPlugInToolBlock, fRecord)                        \
    FACT(QZImageLockToken, fToken)                          \
    FACT(QZDataViewDimension, fStride)                      \
    FACT(QZDataViewRecord, fDimensions)                     \
    FACT(QZHostEnvironment, table)

/* A record's size and that field's offset. */
#define LAYOUT_FACT(type, field) {#type, sizeof(type), offsetof(type, field)},
#define LAYOUT_COUNT(type, field) +1
enum { kLayoutFactCount = 0 LAYOUT_FACTS(LAYOUT_COUNT) };
typedef struct LayoutFact {
    const char* record;
    size_t size;
    size_t keyOffset;
} LayoutFact;

/* The facts as compiled in C (BoundaryFromC.c). */
void LayoutFactsFromC(LayoutFact facts[kLayoutFactCount]);

/* A whole environment written in C: every slot answers "nothing" (0, null, no effect). */
QZHostEnvironment* EnvironmentWrittenInC(void);

QZ_EXTERN_C_END

#endif /* PHOTARION_TESTS_LAYOUT_FACTS_H */
