#include "target.h"

#include <cstdlib>
#include <string>
#include <windows.h>

namespace dln::record {

namespace {

// This DLL's folder, with a trailing backslash: the maker's library sits next to us, not
// necessarily in the folder Windows searches first (java.exe's).
std::string OwnFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&OwnFolder), &self);
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    std::string folder(path, length < MAX_PATH ? length : 0);
    size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

} // namespace

void *OpenLibrary(std::string &path, std::string &error) {
    const char *named = std::getenv("DLN_RECORD_TARGET");
    path = named != nullptr && named[0] != '\0' ? named : OwnFolder() + "dln-real.dll";
    // The altered search path finds the maker's own dependencies next to it.
    HMODULE library = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr)
        error = "LoadLibrary failed with error " + std::to_string(GetLastError());
    return reinterpret_cast<void *>(library);
}

void *FindFunction(void *library, const char *name) {
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}

} // namespace dln::record
