/* The host's three interface objects, the argument record of a script-function call, the error
 * record and the numbers that travel with them.
 *
 * Each interface object begins with a pointer to its table of functions; every function takes
 * the object first. Slots a module does not use keep their places; only their positions matter.
 * The general rules on threads, counts and texts are in abi/Conventions.h.
 */
#ifndef QZ_ABI_HOST_INTERFACES_H
#define QZ_ABI_HOST_INTERFACES_H

#include "abi/Conventions.h"

QZ_EXTERN_C_BEGIN

/* A host object (image, string, throwable, function, ...): 32 bits on every target, 0 is none.
 * The host keeps the counts. */
typedef uint32_t QZHandle;

/* The datum that travels with an error code: a text address or a plain number, pointer-wide. */
typedef intptr_t QZErrorDatum;

typedef struct QZHostEnvironment QZHostEnvironment;
typedef struct QZHostCallContext QZHostCallContext;
typedef struct QZHostClassInterface QZHostClassInterface;

/* ---- Numbers ------------------------------------------------------------------------------ */

/* The protocol a module speaks, answered by QZPlugIn_GetVersion: the host then links it through
 * QZPlugIn_Link_2. */
#define QZ_PLUGIN_LINK_VERSION 2

/* Host versions (environment slot 2) from which the host offers the callbacks the framework
 * builds on ("void Result( qz_string )" and its companions), and image locking through
 * "ImageLockData". Compared unsigned. */
#define QZ_FIRST_VERSION_WITH_CALLBACKS 0x03030200u
#define QZ_FIRST_VERSION_WITH_IMAGE_LOCKING 0x03040400u

/* Leading arguments whose meaning is the host's: passed exactly as stated, never otherwise. */
#define QZ_RESERVED_ZERO 0
#define QZ_SCRIPT_FUNCTION_FORM 3

/* Text encodings of the string slots of a call context. */
#define QZ_ENCODING_NARROW 0 /* 8-bit text */
#define QZ_ENCODING_UTF16 2  /* 16-bit units; byte counts are twice the unit counts */

/* Answers of call-context slot 12. Any other answer is a failure described by the pending
 * Throwable (slot 7). */
#define QZ_CALL_SUCCEEDED 0
#define QZ_CALL_STALE_HANDLE 3 /* resolve the signature again (environment slot 8), retry once */

/* Error codes of Throwables a module makes (call-context slot 5) and of error records. */
#define QZ_ERROR_TEXT_COPIED 28802   /* datum: text in one of the module's own buffers */
#define QZ_ERROR_TEXT 28803          /* datum: text owned by the raiser, or null */
#define QZ_ERROR_OUT_OF_MEMORY 28810 /* datum: QZ_OUT_OF_MEMORY_DATUM */
#define QZ_OUT_OF_MEMORY_DATUM 14

/* ---- Records -------------------------------------------------------------------------------- */

/* One cell of the argument array of call-context slot 12: record 0 is the result (when the
 * signature's result is not void), then one per parameter in signature order. The value sits at
 * the start of its cell; the rest carries nothing. Record i lies 16 * i bytes after record 0. */
typedef struct QZScriptArgRecord {
    QZ_ALIGNAS(8) unsigned char bytes[16];
} QZScriptArgRecord;
QZ_CHECK_SIZE(QZScriptArgRecord, 16, 16);

/* How a function the host calls through a callback record reports a failure: the host passes
 * the record's address, the module fills it and returns 0 or null. */
typedef struct QZHostErrorRecord {
    int32_t code;
    QZErrorDatum datum; /* for the text codes, valid until the module's next failure */
} QZHostErrorRecord;
QZ_CHECK_SIZE(QZHostErrorRecord, 8, 16);

/* ---- The environment: handed over once, through QZPlugIn_Link_2 ----------------------------- */

typedef struct QZHostEnvironmentTable {
    /* 0: one count more on the environment. */
    void(QZ_CALL* addReference)(QZHostEnvironment* self);
    /* 1: one count less; the environment may be gone afterwards. */
    void(QZ_CALL* release)(QZHostEnvironment* self);
    /* 2: the host's version, such as 0x03040400; also called before the module's start-up. */
    uint32_t(QZ_CALL* version)(QZHostEnvironment* self);
    /* 3: a fresh call context for one entry, carrying one count for the caller, or null (the
     * entry then does nothing). The caller releases it before the entry returns. */
    QZHostCallContext*(QZ_CALL* newCallContext)(QZHostEnvironment* self);
    /* 4: the class interface of a kind (reserved: QZ_RESERVED_ZERO; typeKey: one of the keys of
     * abi/ObjectKinds.def), carrying one count for the caller, who keeps it until the host is
     * replaced or the module unloads. Never null. */
    QZHostClassInterface*(QZ_CALL* classInterface)(QZHostEnvironment* self, int32_t reserved,
                                                   const char* typeKey);
    /* 5: not used by modules. */
    intptr_t(QZ_CALL* unused5)(QZHostEnvironment* self);
    /* 6: registers a script function (reserved1, reserved2: QZ_RESERVED_ZERO; form:
     * QZ_SCRIPT_FUNCTION_FORM). The host copies the signature and calls entry, a plain QZ_CALL
     * function of the signature's form, until the registration is withdrawn (slot 7). Answers
     * the registration's Function handle carrying one count for the caller, or 0 when nothing
     * was registered. */
    QZHandle(QZ_CALL* addScriptFunction)(QZHostEnvironment* self, int32_t reserved1,
                                         int32_t reserved2, const char* signature, int32_t form,
                                         void* entry);
    /* 7: withdraws a registration of slot 6; the caller still owns its count on the handle. The
     * answer means nothing. */
    intptr_t(QZ_CALL* removeScriptFunction)(QZHostEnvironment* self, QZHandle function);
    /* 8: resolves a script function by its exact signature text, spaces included (reserved:
     * QZ_RESERVED_ZERO). Answers a Function handle carrying one count for the caller, or 0 when
     * nothing matches; every call may answer a new handle. */
    QZHandle(QZ_CALL* findScriptFunction)(QZHostEnvironment* self, int32_t reserved,
                                          const char* signature);
    /* 9: not used by modules. */
    intptr_t(QZ_CALL* unused9)(QZHostEnvironment* self);
} QZHostEnvironmentTable;
QZ_CHECK_SIZE(QZHostEnvironmentTable, 40, 80);

struct QZHostEnvironment {
    const QZHostEnvironmentTable* table;
};
QZ_CHECK_SIZE(QZHostEnvironment, 4, 8);

/* ---- A call context: one per entry, carrying that entry's error state ------------------------ */

typedef struct QZHostCallContextTable {
    /* 0: one count more; not called by modules. */
    void(QZ_CALL* addReference)(QZHostCallContext* self);
    /* 1: one count less; the module releases the count of environment slot 3 before its entry
     * returns. */
    void(QZ_CALL* release)(QZHostCallContext* self);
    /* 2, 3: not used by modules. */
    intptr_t(QZ_CALL* unused2)(QZHostCallContext* self);
    intptr_t(QZ_CALL* unused3)(QZHostCallContext* self);
    /* 4: clears the pending error. Called after an entry's work succeeded and before a failed
     * call is retried. */
    void(QZ_CALL* clearError)(QZHostCallContext* self);
    /* 5: a new Throwable for (code, datum), carrying one count for the caller. For the text codes
     * the host copies the text at once; the datum need not outlive the call. */
    QZHandle(QZ_CALL* newThrowable)(QZHostCallContext* self, int32_t code, QZErrorDatum datum);
    /* 6: a Throwable's message as a new String, carrying one count for the caller. */
    QZHandle(QZ_CALL* throwableMessage)(QZHostCallContext* self, QZHandle throwable);
    /* 7: the Throwable describing the last failed call (slot 12), carrying one count for the
     * caller; 0 when there is none. The error stays pending until slot 4. */
    QZHandle(QZ_CALL* pendingThrowable)(QZHostCallContext* self);
    /* 8: raises the Throwable in the host when the entry returns: how an entry reports its
     * failure. The caller keeps its own count and releases it. */
    void(QZ_CALL* raise)(QZHostCallContext* self, QZHandle throwable);
    /* 9: a new String from byteCount bytes in encoding (QZ_ENCODING_*), copied at once; carries
     * one count for the caller. */
    QZHandle(QZ_CALL* newString)(QZHostCallContext* self, int32_t encoding, const void* bytes,
                                 uint32_t byteCount);
    /* 10: lends a String's text in encoding. Answers the text, sets *byteLength and *token, and
     * keeps the text valid and unchanged until slot 11 is called with that token, which the
     * caller must do before its entry returns. Answers null when it lends nothing: then
     * *byteLength and *token are not written and there is nothing to give back. */
    const void*(QZ_CALL* lockString)(QZHostCallContext* self, QZHandle string, int32_t encoding,
                                     uint32_t* byteLength, uint32_t* token);
    /* 11: gives back a loan of slot 10; the text may be gone afterwards. */
    void(QZ_CALL* unlockString)(QZHostCallContext* self, QZHandle string, uint32_t token);
    /* 12: calls a script function: recordCount records (result first, then the parameters; a
     * null pointer when the count is 0), typed by the signature the handle was resolved under.
     * The host reads the parameter records and writes the result record and the values behind
     * out-parameter pointers during the call; a handle it writes carries one count for the
     * caller. Answers QZ_CALL_SUCCEEDED, QZ_CALL_STALE_HANDLE, or another failure. After a
     * failure the result record and the out-values are not to be read, no count has been handed
     * out, and the error is pending (slot 7). */
    int32_t(QZ_CALL* call)(QZHostCallContext* self, QZHandle function, int32_t recordCount,
                           QZScriptArgRecord* records);
    /* 13: not used by modules. */
    intptr_t(QZ_CALL* unused13)(QZHostCallContext* self);
} QZHostCallContextTable;
QZ_CHECK_SIZE(QZHostCallContextTable, 56, 112);

struct QZHostCallContext {
    const QZHostCallContextTable* table;
};
QZ_CHECK_SIZE(QZHostCallContext, 4, 8);

/* ---- A class interface: one per kind of host object, counting handles of that kind ----------- */

typedef struct QZHostClassInterfaceTable {
    /* 0: one count more on the interface; not called by modules. */
    void(QZ_CALL* addReference)(QZHostClassInterface* self);
    /* 1: one count less on the interface. */
    void(QZ_CALL* release)(QZHostClassInterface* self);
    /* 2 to 5: not used by modules. */
    intptr_t(QZ_CALL* unused2)(QZHostClassInterface* self);
    const char*(QZ_CALL* unused3)(QZHostClassInterface* self);
    const char*(QZ_CALL* unused4)(QZHostClassInterface* self);
    intptr_t(QZ_CALL* unused5)(QZHostClassInterface* self);
    /* 6: one count more on a (non-zero) handle of the kind. */
    void(QZ_CALL* addObjectReference)(QZHostClassInterface* self, QZHandle object);
    /* 7: one count less on a (non-zero) handle of the kind; the object may be gone afterwards. */
    void(QZ_CALL* releaseObjectReference)(QZHostClassInterface* self, QZHandle object);
    /* 8: not used by modules. */
    intptr_t(QZ_CALL* unused8)(QZHostClassInterface* self);
} QZHostClassInterfaceTable;
QZ_CHECK_SIZE(QZHostClassInterfaceTable, 36, 72);

struct QZHostClassInterface {
    const QZHostClassInterfaceTable* table;
};
QZ_CHECK_SIZE(QZHostClassInterface, 4, 8);

QZ_EXTERN_C_END

#endif /* QZ_ABI_HOST_INTERFACES_H */
