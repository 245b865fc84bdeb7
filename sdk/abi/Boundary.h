/* The whole binary interface between the host and a module, in C. */
#ifndef QZ_ABI_BOUNDARY_H
#define QZ_ABI_BOUNDARY_H

#include "abi/CallbackRecords.h"
#include "abi/Conventions.h"
#include "abi/HostInterfaces.h"
#include "abi/ImageData.h"
#include "abi/PlugInExports.h"

#endif /* QZ_ABI_BOUNDARY_H */
