/* The boundary headers compiled as C: a host or a module written in C sees the same records. */
#include "LayoutFacts.h"

void LayoutFactsFromC(LayoutFact facts[kLayoutFactCount]) {
    const LayoutFact all[kLayoutFactCount] = {LAYOUT_FACTS(LAYOUT_FACT)};
    for (int i = 0; i < kLayoutFactCount; ++i) facts[i] = all[i];
}

/* ---- An environment in C: slots are plain QZ_CALL functions taking the object first --------- */

static void QZ_CALL Ignore(QZHostEnvironment* self) { (void)self; }
static uint32_t QZ_CALL Version(QZHostEnvironment* self) {
    (void)self;
    return QZ_FIRST_VERSION_WITH_IMAGE_LOCKING;
}
static QZHostCallContext* QZ_CALL NoContext(QZHostEnvironment* self) {
    (void)self;
    return NULL;
}
static QZHostClassInterface* QZ_CALL NoClass(QZHostEnvironment* self, int32_t reserved,
                                             const char* typeKey) {
    (void)self, (void)reserved, (void)typeKey;
    return NULL;
}
static intptr_t QZ_CALL Unused(QZHostEnvironment* self) {
    (void)self;
    return 0;
}
static QZHandle QZ_CALL NoRegistration(QZHostEnvironment* self, int32_t reserved1,
                                       int32_t reserved2, const char* signature, int32_t form,
                                       void* entry) {
    (void)self, (void)reserved1, (void)reserved2, (void)signature, (void)form, (void)entry;
    return 0;
}
static intptr_t QZ_CALL NoRemoval(QZHostEnvironment* self, QZHandle function) {
    (void)self, (void)function;
    return 0;
}
static QZHandle QZ_CALL NoFunction(QZHostEnvironment* self, int32_t reserved,
                                   const char* signature) {
    (void)self, (void)reserved, (void)signature;
    return 0;
}

static const QZHostEnvironmentTable kTable = {
    Ignore, Ignore,         Version,   NoContext,  NoClass,
    Unused, NoRegistration, NoRemoval, NoFunction, Unused,
};
static QZHostEnvironment sEnvironment = {&kTable};

QZHostEnvironment* EnvironmentWrittenInC(void) { return &sEnvironment; }
