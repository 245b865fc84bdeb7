/* How the boundary between the host application and a plug-in module is written down.
 *
 * The boundary is plain C: the host is a 32-bit Windows program that knows nothing of C++, and
 * every header in this folder compiles as C11 and as C++17. It consists of interface tables
 * (structs of function pointers called with their object first), records read and written by
 * offset, constants, and the six functions a module exports.
 *
 * Rules that hold for every slot unless its comment says otherwise:
 *   - Threads: called on the host's thread only, while an entry from the host into the module
 *     (an export, a registered script function or a callback-record function) is running.
 *   - Counts: a handle or interface answered by a slot carries one count for the caller, who
 *     gives it back (handles through their kind's class interface, slot 7; interfaces through
 *     their own slot 1). A handle passed to a slot is borrowed: the callee adds no count of its
 *     own unless it keeps the object.
 *   - Texts: 8-bit and zero-terminated; the callee does not keep a text pointer after it returns.
 */
#ifndef QZ_ABI_CONVENTIONS_H
#define QZ_ABI_CONVENTIONS_H

#include <stddef.h>
#include <stdint.h>

/* The calling convention of every slot, callback and export. The host calls and is called with
 * cdecl on 32-bit Windows, the compiler's default there, spelled out so that a module built with
 * another default (stdcall, say) still meets the host. Other targets have one convention. */
#if defined(_WIN32) && !defined(_WIN64)
#define QZ_CALL __cdecl
#else
#define QZ_CALL
#endif

/* Marks the six exports of a module. */
#if defined(_WIN32)
#define QZ_EXPORT __declspec(dllexport)
#else
#define QZ_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define QZ_EXTERN_C_BEGIN extern "C" {
#define QZ_EXTERN_C_END }
#define QZ_STATIC_ASSERT(condition, message) static_assert(condition, message)
#define QZ_ALIGNAS(n) alignas(n)
#else
#define QZ_EXTERN_C_BEGIN
#define QZ_EXTERN_C_END
#define QZ_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#define QZ_ALIGNAS(n) _Alignas(n)
#endif

/* The host's width is 32 bits; the 64-bit layouts are those of the same records with
 * pointer-wide fields, used by the 64-bit builds that test the module. */
#if UINTPTR_MAX == 0xFFFFFFFFu
#define QZ_POINTER_BITS 32
#else
#define QZ_POINTER_BITS 64
#endif

/* The size of a record on either width, checked where the record is defined. */
#define QZ_CHECK_SIZE(type, size32, size64)                                         \
    QZ_STATIC_ASSERT(sizeof(type) == (QZ_POINTER_BITS == 32 ? (size32) : (size64)), \
                     #type " is " #size32 " bytes on 32-bit targets, " #size64 " on 64-bit ones")

#endif /* QZ_ABI_CONVENTIONS_H */
