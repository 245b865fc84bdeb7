// A minimal platform layer over the system's dynamic-library loader: dlopen on POSIX,
// LoadLibrary on Windows.
#pragma once

#include <string>

namespace StandIn {

class DynamicLibrary {
  public:
    // Loads the library (all symbols bound now, kept local to it). Throws std::runtime_error with
    // the loader's message on failure.
    explicit DynamicLibrary(const std::string& path);
    ~DynamicLibrary();  // closes the library if still open
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    const std::string& path() const { return fPath; }
    bool isOpen() const { return fHandle != nullptr; }
    // The address of an exported symbol, or null.
    void* symbol(const char* name) const;
    // Closes the library; afterwards it may or may not be gone from the process.
    void close();

    // Whether a library of this path is still mapped in the process (without loading it).
    static bool isLoaded(const std::string& path);

  private:
    std::string fPath;
    void* fHandle = nullptr;
};

}  // namespace StandIn
