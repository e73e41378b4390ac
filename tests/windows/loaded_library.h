// A shared library loaded at run time (a DLL on Windows, a .so elsewhere), for the hosts that
// call a JNI library's exports without a JVM.
#pragma once

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

class Library {
  public:
    explicit Library(const char *path) {
#ifdef _WIN32
        // With the altered search path, Windows looks for dln.dll in the library's folder first.
        handle_ = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
#else
        handle_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
    }
    bool loaded() const {
        return handle_ != nullptr;
    }
    void *find(const std::string &name) const {
#ifdef _WIN32
        return reinterpret_cast<void *>(
            GetProcAddress(static_cast<HMODULE>(handle_), name.c_str()));
#else
        return dlsym(handle_, name.c_str());
#endif
    }

  private:
    void *handle_ = nullptr;
};
