/* The records of direct access to an image's data: the host's token of one lock, and the
 * description of locked data that the lock callbacks fill.
 */
#ifndef QZ_ABI_IMAGE_DATA_H
#define QZ_ABI_IMAGE_DATA_H

#include "abi/HostInterfaces.h"

QZ_EXTERN_C_BEGIN

/* The only lock flag in use: a request for contiguous data. Older hosts accept nothing else. */
#define QZ_LOCK_CONTIGUOUS 1u

/* The host's record of one lock, from the lock until the unlock: the module stores the host's
 * token in the second word (newer hosts' "locked_data", older hosts' data address) and leaves
 * the first alone. */
typedef struct QZImageLockToken {
    uint32_t fReserved;
    void* fToken;
} QZImageLockToken;
QZ_CHECK_SIZE(QZImageLockToken, 8, 16);

#define QZ_MAX_DATA_VIEW_DIMENSIONS 5

/* One dimension of locked data: its number of elements and the signed distance in bytes between
 * neighbours. */
typedef struct QZDataViewDimension {
    uint32_t fSize;
    int32_t fStride;
} QZDataViewDimension;
QZ_CHECK_SIZE(QZDataViewDimension, 8, 8);

/* Locked data as the lock callbacks describe it: where element (0, 0, ...) lies, how many
 * dimensions are in use, the host's element type code, and a size/stride pair per dimension.
 * Pairs at or beyond the count carry nothing. The data stays valid until the unlock. */
typedef struct QZDataViewRecord {
    void* fData;
    uint32_t fDimensionCount;
    uint32_t fDataType;
    QZDataViewDimension fDimensions[QZ_MAX_DATA_VIEW_DIMENSIONS];
} QZDataViewRecord;
QZ_CHECK_SIZE(QZDataViewRecord, 52, 56);

QZ_EXTERN_C_END

#endif /* QZ_ABI_IMAGE_DATA_H */
