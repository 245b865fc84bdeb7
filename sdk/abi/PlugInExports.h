/* The six functions a module exports by their plain, undecorated names, in the order the host
 * calls them: the link, then the lifecycle. Each returns normally whatever happens inside; a
 * lifecycle entry reports failures through its call context (slot 8).
 */
#ifndef QZ_ABI_PLUGIN_EXPORTS_H
#define QZ_ABI_PLUGIN_EXPORTS_H

#include "abi/HostInterfaces.h"

QZ_EXTERN_C_BEGIN

/* Answers QZ_PLUGIN_LINK_VERSION; may be called at any time, before the link too. */
QZ_EXPORT int32_t QZ_CALL QZPlugIn_GetVersion(void);
/* Hands the module the host's environment. The module adds one count of its own and keeps it
 * until the next link or its unload; the environment is put to use by PlugInStartup. */
QZ_EXPORT void QZ_CALL QZPlugIn_Link_2(QZHostEnvironment* environment);
/* Installs the linked environment and runs the module's start-up (its registrations). */
QZ_EXPORT void QZ_CALL PlugInStartup(void);
/* The module's other lifecycle steps, in the order the host chooses after PlugInStartup. */
QZ_EXPORT void QZ_CALL PlugInRun(void);
QZ_EXPORT void QZ_CALL PlugInShutdown(void);
QZ_EXPORT void QZ_CALL PlugInCleanup(void);

/* The same functions as the host finds them (GetProcAddress, dlsym). */
typedef int32_t(QZ_CALL* QZPlugInGetVersionFn)(void);
typedef void(QZ_CALL* QZPlugInLinkFn)(QZHostEnvironment* environment);
typedef void(QZ_CALL* QZPlugInLifecycleFn)(void);

QZ_EXTERN_C_END

#endif /* QZ_ABI_PLUGIN_EXPORTS_H */
