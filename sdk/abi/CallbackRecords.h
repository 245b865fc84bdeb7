/* What a module hands the host for menus and tools: callback records, whose functions the host
 * calls, the tool block around a tool's record, and the menu-entry buffer the host reads.
 *
 * The host receives a record's address as a 32-bit integer ("long RegisterCustomMenu( long )",
 * "long RegisterCustomTool( string, long )") and keeps it until the registration ends; the
 * module keeps the record alive and unchanged that long. Both kinds of record are seven
 * pointer-wide words: the version (always QZ_CALLBACK_RECORD_VERSION), a user datum and five
 * functions. Functions that take a QZHostErrorRecord report a failure there and then return 0
 * or null and write no other output; they never let anything else escape to the host.
 */
#ifndef QZ_ABI_CALLBACK_RECORDS_H
#define QZ_ABI_CALLBACK_RECORDS_H

#include "abi/HostInterfaces.h"

QZ_EXTERN_C_BEGIN

#define QZ_CALLBACK_RECORD_VERSION 1

/* ---- Menus: one record for the whole module, {1, 0, create, destroy, count, getItem, doItem} */

/* Texts of the menu-entry buffer are cut to this many bytes and followed by a NUL. */
#define QZ_MENU_TEXT_CAPACITY 63

/* What getItem writes for the host: the same 204 bytes on every target. Bytes behind a text's
 * NUL and the two padding bytes are not written. */
typedef struct QZMenuEntryBuffer {
    char fMenuName[QZ_MENU_TEXT_CAPACITY + 1];
    char fSubMenuName[QZ_MENU_TEXT_CAPACITY + 1];
    uint8_t fKind; /* 0: a command, found by its identifier; 1: a plain entry */
    char fItemName[QZ_MENU_TEXT_CAPACITY + 1];
    uint8_t fFlag1;
    uint8_t fFlag2;
    uint8_t fFlag3;
    uint8_t fFlag4;
    uint8_t fFlag5;
    uint8_t fUnused[2];
    int32_t fValue;
} QZMenuEntryBuffer;
QZ_CHECK_SIZE(QZMenuEntryBuffer, 204, 204);

/* A user of the module's menu list, as the host holds it between create and destroy. */
typedef void* QZMenuListHandle;

typedef struct QZMenuCallbackRecord {
    intptr_t version;  /* QZ_CALLBACK_RECORD_VERSION */
    intptr_t userData; /* 0: the functions work on the module-wide menu list */
    /* Takes one use of the menu list for the host; answers it, or null after an error. */
    QZMenuListHandle(QZ_CALL* create)(QZHostErrorRecord* error);
    /* Gives back a use taken by create (null: nothing happens); answers the handle. The handle
     * is invalid afterwards. */
    QZMenuListHandle(QZ_CALL* destroy)(QZMenuListHandle handle, QZHostErrorRecord* error);
    /* The entries of all menus: stored in *total and answered; 0 after an error. */
    int32_t(QZ_CALL* count)(QZMenuListHandle handle, QZHostErrorRecord* error, int32_t* total);
    /* Fills *buffer and the command identifier (*id1, *id2) of entry index; after an error
     * nothing is written. */
    void(QZ_CALL* getItem)(QZMenuListHandle handle, QZHostErrorRecord* error, uint32_t index,
                           QZMenuEntryBuffer* buffer, int32_t* id1, int32_t* id2);
    /* The user chose command (id1, id2): *handled = 1 when a menu took it, else 0. */
    void(QZ_CALL* doItem)(QZMenuListHandle handle, QZHostErrorRecord* error, int32_t id1,
                          int32_t id2, uint8_t* handled);
} QZMenuCallbackRecord;
QZ_CHECK_SIZE(QZMenuCallbackRecord, 28, 56);

/* ---- Tools: one record per tool, {1, the tool, echo, idle, event, action1, action2} ---------- */

typedef struct QZToolCallbackRecord {
    intptr_t version; /* QZ_CALLBACK_RECORD_VERSION */
    void* tool;       /* the module's tool object, passed back first to every function */
    /* Answers x unchanged. */
    int32_t(QZ_CALL* echo)(void* tool, int32_t x);
    /* Does nothing. */
    void(QZ_CALL* idle)(void* tool);
    /* An event of the tool: two integers and the address of a pair of integers, which the
     * module copies before the tool sees it. */
    void(QZ_CALL* event)(void* tool, QZHostErrorRecord* error, int32_t value1, const int32_t* pair,
                         int32_t value2);
    /* The tool's two actions. */
    void(QZ_CALL* action1)(void* tool, QZHostErrorRecord* error);
    void(QZ_CALL* action2)(void* tool, QZHostErrorRecord* error);
} QZToolCallbackRecord;
QZ_CHECK_SIZE(QZToolCallbackRecord, 28, 56);

/* What the module allocates for one tool, for the tool's lifetime: the host's identifier of the
 * tool (the answer of "long RegisterCustomTool( string, long )"), then the record whose address
 * the host was given. */
typedef struct QZPlugInToolBlock {
    int32_t fToolID;
    QZToolCallbackRecord fRecord;
} QZPlugInToolBlock;
QZ_CHECK_SIZE(QZPlugInToolBlock, 32, 64);

QZ_EXTERN_C_END

#endif /* QZ_ABI_CALLBACK_RECORDS_H */
