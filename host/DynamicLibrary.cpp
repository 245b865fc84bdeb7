// Platform layer of the module loader.
#include "DynamicLibrary.h"

#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace StandIn {

#ifdef _WIN32

DynamicLibrary::DynamicLibrary(const std::string& path) : fPath(path) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        throw std::runtime_error("cannot load " + path + ": error " +
                                 std::to_string(GetLastError()));
    }
    fHandle = reinterpret_cast<void*>(module);
}

void* DynamicLibrary::symbol(const char* name) const {
    if (!fHandle) return nullptr;
    FARPROC proc = GetProcAddress(reinterpret_cast<HMODULE>(fHandle), name);
    void* address = nullptr;
    static_assert(sizeof(proc) == sizeof(address), "function and data pointers have one size");
    std::memcpy(&address, &proc, sizeof(address));
    return address;
}

void DynamicLibrary::close() {
    if (fHandle) FreeLibrary(reinterpret_cast<HMODULE>(fHandle));
    fHandle = nullptr;
}

bool DynamicLibrary::isLoaded(const std::string& path) {
    HMODULE module = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, path.c_str(),
                              &module) != 0;
}

#else

DynamicLibrary::DynamicLibrary(const std::string& path) : fPath(path) {
    fHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!fHandle) {
        const char* why = dlerror();
        throw std::runtime_error("cannot load " + path + ": " + (why ? why : "unknown error"));
    }
}

void* DynamicLibrary::symbol(const char* name) const {
    if (!fHandle) return nullptr;
    dlerror();
    return dlsym(fHandle, name);
}

void DynamicLibrary::close() {
    if (fHandle) dlclose(fHandle);
    fHandle = nullptr;
}

bool DynamicLibrary::isLoaded(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle) return false;
    dlclose(handle);  // RTLD_NOLOAD still counted one reference
    return true;
}

#endif

DynamicLibrary::~DynamicLibrary() { close(); }

}  // namespace StandIn
