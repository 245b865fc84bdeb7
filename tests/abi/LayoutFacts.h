/* What a C compiler makes of the boundary's records, for comparison with the C++ view. */
#ifndef PHOTARION_TESTS_LAYOUT_FACTS_H
#define PHOTARION_TESTS_LAYOUT_FACTS_H

#include <stddef.h>

#include "abi/Boundary.h"

QZ_EXTERN_C_BEGIN

/* The records in one fixed order: size, then the offset of a field that tells its layout. */
enum { kLayoutFactCount = 13 };
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
