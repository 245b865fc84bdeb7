// A library that offers only two of the six module exports.
#include <cstdint>

#ifdef _WIN32
#define INCOMPLETE_EXPORT extern "C" __declspec(dllexport)
#else
#define INCOMPLETE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

INCOMPLETE_EXPORT std::int32_t QZPlugIn_GetVersion() { return 2; }
INCOMPLETE_EXPORT void PlugInStartup() {}
